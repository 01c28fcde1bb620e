#include "WindowHarness.h"

#include "window/TaskbarHint.h"

#include <QApplication>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

using namespace tagwright;

namespace {

// The window loaded and shown.
struct Window : testing::Test {
    void SetUp() override {
        ASSERT_TRUE(harness.window->Form_Load());
        harness.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(harness.window.get()));
    }
    static void type(QWidget* field, const QString& text) {
        for (const QChar c : text)
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), {});
    }
    test::WindowHarness harness;
};

// The window as designed, in twips relative to the container; page controls are placed in
// the tab control's coordinates, whichever page (1 to 3 here, 0 elsewhere) holds them.
struct DesignedControl {
    const char* name;
    const char* kind;
    const char* caption;
    const char* container;
    int page;
    int left, top, width, height;
};
const DesignedControl description[] = {
    {"Frame1", "QGroupBox", "标注类型", "frmTagwright", 0, 120, 120, 5055, 660},
    {"Frame2", "QGroupBox", "距焊盘偏移量", "frmTagwright", 0, 120, 960, 1335, 1095},
    {"Frame4", "QGroupBox", "标注字体", "frmTagwright", 0, 1640, 960, 1455, 1095},
    {"Label3", "QLabel", "旋 转", "frmTagwright", 0, 3240, 1155, 615, 255},
    {"cboLabelRotation", "QComboBox", "", "frmTagwright", 0, 3840, 1080, 975, 345},
    {"Label1", "QLabel", "标注层", "frmTagwright", 0, 3240, 1515, 615, 255},
    {"cboLabelLayer", "QComboBox", "", "frmTagwright", 0, 3240, 1755, 1935, 300},
    {"tabObjList", "QTabWidget", "", "frmTagwright", 0, 120, 2160, 3615, 2415},
    {"cmdAddLabel", "QPushButton", "标  注", "frmTagwright", 0, 4080, 2280, 1095, 375},
    {"cmdDeleteLabel", "QPushButton", "删  除", "frmTagwright", 0, 4080, 2700, 1095, 375},
    {"cmdUpdateList", "QPushButton", "更新列表", "frmTagwright", 0, 4080, 3120, 1095, 375},
    {"cmdHelp", "QPushButton", "帮  助", "frmTagwright", 0, 4080, 3540, 1095, 375},
    {"cmdClose", "QPushButton", "关  闭", "frmTagwright", 0, 4080, 3960, 1095, 375},
    {"optLabelType_0", "QRadioButton", "网络名称", "Frame1", 0, 240, 280, 1095, 255},
    {"optLabelType_1", "QRadioButton", "管脚号", "Frame1", 0, 1920, 280, 855, 255},
    {"optLabelType_2", "QRadioButton", "网络类型", "Frame1", 0, 3480, 280, 1095, 255},
    {"Label4_0", "QLabel", "X", "Frame2", 0, 180, 405, 135, 255},
    {"txtLabelOffsetX", "QLineEdit", "", "Frame2", 0, 400, 360, 495, 270},
    {"Label5_0", "QLabel", "mil", "Frame2", 0, 980, 360, 255, 255},
    {"Label4_1", "QLabel", "Y", "Frame2", 0, 180, 765, 135, 255},
    {"txtLabelOffsetY", "QLineEdit", "", "Frame2", 0, 400, 720, 495, 270},
    {"Label5_1", "QLabel", "mil", "Frame2", 0, 980, 720, 255, 255},
    {"Label4_3", "QLabel", "高度", "Frame4", 0, 140, 400, 375, 255},
    {"txtLabelFontH", "QLineEdit", "15", "Frame4", 0, 600, 360, 380, 270},
    {"Label5_3", "QLabel", "mil", "Frame4", 0, 1020, 375, 255, 255},
    {"Label4_2", "QLabel", "线宽", "Frame4", 0, 140, 765, 375, 180},
    {"txtLabelFontW", "QLineEdit", "1", "Frame4", 0, 600, 720, 380, 270},
    {"Label5_2", "QLabel", "mil", "Frame4", 0, 1020, 735, 255, 255},
    {"lstCompList", "QListWidget", "", "tabObjList", 1, 80, 480, 1455, 1860},
    {"chkSelectedComp", "QCheckBox", "标注选中器件", "tabObjList", 1, 1800, 600, 1455, 375},
    {"chkUnUsedPins", "QCheckBox", "无网络管脚", "tabObjList", 1, 1800, 960, 1455, 375},
    {"chkVias", "QCheckBox", "过孔", "tabObjList", 1, 1800, 1320, 1095, 375},
    {"cmdLocateComp", "QPushButton", "定 位", "tabObjList", 1, 1800, 1800, 735, 255},
    {"lstNetList", "QListWidget", "", "tabObjList", 2, 80, 480, 1455, 1860},
    {"chkSelectedNets", "QCheckBox", "标注选中网络", "tabObjList", 2, 1800, 600, 1455, 375},
    {"cmdLocateNet", "QPushButton", "定 位", "tabObjList", 2, 1800, 1080, 735, 255},
    {"lstNetClassList", "QListWidget", "", "tabObjList", 3, 80, 480, 1455, 1860},
    {"chkSelectedNetClasses", "QCheckBox", "标注选中类型", "tabObjList", 3, 1800, 600, 1455, 375},
};

