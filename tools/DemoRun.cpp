// The demo on a screen nobody can click on (scripts/demo without a display): the program's
// window, attached to the running editor as the program attaches, is driven through one
// net-name run by the same mouse and key events a user's clicks make, then the whole screen,
// the editor's window beside it, is saved: tagwright_demo_run OUT.png
#include "host/Attach.h"
#include "window/FormControls.h"
#include "window/qt/FormWindow.h"

#include <QAbstractButton>
#include <QApplication>
#include <QListWidget>
#include <QPixmap>
#include <QPushButton>
#include <QScreen>
#include <QTabBar>
#include <QTabWidget>
#include <QTest>

#include <cstdio>
#include <memory>
#include <stdexcept>
#include <string>

using namespace tagwright;

namespace {

// A message box would wait forever for a click: each message goes to the log instead, and
// the run counts as failed, since a net-name run on the sample board shows none.
struct LoggedMessages : window::qt::Messages {
    void show(const QString& text, const QString& title) override {
        std::fprintf(stderr, "[%s] %s\n", qPrintable(title), qPrintable(text));
        ++shown;
    }
    int shown = 0;
};

class DemoRun {
  public:
    explicit DemoRun(window::qt::FormWindow& window) : window_(window) {}

    void labelEveryNet() {
        tick("optLabelType_0");
        showPage(window::componentsPage);
        auto* components = control<QListWidget>("lstCompList");
        components->setFocus(Qt::MouseFocusReason);
        QTest::keyClick(components, Qt::Key_A, Qt::ControlModifier);
        if (components->selectedItems().size() != components->count()) {
            throw std::runtime_error("Ctrl+A did not select every component");
        }
        // Only the chosen components, which are all of them; vias carry nets of their own.
        tick("chkSelectedComp");
        tick("chkVias");
        // The whole run happens within the click: the button's handler returns when it is over.
        click("cmdAddLabel");
    }

  private:
    template <class Widget> Widget* control(const char* name) const {
        auto* widget = window_.findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr || !widget->isVisible() || !widget->isEnabled()) {
            throw std::runtime_error(std::string("no control to use: ") + name);
        }
        return widget;
    }
    // On the check mark or radio dot, where a click counts whatever the caption's width.
    void click(const char* name) const {
        auto* widget = control<QAbstractButton>(name);
        const QPoint at = qobject_cast<QPushButton*>(widget) ? widget->rect().center()
                                                             : QPoint(7, widget->height() / 2);
        QTest::mouseClick(widget, Qt::LeftButton, Qt::NoModifier, at);
    }
    void tick(const char* name) const {
        click(name);
        if (!control<QAbstractButton>(name)->isChecked()) {
            throw std::runtime_error(std::string("the click did not tick ") + name);
        }
    }
    void showPage(int page) const {
        QTabBar* tabs = control<QTabWidget>("tabObjList")->tabBar();
        QTest::mouseClick(tabs, Qt::LeftButton, Qt::NoModifier, tabs->tabRect(page).center());
        if (tabs->currentIndex() != page) {
            throw std::runtime_error("the click did not bring the page to the front");
        }
    }

    window::qt::FormWindow& window_;
};

} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s OUT.png\n", argv[0]);
        return 2;
    }
    window::qt::FormWindow window(host::attachRunningEditor);
    auto messages = std::make_unique<LoggedMessages>();
    const LoggedMessages& logged = *messages;
    window.setMessages(std::move(messages));
    window.setProgramEnd([] {});
    if (!window.form().Form_Load()) {
        return 1;
    }
    window.move(0, 0);
    window.show();
    if (!QTest::qWaitForWindowExposed(&window)) {
        std::fprintf(stderr, "the window never came on screen\n");
        return 1;
    }
    try {
        DemoRun(window).labelEveryNet();
    } catch (const std::exception& e) {
        std::fprintf(stderr, "%s\n", e.what());
        return 1;
    }
    // The labels reach the editor's window through its own event loop, in another process.
    QTest::qWait(1000);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen || !screen->grabWindow(0).save(QString::fromLocal8Bit(argv[1]), "PNG")) {
        std::fprintf(stderr, "cannot grab the screen into %s\n", argv[1]);
        return 1;
    }
    return logged.shown == 0 ? 0 : 1;
}
