// The Qt progress window and the blocked window during long runs, over a host that makes every
// call wait: the window itself, Escape, and that input to the window meanwhile is dropped, not
// kept for later. When it comes and what it says are the form's, tested there.
#include "WindowHarness.h"

#include "host/memory/BoardGenerator.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>

#ifdef TAGWRIGHT_HAVE_XCB
#include <xcb/xcb.h>

#include <cstdlib>
#endif

using namespace tagwright;
using namespace std::chrono_literals;

namespace {

void escape(QWidget* window) {
    // Posted: it takes a turn of the event loop to arrive.
    QCoreApplication::postEvent(window, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
}

// 80 components of 3 pins at a millisecond a call. Early in the run a click and a key on the
// window; with the progress window up, a click on the window, its close box, then Escape. The
// window stays until the run has ended, and closes then.
TEST(QtLongRun, ModalProgressWindowCancelledWithEscapeWhileInputIsDropped) {
    test::WindowHarness w(host::memory::generateBoard({.components = 80, .pinsPerComponent = 3}),
                          1000us);
    ASSERT_TRUE(w.form().Form_Load());
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    auto* add = w.control<QPushButton>("cmdAddLabel");
    QSignalSpy adds(add, &QPushButton::clicked);
    QSignalSpy deletes(w.control<QPushButton>("cmdDeleteLabel"), &QPushButton::clicked);
    std::size_t labelsAtEscape = 0;
    int calls = 0;
    w.log->beforeCall = [&](const host::RecordedCall&) {
        if (++calls == 20) {
            QTest::mouseClick(w.control("cmdDeleteLabel"), Qt::LeftButton);
            QTest::keyClick(w.window.get(), Qt::Key_Space);
        }
        window::qt::ProgressWindow* progress = w.window->progressWindow();
        if (!progress || labelsAtEscape != 0) {
            return;
        }
        EXPECT_EQ(progress->windowTitle(), "Tagwright");
        EXPECT_TRUE(progress->isModal() && progress->parentWidget() == w.window.get());
        EXPECT_FALSE(progress->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        EXPECT_EQ(progress->findChild<QProgressBar*>("barProgress")->maximum(), 80);
        EXPECT_TRUE(progress->findChild<QLabel*>("lblProgress")->text().startsWith("正在标注"));
        EXPECT_EQ(progress->cancelButton()->text(), "取消");
        QTest::mouseClick(add, Qt::LeftButton);
        EXPECT_FALSE(w.window->close());
        labelsAtEscape = w.design->liveTextCount();
        escape(progress);
    };
    add->click();
    w.log->beforeCall = nullptr;

    EXPECT_EQ(adds.count(), 1) << "only the click that started the run";
    EXPECT_EQ(deletes.count(), 0) << "the click never reached the button";
    const std::size_t labels = w.design->liveTextCount();
    EXPECT_TRUE(labels >= labelsAtEscape && labels < labelsAtEscape + 10) << "stopped at once";
    EXPECT_EQ(w.log->count(u"AddText"), labels) << "nothing else ran, nothing was deleted";
    EXPECT_TRUE(w.window->progressWindow() == nullptr && QApplication::overrideCursor() == nullptr);
    EXPECT_EQ(w.programEnds, 1) << "the close box during the run, once the run was over";
}

// At start-up the progress window stands alone, over the whole program, and offers its cancel
// button; Escape there ends the start-up, and the window is never shown.
TEST(QtLongRun, AtLoadAloneAndCancelledWithEscape) {
    test::WindowHarness w(
        host::memory::generateBoard({.components = 150, .pinsPerComponent = 1, .nets = 300}),
        2000us);
    bool seen = false;
    w.log->beforeCall = [&](const host::RecordedCall&) {
        if (auto* progress = w.window->progressWindow(); progress && !seen) {
            seen = true;
            EXPECT_EQ(progress->parentWidget(), nullptr);
            EXPECT_EQ(progress->windowModality(), Qt::ApplicationModal);
            EXPECT_TRUE(progress->cancelButton()->isVisible());
            EXPECT_EQ(progress->cancelButton()->text(), "取消");
            EXPECT_FALSE(w.window->isVisible());
            escape(progress);
        }
    };
    EXPECT_FALSE(w.form().Form_Load());
    EXPECT_TRUE(seen);
    EXPECT_TRUE(w.window->progressWindow() == nullptr && !w.window->isVisible());
}

#ifdef TAGWRIGHT_HAVE_XCB
xcb_atom_t atom(xcb_connection_t* connection, const char* name) {
    xcb_intern_atom_reply_t* reply = xcb_intern_atom_reply(
        connection, xcb_intern_atom(connection, 0, std::strlen(name), name), nullptr);
    const xcb_atom_t found = reply != nullptr ? reply->atom : xcb_atom_t(XCB_ATOM_NONE);
    std::free(reply);
    return found;
}

// The close box as the window manager reports it: WM_DELETE_WINDOW, sent to the window.
void closeFromWindowManager(QWidget* window) {
    auto* connection = qGuiApp->nativeInterface<QNativeInterface::QX11Application>()->connection();
    xcb_client_message_event_t event{};
    event.response_type = XCB_CLIENT_MESSAGE;
    event.format = 32;
    event.window = static_cast<xcb_window_t>(window->winId());
    event.type = atom(connection, "WM_PROTOCOLS");
    event.data.data32[0] = atom(connection, "WM_DELETE_WINDOW");
    xcb_send_event(connection, 0, event.window, XCB_EVENT_MASK_NO_EVENT,
                   reinterpret_cast<const char*>(&event));
    xcb_flush(connection);
}

// Needs an X server: ctest runs this under xvfb-run with the xcb platform. Qt itself drops a
// window manager's close of a window that a modal one blocks, as the progress window does.
TEST(WindowOnX11, AWindowManagerCloseDuringARunEndsTheProgramAfterIt) {
    if (QGuiApplication::platformName() != "xcb") {
        GTEST_SKIP() << "not on X11";
    }
    test::WindowHarness w(host::memory::generateBoard({.components = 40, .pinsPerComponent = 3}),
                          1000us);
    ASSERT_TRUE(w.form().Form_Load());
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));
    bool sent = false;
    w.log->beforeCall = [&](const host::RecordedCall&) {
        if (w.window->progressWindow() != nullptr && !sent) {
            sent = true;
            closeFromWindowManager(w.window.get());
        }
    };
    w.control<QPushButton>("cmdAddLabel")->click();
    EXPECT_TRUE(sent);
    EXPECT_EQ(w.programEnds, 1);
}
#endif

} // namespace