QString captionOf(const QWidget* widget) {
    const QVariant title = widget->property("title");
    return (title.isValid() ? title : widget->property("text")).toString();
}

// Each caption must be drawable at 9 pt in the font its control ends up with.
void expectLegible(const QWidget* widget, const QString& text) {
    EXPECT_EQ(QFontInfo(widget->font()).pointSize(), 9);
    const QFontMetrics metrics(widget->font());
    for (const QChar c : text)
        EXPECT_TRUE(c.isSpace() || metrics.inFont(c)) << "no glyph for " << int(c.unicode());
}

TEST_F(Window, EveryControlAsDescribed) {
    auto* tabs = harness.control<QTabWidget>("tabObjList");
    for (const DesignedControl& designed : description) {
        SCOPED_TRACE(designed.name);
        QWidget* widget = harness.control(designed.name);
        QWidget* container = harness.control(designed.container);
        EXPECT_STREQ(widget->metaObject()->className(), designed.kind);
        EXPECT_EQ(captionOf(widget), QString::fromUtf8(designed.caption));
        EXPECT_EQ(widget->parentWidget(),
                  designed.page ? tabs->widget(designed.page - 1) : container);
        const auto px = [](int twips) { return qRound(twips / 15.0); };
        EXPECT_EQ(
            QRect(widget->mapTo(container, QPoint()), widget->size()),
            QRect(px(designed.left), px(designed.top), px(designed.width), px(designed.height)));
        expectLegible(widget, captionOf(widget));
    }
    const QStringList pages = {"元器件", "网络", "网络类型"};
    ASSERT_EQ(tabs->count(), 3);
    for (int page = 0; page < 3; ++page) {
        EXPECT_EQ(tabs->tabText(page), pages[page]);
        expectLegible(tabs->tabBar(), pages[page]);
    }
    // Where SimSun is missing the simplified Chinese face is asked for by name.
    EXPECT_TRUE(harness.control("Frame1")->font().families().contains("Noto Sans CJK SC"));

    // A fixed dialog frame with its own icon.
    const window::frmTagwright& form = *harness.window;
    EXPECT_EQ(form.windowTitle(), "Tagwright ");
    EXPECT_EQ(std::pair(form.minimumSize(), form.maximumSize()),
              std::pair(QSize(353, 310), QSize(353, 310)));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.windowIcon().availableSizes(), QList<QSize>({{32, 32}, {16, 16}}));
}

// From `start`, the named controls the Tab key visits (or that own what it visits) until
// it comes round again.
QStringList tabCycle(QWidget* start) {
    const auto focused = [] {
        QWidget* w = QApplication::focusWidget();
        while (w != nullptr && (w->objectName().isEmpty() || w->objectName().startsWith("qt_")))
            w = w->parentWidget();
        return w != nullptr ? w->objectName() : QString();
    };
    start->setFocus(Qt::TabFocusReason);
    QStringList visited{focused()};
    for (int i = 0; i < 40 && (i == 0 || visited.back() != visited.front()); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << focused();
    }
    visited.removeLast();
    return visited;
}

// The designed order, not the visual one; controls on the pages behind the one in front are
// hidden and take no focus, nor do disabled ones or the options not chosen.
TEST_F(Window, TabKeyFollowsTheDesignedOrder) {
    harness.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(harness.window.get()));
    const QStringList head = {"cboLabelLayer",    "txtLabelOffsetX", "txtLabelOffsetY",
                              "cmdAddLabel",      "cmdDeleteLabel",  "cmdHelp",
                              "cboLabelRotation", "txtLabelFontW",   "txtLabelFontH",
                              "cmdUpdateList",    "tabObjList"};
    const std::pair<const char*, QStringList> cycles[] = {
        {"optLabelType_1",
         {"lstCompList", "chkSelectedComp", "chkUnUsedPins", "cmdClose", "cmdLocateComp"}},
        {"optLabelType_0", {"lstNetList", "chkSelectedNets", "cmdClose", "cmdLocateNet"}}};
    for (const auto& [option, page] : cycles) {
        harness.click(option);
        EXPECT_EQ(tabCycle(harness.control(option)), QStringList{option} + head + page);
    }
}

