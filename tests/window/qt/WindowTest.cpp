#include "WindowHarness.h"

#include "window/qt/TaskbarHint.h"

#include <QApplication>
#include <QFontInfo>
#include <QInputMethodEvent>
#include <QRadioButton>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <gtest/gtest.h>

#include <map>

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
        for (const QChar c : text) {
            QTest::sendKeyEvent(QTest::Click, field, Qt::Key_unknown, QString(c), {});
        }
    }
    test::WindowHarness harness;
};

// Each caption must be drawable at 9 pt in the font its control ends up with.
void expectLegible(const QWidget* widget, const QString& text) {
    EXPECT_EQ(QFontInfo(widget->font()).pointSize(), 9);
    const QFontMetrics metrics(widget->font());
    for (const QChar c : text) {
        EXPECT_TRUE(c.isSpace() || metrics.inFont(c)) << "no glyph for " << int(c.unicode());
    }
}

// Every control as the window description has it: its kind, caption or starting text, its
// container or page, and its place in pixels (twips / 15) there; page controls are placed in the
// tab control's coordinates, below whatever strip the style draws.
TEST_F(Window, EveryControlAsDescribed) {
    using window::ControlKind;
    const std::map<ControlKind, const char*> classOf = {
        {ControlKind::Frame, "QGroupBox"},         {ControlKind::Caption, "QLabel"},
        {ControlKind::Option, "QRadioButton"},     {ControlKind::CheckBox, "QCheckBox"},
        {ControlKind::Button, "QPushButton"},      {ControlKind::TextBox, "QLineEdit"},
        {ControlKind::EditableCombo, "QComboBox"}, {ControlKind::DropDownList, "QComboBox"},
        {ControlKind::ListBox, "QListWidget"},     {ControlKind::TabControl, "QTabWidget"}};
    const char* const containers[] = {"frmTagwright", "Frame1", "Frame2", "Frame4", "tabObjList"};
    auto* tabs = harness.control<QTabWidget>("tabObjList");
    const auto px = [](int twips) { return qRound(twips / 15.0); };
    for (const window::ControlDescription& described : window::windowDescription()) {
        SCOPED_TRACE(described.name);
        QWidget* widget = harness.window->control(described.id);
        QWidget* container = harness.control(containers[int(described.container)]);
        EXPECT_EQ(widget->objectName(), QString(described.name).replace('(', '_').remove(')'));
        EXPECT_STREQ(widget->metaObject()->className(), classOf.at(described.kind));
        const QVariant title = widget->property("title");
        const QString caption = (title.isValid() ? title : widget->property("text")).toString();
        EXPECT_EQ(caption, QString::fromUtf16(described.text));
        EXPECT_EQ(widget->parentWidget(),
                  described.page >= 0 ? tabs->widget(described.page) : container);
        EXPECT_EQ(QRect(widget->mapTo(container, QPoint()), widget->size()),
                  QRect(px(described.left), px(described.top), px(described.width),
                        px(described.height)));
        expectLegible(widget, caption);
        if (auto* combo = qobject_cast<QComboBox*>(widget)) {
            EXPECT_EQ(combo->isEditable(), described.kind == ControlKind::EditableCombo);
        }
    }
    ASSERT_EQ(tabs->count(), int(std::size(window::pageCaptions)));
    for (int page = 0; page < tabs->count(); ++page) {
        EXPECT_EQ(tabs->tabText(page), QString::fromUtf16(window::pageCaptions[page]));
        expectLegible(tabs->tabBar(), tabs->tabText(page));
    }
    // The window's own face, and SimSun where the description sets it, each with the simplified
    // Chinese faces named for where SimSun is missing.
    EXPECT_EQ(harness.window->font().families().first(), "Times New Roman");
    EXPECT_EQ(harness.control("Frame1")->font().families().first(), "SimSun");
    EXPECT_EQ(harness.control("cboLabelRotation")->font(), harness.window->font());
    EXPECT_TRUE(harness.control("optLabelType_0")->font().families().contains("Noto Sans CJK SC"));

    // A fixed dialog frame with its own icon.
    const QWidget& form = *harness.window;
    EXPECT_EQ(form.windowTitle(), QString::fromUtf16(window::windowCaption));
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
    while (w != nullptr && (w->objectName().isEmpty() || w->objectName().startsWith("qt_"))) {
        w = w->parentWidget();
    }
    return w != nullptr ? w->objectName() : QString();
}

// From `start` (or the control that has the focus), the named controls the Tab key visits (or
// that own what it visits) until it comes round again.
QStringList tabCycle(QWidget* start = nullptr) {
    if (start != nullptr) {
        start->setFocus(Qt::TabFocusReason);
    }
    QStringList visited{focusedControl()};
    for (int i = 0; i < 40 && (i == 0 || visited.back() != visited.front()); ++i) {
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        visited << focusedControl();
    }
    visited.removeLast();
    return visited;
}

