#include "WindowHarness.h"

#include <QComboBox>
#include <QInputMethodEvent>
#include <QLineEdit>
#include <QListWidget>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

class Interaction : public testing::Test {
  protected:
    void SetUp() override {
        ASSERT_TRUE(harness.window->Form_Load());
        harness.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(harness.window.get()));
    }
    QTabWidget* tabs() const { return harness.control<QTabWidget>("tabObjList"); }
    QAbstractButton* option(int index) const {
        return harness.control<QAbstractButton>(QString("optLabelType_%1").arg(index));
    }
    static void type(QWidget* field, const QString& text) {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), {});
    }

    test::WindowHarness harness;
};

// What choosing each label type leaves behind, whatever type and page came before.
TEST_F(Interaction, LabelTypeFromEveryTypeAndPage) {
    struct Effect {
        int pageInFront;
        bool netsPage, classesPage, unusedPins, vias;
    };
    const Effect effectOf[] = {{1, true, true, false, true},
                               {0, false, false, true, false},
                               {2, false, true, false, true}};
    auto* unusedPins = harness.control<QAbstractButton>("chkUnUsedPins");
    auto* vias = harness.control<QAbstractButton>("chkVias");
    auto* nets = harness.control<QListWidget>("lstNetList");
    QTabBar* bar = tabs()->tabBar();

    for (int from = 0; from < 3; ++from) {
        for (int page = 0; page < 3; ++page) {
            for (int chosen = 0; chosen < 3; ++chosen) {
                QTest::mouseClick(option(from), Qt::LeftButton);
                const bool reachable = tabs()->isTabEnabled(page);
                QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
                // The user can bring only an available page to the front.
                ASSERT_EQ(tabs()->currentIndex(), reachable ? page : effectOf[from].pageInFront);
                if (!reachable)
                    continue;
                SCOPED_TRACE(testing::Message()
                             << "type " << from << ", page " << page << ", then type " << chosen);
                unusedPins->setChecked(true);
                vias->setChecked(true);
                nets->item(1)->setSelected(true);

                QTest::mouseClick(option(chosen), Qt::LeftButton);
                const Effect& effect = effectOf[chosen];
                EXPECT_EQ(tabs()->currentIndex(), effect.pageInFront);
                EXPECT_TRUE(tabs()->isTabEnabled(0));
                EXPECT_EQ(tabs()->isTabEnabled(1), effect.netsPage);
                EXPECT_EQ(tabs()->isTabEnabled(2), effect.classesPage);
                EXPECT_EQ(unusedPins->isEnabled(), effect.unusedPins);
                EXPECT_EQ(vias->isEnabled(), effect.vias);
                EXPECT_EQ(harness.window->labelTypeIndex(), chosen);
                // Disabling never clears a tick or a list's choice.
                EXPECT_TRUE(unusedPins->isChecked() && vias->isChecked());
                EXPECT_TRUE(nets->item(1)->isSelected());
            }
        }
    }
}

struct Field {
    const char* name;
    bool minusAllowed;
};
const Field fields[] = {{"txtLabelFontH", true},
                        {"txtLabelFontW", true},
                        {"txtLabelOffsetX", true},
                        {"txtLabelOffsetY", true},
                        {"cboLabelRotation", false}};

TEST_F(Interaction, FieldsTakeOnlyTheCharactersOfANumber) {
    for (const Field& field : fields) {
        SCOPED_TRACE(field.name);
        QWidget* target = harness.control(field.name);
        auto* combo = qobject_cast<QComboBox*>(target);
        QLineEdit* edit = combo ? combo->lineEdit() : static_cast<QLineEdit*>(target);
        edit->clear();
        type(target, QStringLiteral("-1a2.-E e+3, 4中\r\x1b\t"));
        EXPECT_EQ(edit->text(), field.minusAllowed ? "-12.-34" : "12.34");

        // What an input method commits is filtered the same way.
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("中-5文"));
        QCoreApplication::sendEvent(edit, &commit);
        EXPECT_EQ(edit->text(), field.minusAllowed ? "-12.-34-5" : "12.345");

        // Backspace, Delete and Ctrl+A keep working; other control keys such as paste do not.
        QTest::keyClick(target, Qt::Key_Backspace);
        QTest::keyClick(target, Qt::Key_Home);
        QTest::keyClick(target, Qt::Key_Delete);
        EXPECT_EQ(edit->text(), field.minusAllowed ? "12.-34-" : "2.34");
        QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        type(target, "7");
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), "7");
    }
    // Typing never adds to the rotation list.
    EXPECT_EQ(harness.control<QComboBox>("cboLabelRotation")->count(), 4);
}

} // namespace
