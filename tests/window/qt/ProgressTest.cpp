// The Qt progress window and the blocked window during long runs, over a host that makes every
// call wait: the window itself, Escape, and that input to the window meanwhile is dropped, not
// kept for later. When it comes and what it says are the form's, tested there.
#include "WindowHarness.h"

#include "host/CallDelay.h"
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

using namespace tagwright;
using namespace std::chrono_literals;

namespace {

using Clock = std::chrono::steady_clock;

// The window over a generated board whose host waits a millisecond at each call; `during`
// runs at every host call, inside the handler.
struct SlowWindow : test::WindowUnderTest {
    std::shared_ptr<host::memory::Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    std::function<void()> during;

    explicit SlowWindow(host::memory::BoardShape shape, std::chrono::microseconds delay = 1000us)
        : WindowUnderTest([this, delay] {
              return host::HostApplication(host::recordCalls(
                  host::delayCalls(host::memory::makeApplication(design), delay), log));
          }),
          design(std::make_shared<host::memory::Design>(host::memory::generateBoard(shape))) {
        log->beforeCall = [this](const host::RecordedCall&) {
            if (during)
                during();
        };
    }
    window::qt::ProgressWindow* progress() const { return window->progressWindow(); }
};

// 80 components of 3 pins at a millisecond a call: a few seconds for the whole run.
TEST(QtLongRun, ModalProgressWindowCancelledWithEscapeWhileClicksAreDropped) {
    SlowWindow w({.components = 80, .pinsPerComponent = 3});
    ASSERT_TRUE(w.form().Form_Load());
    w.window->show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(w.window.get()));

    auto* add = w.control<QPushButton>("cmdAddLabel");
    QSignalSpy clicks(add, &QPushButton::clicked);
    QSignalSpy deletes(w.control<QPushButton>("cmdDeleteLabel"), &QPushButton::clicked);
    const Clock::time_point start = Clock::now();
    Clock::time_point shownAt{};
    std::size_t labelsAtEscape = 0;
    int calls = 0;
    w.during = [&] {
        // Early in the run, before any progress window: a click, and a key to the window.
        if (++calls == 20) {
            QTest::mouseClick(w.control("cmdDeleteLabel"), Qt::LeftButton);
            QTest::keyClick(w.window.get(), Qt::Key_Space);
            QCoreApplication::postEvent(w.control("cmdHelp"),
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Space, {}));
        }
        window::qt::ProgressWindow* progress = w.progress();
        if (!progress || shownAt != Clock::time_point{})
            return;
        shownAt = Clock::now();
        EXPECT_EQ(progress->windowTitle(), "Tagwright");
        EXPECT_TRUE(progress->isModal());
        EXPECT_EQ(progress->parentWidget(), w.window.get());
        EXPECT_FALSE(progress->windowFlags().testFlag(Qt::WindowCloseButtonHint));
        auto* bar = progress->findChild<QProgressBar*>("barProgress");
        EXPECT_EQ(bar->maximum(), 80);
        EXPECT_TRUE(
            progress->findChild<QLabel*>("lblProgress")->text().startsWith("正在标注… 元器件 "));
        EXPECT_EQ(progress->cancelButton()->text(), "取消");
        // The window is blocked by the modal progress window too: a click there does nothing.
        QTest::mouseClick(add, Qt::LeftButton);
        // Escape, posted: it takes a turn of the event loop to arrive.
        labelsAtEscape = w.design->liveTextCount();
        QCoreApplication::postEvent(progress, new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
    };
    add->click();
    w.during = nullptr;
    QApplication::processEvents();

    EXPECT_GE(shownAt - start, 500ms);
    EXPECT_EQ(clicks.count(), 1) << "only the click that started the run";
    EXPECT_EQ(deletes.count(), 0) << "the click never reached the button";
    const std::size_t labels = w.design->liveTextCount();
    EXPECT_GE(labels, labelsAtEscape);
    EXPECT_LT(labels, labelsAtEscape + 10) << "stopped soon after the Escape";
    EXPECT_EQ(w.log->count(u"AddText"), labels) << "nothing else ran, nothing was deleted";
    EXPECT_TRUE(w.messages->empty());
    EXPECT_EQ(w.progress(), nullptr);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    EXPECT_EQ(w.programEnds, 0);
}

// The close box during a run leaves the window where it is; afterwards it ends the program.
TEST(QtLongRun, CloseDuringARunIsRefused) {
    SlowWindow w({.components = 30, .pinsPerComponent = 3});
    ASSERT_TRUE(w.form().Form_Load());
    w.window->show();
    bool closed = true;
    w.during = [&] { closed = closed && w.window->close(); };
    w.click("cmdAddLabel");
    EXPECT_FALSE(closed);
    EXPECT_TRUE(w.window->isVisible());
    EXPECT_EQ(w.programEnds, 0);
    EXPECT_TRUE(w.window->close());
    EXPECT_EQ(w.programEnds, 1);
}

// At start-up the progress window stands alone, over the whole program, with no cancel; a
// fast run shows none.
TEST(QtLongRun, AtLoadAloneAndFastRunsWithout) {
    SlowWindow w({.components = 150, .pinsPerComponent = 1, .nets = 300}, 2000us);
    bool seen = false;
    w.during = [&] {
        if (auto* progress = w.progress(); progress && !seen) {
            seen = true;
            EXPECT_EQ(progress->parentWidget(), nullptr);
            EXPECT_EQ(progress->windowModality(), Qt::ApplicationModal);
            EXPECT_FALSE(progress->cancelButton()->isVisible());
            EXPECT_FALSE(w.window->isVisible());
            QCoreApplication::postEvent(progress,
                                        new QKeyEvent(QEvent::KeyPress, Qt::Key_Escape, {}));
        }
    };
    ASSERT_TRUE(w.form().Form_Load());
    EXPECT_TRUE(seen);
    EXPECT_EQ(w.control<QListWidget>("lstNetList")->count(), 300) << "Escape did not stop it";
    EXPECT_EQ(w.progress(), nullptr);

    SlowWindow fast({.components = 20, .pinsPerComponent = 3}, 0us);
    bool fastSeen = false;
    fast.during = [&] { fastSeen |= fast.progress() != nullptr; };
    ASSERT_TRUE(fast.form().Form_Load());
    fast.click("cmdAddLabel");
    EXPECT_FALSE(fastSeen);
    EXPECT_GT(fast.log->count(u"AddText"), 50u);
}

} // namespace