// What choosing each label type leaves behind, whatever type and page came before.
TEST_F(Window, LabelTypeFromEveryTypeAndPage) {
    // Page in front; nets page, classes page, unused pins, vias enabled.
    using Effect = std::tuple<int, bool, bool, bool, bool>;
    const Effect effectOf[] = {{1, true, true, false, true},
                               {0, false, false, true, false},
                               {2, false, true, false, true}};
    auto* tabs = harness.control<QTabWidget>("tabObjList");
    const auto option = [&](int index) {
        return harness.control<QAbstractButton>(QString("optLabelType_%1").arg(index));
    };
    auto* unusedPins = harness.control<QAbstractButton>("chkUnUsedPins");
    auto* vias = harness.control<QAbstractButton>("chkVias");
    auto* nets = harness.control<QListWidget>("lstNetList");
    QTabBar* bar = tabs->tabBar();

    for (int from = 0; from < 3; ++from) {
        for (int page = 0; page < 3; ++page) {
            for (int chosen = 0; chosen < 3; ++chosen) {
                QTest::mouseClick(option(from), Qt::LeftButton);
                const bool reachable = tabs->isTabEnabled(page);
                QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
                // The user can bring only an available page to the front.
                ASSERT_EQ(tabs->currentIndex(), reachable ? page : std::get<0>(effectOf[from]));
                if (!reachable)
                    continue;
                SCOPED_TRACE(testing::Message()
                             << "type " << from << ", page " << page << ", then type " << chosen);
                unusedPins->setChecked(true);
                vias->setChecked(true);
                nets->item(1)->setSelected(true);

                QTest::mouseClick(option(chosen), Qt::LeftButton);
                EXPECT_EQ(Effect(tabs->currentIndex(), tabs->isTabEnabled(1), tabs->isTabEnabled(2),
                                 unusedPins->isEnabled(), vias->isEnabled()),
                          effectOf[chosen]);
                EXPECT_TRUE(tabs->isTabEnabled(0));
                EXPECT_EQ(harness.window->labelTypeIndex(), chosen);
                // Disabling never clears a tick or a list's choice.
                EXPECT_TRUE(unusedPins->isChecked() && vias->isChecked());
                EXPECT_TRUE(nets->item(1)->isSelected());
            }
        }
    }
}

TEST_F(Window, FieldsTakeOnlyTheCharactersOfANumber) {
    for (const auto& [name, minusAllowed] : {std::pair{"txtLabelFontH", true},
                                             {"txtLabelFontW", true},
                                             {"txtLabelOffsetX", true},
                                             {"txtLabelOffsetY", true},
                                             {"cboLabelRotation", false}}) {
        SCOPED_TRACE(name);
        QWidget* target = harness.control(name);
        auto* combo = qobject_cast<QComboBox*>(target);
        QLineEdit* edit = combo ? combo->lineEdit() : static_cast<QLineEdit*>(target);
        edit->clear();
        type(target, QStringLiteral("-1a2.-E e+3, 4中\r\x1b\t"));
        EXPECT_EQ(edit->text(), minusAllowed ? "-12.-34" : "12.34");

        // What an input method commits is filtered the same way.
        QInputMethodEvent commit;
        commit.setCommitString(QStringLiteral("中-5文"));
        QCoreApplication::sendEvent(edit, &commit);
        EXPECT_EQ(edit->text(), minusAllowed ? "-12.-34-5" : "12.345");

        // Backspace, Delete and Ctrl+A keep working; other control keys such as paste do not.
        QTest::keyClick(target, Qt::Key_Backspace);
        QTest::keyClick(target, Qt::Key_Home);
        QTest::keyClick(target, Qt::Key_Delete);
        EXPECT_EQ(edit->text(), minusAllowed ? "12.-34-" : "2.34");
        QTest::keyClick(target, Qt::Key_A, Qt::ControlModifier);
        type(target, "7");
        QTest::keyClick(target, Qt::Key_V, Qt::ControlModifier);
        EXPECT_EQ(edit->text(), "7");
    }
    // Typing never adds to the rotation list.
    EXPECT_EQ(harness.control<QComboBox>("cboLabelRotation")->count(), 4);
}

// Needs an X server: ctest runs this once more under xvfb-run with the xcb platform.
TEST(WindowOnX11, StaysOffTheTaskbarAcrossShows) {
    if (QGuiApplication::platformName() != "xcb")
        GTEST_SKIP() << "not on X11";
    test::WindowHarness harness;
    ASSERT_TRUE(harness.window->Form_Load());
    for (int show = 0; show < 2; ++show) {
        harness.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(harness.window.get()));
        EXPECT_TRUE(window::isKeptOffTaskbar(harness.window.get())) << show;
        harness.window->hide();
        QTest::qWait(20);
    }
}

} // namespace
