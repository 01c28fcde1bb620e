#include "WindowHarness.h"

#include <QAbstractButton>
#include <QListWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

// What choosing each label type leaves behind, whatever came before.
struct TypeEffect {
    int pageInFront;
    bool netsPage, classesPage, unusedPins, vias;
};
const TypeEffect effectOf[] = {
    {1, true, true, false, true},   // 网络名称
    {0, false, false, true, false}, // 管脚号
    {2, false, true, false, true},  // 网络类型
};

class LabelType : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(harness.window->Form_Load());
        harness.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(harness.window.get()));
    }

    QAbstractButton* option(int index) const {
        return harness.control<QAbstractButton>(("optLabelType_" + std::to_string(index)).c_str());
    }
    QTabWidget* tabs() const { return harness.control<QTabWidget>("tabObjList"); }

    void clickOption(int index) const { QTest::mouseClick(option(index), Qt::LeftButton); }
    void clickTab(int page) const {
        QTabBar* bar = tabs()->tabBar();
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
    }

    test::WindowHarness harness;
};

TEST_F(LabelType, EveryChoiceFromEveryTypeAndPage) {
    auto* unusedPins = harness.control<QAbstractButton>("chkUnUsedPins");
    auto* vias = harness.control<QAbstractButton>("chkVias");
    auto* nets = harness.control<QListWidget>("lstNetList");

    for (int from = 0; from < 3; ++from) {
        for (int page = 0; page < 3; ++page) {
            for (int chosen = 0; chosen < 3; ++chosen) {
                clickOption(from);
                const bool reachable = tabs()->isTabEnabled(page);
                clickTab(page);
                // The user can bring only an available page to the front.
                ASSERT_EQ(tabs()->currentIndex(), reachable ? page : effectOf[from].pageInFront);
                if (!reachable)
                    continue;
                SCOPED_TRACE(testing::Message()
                             << "type " << from << ", page " << page << ", then type " << chosen);
                // Disabling never clears a tick or a list's choice.
                unusedPins->setChecked(true);
                vias->setChecked(true);
                nets->item(1)->setSelected(true);

                clickOption(chosen);

                const TypeEffect& effect = effectOf[chosen];
                EXPECT_EQ(tabs()->currentIndex(), effect.pageInFront);
                EXPECT_TRUE(tabs()->isTabEnabled(0));
                EXPECT_EQ(tabs()->isTabEnabled(1), effect.netsPage);
                EXPECT_EQ(tabs()->isTabEnabled(2), effect.classesPage);
                EXPECT_EQ(unusedPins->isEnabled(), effect.unusedPins);
                EXPECT_EQ(vias->isEnabled(), effect.vias);
                EXPECT_TRUE(unusedPins->isChecked());
                EXPECT_TRUE(vias->isChecked());
                EXPECT_TRUE(nets->item(1)->isSelected());
                EXPECT_EQ(harness.window->labelTypeIndex(), chosen);
                for (int other = 0; other < 3; ++other)
                    EXPECT_EQ(option(other)->isChecked(), other == chosen);
            }
        }
    }
}

TEST_F(LabelType, IndexWithoutAnOptionOnlyRecordsIt) {
    clickOption(2);
    tabs()->setCurrentIndex(0);
    harness.window->optLabelType_Click(5);
    EXPECT_EQ(harness.window->labelTypeIndex(), 5);
    EXPECT_EQ(tabs()->currentIndex(), 0);
    EXPECT_FALSE(tabs()->isTabEnabled(1));
    EXPECT_TRUE(tabs()->isTabEnabled(2));
    EXPECT_FALSE(harness.control("chkUnUsedPins")->isEnabled());
}

} // namespace
