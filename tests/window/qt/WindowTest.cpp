#include "WindowHarness.h"

#include "maintenance/Locate.h"
#include "window/qt/TaskbarHint.h"

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
        ASSERT_TRUE(harness.form().Form_Load());
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
    const QWidget& form = *harness.window;
    EXPECT_EQ(form.windowTitle(), "Tagwright ");
    EXPECT_EQ(std::pair(form.minimumSize(), form.maximumSize()),
              std::pair(QSize(353, 310), QSize(353, 310)));
    const Qt::WindowFlags flags = form.windowFlags();
    EXPECT_EQ(flags & Qt::WindowType_Mask, Qt::Dialog);
    EXPECT_TRUE(flags & Qt::WindowCloseButtonHint);
    EXPECT_FALSE(flags & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
    EXPECT_EQ(form.windowIcon().availableSizes(), QList<QSize>({{32, 32}, {16, 16}}));
}

QString focusedControl() {
    QWidget* w = QApplication::focusWidget();
    while (w != nullptr && (w->objectName().isEmpty() || w->objectName().startsWith("qt_")))
        w = w->parentWidget();
    return w != nullptr ? w->objectName() : QString();
}

// From `start` (or the control that has the focus), the named controls the Tab key visits (or
// that own what it visits) until it comes round again.
QStringList tabCycle(QWidget* start = nullptr) {
    if (start != nullptr)
        start->setFocus(Qt::TabFocusReason);
    QStringList visited{focusedControl()};
    for (int i = 0; i < 40 && (i == 0 || visited.back() != visited.front()); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << focusedControl();
    }
    visited.removeLast();
    return visited;
}

// The designed order, not the visual one; controls on the pages behind the one in front are
// hidden and take no focus, nor do disabled ones or the options not chosen. The window opens
// with the focus on the chosen option.
TEST_F(Window, TabKeyFollowsTheDesignedOrder) {
    harness.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(harness.window.get()));
    const QStringList head = {"cboLabelLayer",    "txtLabelOffsetX", "txtLabelOffsetY",
                              "cmdAddLabel",      "cmdDeleteLabel",  "cmdHelp",
                              "cboLabelRotation", "txtLabelFontW",   "txtLabelFontH",
                              "cmdUpdateList",    "tabObjList"};
    const QStringList componentsPage = {"lstCompList", "chkSelectedComp", "chkUnUsedPins",
                                        "cmdClose", "cmdLocateComp"};
    EXPECT_EQ(tabCycle(), QStringList{"optLabelType_1"} + head + componentsPage);

    // The arrow keys move the choice, and the Tab stop with it.
    QTest::keyClick(harness.control("optLabelType_1"), Qt::Key_Left);
    EXPECT_EQ(harness.form().labelTypeIndex(), 0);
    const QStringList netsPage = {"lstNetList", "chkSelectedNets", "cmdClose", "cmdLocateNet"};
    EXPECT_EQ(tabCycle(), QStringList{"optLabelType_0"} + head + netsPage);
    harness.click("optLabelType_1");
    EXPECT_EQ(tabCycle(harness.control("optLabelType_1")),
              QStringList{"optLabelType_1"} + head + componentsPage);
}

// The tab control refuses the user an unavailable page, but not the program.
TEST_F(Window, UnavailablePagesRefuseOnlyTheUser) {
    auto* tabs = harness.control<QTabWidget>("tabObjList");
    QTabBar* bar = tabs->tabBar();
    const auto clickPage = [bar](int page) {
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->tabRect(page).center());
    };
    clickPage(1);
    EXPECT_EQ(tabs->currentIndex(), 0);
    harness.window->setCurrentPage(2);
    EXPECT_EQ(tabs->currentIndex(), 2);
    EXPECT_FALSE(tabs->isTabEnabled(2));

    QTest::mouseClick(harness.control("optLabelType_0"), Qt::LeftButton);
    for (const int page : {0, 2, 1}) {
        clickPage(page);
        EXPECT_EQ(tabs->currentIndex(), page);
    }
}