// The Tab stops of the description, in tab index order, as the window stands: the controls
// that take focus on no page or on the page in front, enabled, and of the options the chosen one.
QStringList describedStops(const window::qt::FormWindow& w) {
    const int page = w.currentPage();
    QStringList stops;
    for (const window::ControlDescription& described : window::windowDescription()) {
        const QWidget* widget = w.control(described.id);
        const auto* option = qobject_cast<const QRadioButton*>(widget);
        const bool takesFocus = described.kind != window::ControlKind::Frame &&
                                described.kind != window::ControlKind::Caption;
        if (takesFocus && (described.page < 0 || described.page == page) && widget->isEnabled() &&
            (option == nullptr || option->isChecked())) {
            stops << widget->objectName();
        }
    }
    return stops;
}

// The described order, not the visual one; controls on the pages behind the one in front are
// hidden and take no focus, nor do disabled ones or the options not chosen. The window opens
// with the focus on the chosen option.
TEST_F(Window, TabKeyFollowsTheDescribedOrder) {
    harness.window->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(harness.window.get()));
    const QStringList pinNumbers = describedStops(*harness.window);
    ASSERT_EQ(pinNumbers.size(), 17);
    EXPECT_EQ(tabCycle(), pinNumbers);

    // The arrow keys move the choice, and the Tab stop with it.
    QTest::keyClick(harness.control("optLabelType_1"), Qt::Key_Left);
    EXPECT_EQ(harness.form().labelTypeIndex(), 0);
    EXPECT_EQ(tabCycle(), describedStops(*harness.window));
    EXPECT_NE(describedStops(*harness.window), pinNumbers);
    harness.click("optLabelType_1");
    EXPECT_EQ(tabCycle(harness.control("optLabelType_1")), pinNumbers);
}

// The tab control refuses the user an unavailable page, but not the program. Ctrl+Tab and
// Ctrl+Shift+Tab reach the form from a control outside the tab control too, and pass the page a
// click is refused; Ctrl+A selects the whole list with the focus.
TEST_F(Window, PagesAndListKeys) {
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

    harness.click("optLabelType_2");
    QWidget* field = harness.control("txtLabelOffsetX");
    const std::pair<Qt::Key, int> presses[] = {
        {Qt::Key_Tab, 0}, {Qt::Key_Tab, 2}, {Qt::Key_Backtab, 0}, {Qt::Key_Backtab, 2}};
    for (const auto& [key, page] : presses) {
        const auto shift = key == Qt::Key_Backtab ? Qt::ShiftModifier : Qt::NoModifier;
        QTest::keyClick(field, key, Qt::ControlModifier | shift);
        EXPECT_EQ(tabs->currentIndex(), page);
    }
    auto* list = harness.control<QListWidget>("lstNetClassList");
    list->setFocus();
    QTest::keyClick(list, Qt::Key_A, Qt::ControlModifier);
    EXPECT_EQ(list->selectedItems().size(), list->count());
    EXPECT_GT(list->count(), 0);
}

// What the form reads and sets through FormControls is the control of that name.
TEST_F(Window, FormControlsAreTheNamedWidgets) {
    window::FormControls& controls = *harness.window;
    harness.click("optLabelType_0"); // every page and check box available
    const char* const lists[] = {"lstCompList", "lstNetList", "lstNetClassList"};
    for (int list = 0; list < 3; ++list) {
        SCOPED_TRACE(lists[list]);
        const auto which = window::ListBox(list);
        auto* widget = harness.control<QListWidget>(lists[list]);
        controls.listAppend(which, u"X");
        const int last = widget->count() - 1;
        widget->item(last)->setSelected(true);
        EXPECT_EQ(std::tuple(controls.listCount(which), controls.listText(which, last),
                             controls.listSelected(which, last), controls.listSelected(which, 0)),
                  std::tuple(widget->count(), u"X", true, false));
        controls.listClear(which);
        EXPECT_EQ(widget->count(), 0);
    }
    const char* const boxes[] = {"chkSelectedComp", "chkUnUsedPins", "chkVias", "chkSelectedNets",
                                 "chkSelectedNetClasses"};
    for (int box = 0; box < 5; ++box) {
        SCOPED_TRACE(boxes[box]);
        auto* widget = harness.control<QAbstractButton>(boxes[box]);
        widget->setChecked(true);
        EXPECT_TRUE(controls.checked(window::CheckBox(box)));
        controls.setEnabled(window::CheckBox(box), false);
        EXPECT_FALSE(widget->isEnabled());
        widget->setChecked(false);
        EXPECT_FALSE(controls.checked(window::CheckBox(box)));
    }
    const char* const fields[] = {"txtLabelOffsetX", "txtLabelOffsetY", "txtLabelFontH",
                                  "txtLabelFontW"};
    for (int field = 0; field < 4; ++field) {
        harness.setText(fields[field], fields[field]);
        EXPECT_EQ(controls.text(window::TextBox(field)), QString(fields[field]).toStdU16String());
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
// application's override cursor during a run, gone after it.
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

    bool busyAtEveryCall = true;
    harness.log->beforeCall = [&](const host::RecordedCall&) {
        const QCursor* cursor = QApplication::overrideCursor();
        busyAtEveryCall &= cursor != nullptr && cursor->shape() == Qt::WaitCursor;
    };
    harness.click("cmdAddLabel");
    EXPECT_TRUE(busyAtEveryCall);
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
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "not on X11";
    }
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