// What the form reads and sets through FormControls is the control of that name.
TEST_F(Window, FormControlsAreTheNamedWidgets) {
    window::FormControls& controls = *harness.window;
    harness.click("optLabelType_0"); // every page and check box available
    const std::pair<window::ListBox, const char*> lists[] = {
        {window::ListBox::lstCompList, "lstCompList"},
        {window::ListBox::lstNetList, "lstNetList"},
        {window::ListBox::lstNetClassList, "lstNetClassList"}};
    for (const auto& [list, name] : lists) {
        auto* widget = harness.control<QListWidget>(name);
        controls.listAppend(list, u"X");
        widget->item(widget->count() - 1)->setSelected(true);
        EXPECT_EQ(controls.listCount(list), widget->count()) << name;
        EXPECT_EQ(controls.listText(list, widget->count() - 1), u"X") << name;
        EXPECT_TRUE(controls.listSelected(list, widget->count() - 1)) << name;
        EXPECT_FALSE(controls.listSelected(list, 0)) << name;
        controls.listClear(list);
        EXPECT_EQ(widget->count(), 0) << name;
    }
    const std::pair<window::CheckBox, const char*> boxes[] = {
        {window::CheckBox::chkSelectedComp, "chkSelectedComp"},
        {window::CheckBox::chkUnUsedPins, "chkUnUsedPins"},
        {window::CheckBox::chkVias, "chkVias"},
        {window::CheckBox::chkSelectedNets, "chkSelectedNets"},
        {window::CheckBox::chkSelectedNetClasses, "chkSelectedNetClasses"}};
    for (const auto& [box, name] : boxes) {
        auto* widget = harness.control<QAbstractButton>(name);
        EXPECT_FALSE(controls.checked(box)) << name;
        widget->setChecked(true);
        EXPECT_TRUE(controls.checked(box)) << name;
        controls.setEnabled(box, false);
        EXPECT_FALSE(widget->isEnabled()) << name;
        controls.setEnabled(box, true);
        EXPECT_TRUE(widget->isEnabled()) << name;
    }
    const std::pair<window::TextBox, const char*> fields[] = {
        {window::TextBox::txtLabelOffsetX, "txtLabelOffsetX"},
        {window::TextBox::txtLabelOffsetY, "txtLabelOffsetY"},
        {window::TextBox::txtLabelFontH, "txtLabelFontH"},
        {window::TextBox::txtLabelFontW, "txtLabelFontW"}};
    for (const auto& [field, name] : fields) {
        harness.setText(name, name);
        EXPECT_EQ(controls.text(field), QString(name).toStdU16String());
    }
    for (int index = 0; index < 3; ++index) {
        auto* option = harness.control<QAbstractButton>(QString("optLabelType_%1").arg(index));
        EXPECT_EQ(controls.optionCaption(index), option->text().toStdU16String());
        controls.chooseOption(index);
        EXPECT_TRUE(option->isChecked());
    }
    auto* layer = harness.control<QComboBox>("cboLabelLayer");
    controls.setLayerIndex(2);
    EXPECT_EQ(std::tuple(controls.layerCount(), controls.layerIndex(), layer->currentText()),
              std::tuple(3, 2, "Silkscreen Top"));
    controls.layerClear();
    EXPECT_EQ(std::tuple(layer->count(), controls.layerIndex()), std::tuple(0, -1));
    controls.setRotationIndex(3);
    EXPECT_EQ(controls.rotationText(), u"270");
    harness.setText("cboLabelRotation", "45");
    EXPECT_EQ(controls.rotationText(), u"45");
}

// A click on each button and the close box reach the form; the busy cursor is the
// application's override cursor, lifted while a message is up.
TEST_F(Window, EachEventReachesItsHandler) {
    auto& h = harness;
    const std::tuple<const char*, std::function<void()>, std::function<bool()>> clicks[] = {
        {"cmdUpdateList", [&h] { h.design->nets[0].name = u"AGND"; },
         [&h] { return h.control<QListWidget>("lstNetList")->item(0)->text() == "AGND"; }},
        {"cmdAddLabel", [] {}, [&h] { return h.design->texts.size() == 7; }},
        {"cmdDeleteLabel", [&h] { h.design->texts[0]->locked = true; },
         [&h] { return h.design->liveTextCount() == 2; }},
        {"cmdHelp", [] {}, [&h] { return h.messages->back().text.startsWith("版本"); }},
        {"cmdLocateComp", [&h] { h.select("lstCompList", 1); },
         [&h] { return h.design->components[1].selected; }},
        // Its page is unavailable, and so the button disabled, until the option is clicked.
        {"cmdLocateNet", [&h] { h.click("optLabelType_0"), h.select("lstNetList", 2); },
         [&h] { return h.design->nets[2].selected; }},
        {"cmdClose", [] {}, [&h] { return h.programEnds == 1; }},
    };
    for (const auto& [button, arrange, reached] : clicks) {
        arrange();
        harness.click(button);
        EXPECT_TRUE(reached()) << button;
    }
    harness.window->close();
    EXPECT_EQ(harness.programEnds, 2);

    struct CursorAtMessage : window::qt::Messages {
        void show(const QString&, const QString&) override {
            busy.push_back(QApplication::overrideCursor() != nullptr);
        }
        std::vector<bool> busy;
    };
    auto owned = std::make_unique<CursorAtMessage>();
    const CursorAtMessage& shown = *owned;
    harness.window->setMessages(std::move(owned));
    std::vector<bool> busyAtCall;
    harness.log->beforeCall = [&](const host::RecordedCall& call) {
        const QCursor* cursor = QApplication::overrideCursor();
        busyAtCall.push_back(cursor != nullptr && cursor->shape() == Qt::WaitCursor);
        if (call.member == u"AddText")
            throw host::Failure(1004, u"应用程序定义或对象定义错误");
    };
    harness.click("cmdAddLabel");
    EXPECT_FALSE(shown.busy.empty());
    EXPECT_TRUE(std::ranges::none_of(shown.busy, std::identity()));
    EXPECT_FALSE(busyAtCall.empty());
    EXPECT_TRUE(std::ranges::all_of(busyAtCall, std::identity()));
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
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
    ASSERT_TRUE(harness.form().Form_Load());
    for (int show = 0; show < 2; ++show) {
        harness.window->show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(harness.window.get()));
        EXPECT_TRUE(window::qt::isKeptOffTaskbar(harness.window.get())) << show;
        harness.window->hide();
        QTest::qWait(20);
    }
}

} // namespace
