// The link against a stand-in editor that stops answering: a run that watches hears about the
// wait from the calling thread, and can end it at once.
#include "host/EditorWait.h"
#include "host/Failure.h"
#include "host/HostRoles.h"
#include "host/dbus/BusClient.h"
#include "host/dbus/Protocol.h"
#include "support/BusHarness.h"
#include "support/FailureOf.h"

#include <QElapsedTimer>
#include <QTemporaryDir>
#include <QThread>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <functional>
#include <optional>
#include <vector>

using namespace std::chrono_literals;
using namespace tagwright::host;
using std::chrono::milliseconds;
using tagwright::testing::StandinProcess;

namespace {

constexpr milliseconds linkTimeout = 1500ms;

// Stops waiting once the call has waited `patience`; never, without one.
class RecordingWatcher : public EditorWaitWatcher {
  public:
    struct Heard {
        EditorWaitReason reason;
        milliseconds waited, left;
        QThread* thread;
    };

    explicit RecordingWatcher(std::optional<milliseconds> patience) : patience_(patience) {}

    bool editorWaiting(EditorWaitReason reason, milliseconds waited, milliseconds left) override {
        heard.push_back({reason, waited, left, QThread::currentThread()});
        return !patience_ || waited < *patience_;
    }

    std::vector<Heard> heard;

  private:
    std::optional<milliseconds> patience_;
};

ObjectRef attach() {
    return dbus::connectToEditor(QDBusConnection::sessionBus(), QLatin1String(dbus::serviceName),
                                 linkTimeout);
}

class EditorWaitTest : public ::testing::Test {
  protected:
    EditorWaitTest() { tagwright::testing::copyDemoBoard(board); }

    QTemporaryDir dir;
    QString board = dir.filePath("board.json");
};

// However the editor stops answering, from its first call (stopped outright, so not even the
// bus library answers the attach) or after a few, the run hears of it every few dozen
// milliseconds from its own thread; its "stop" ends the call at once, and the link's limit
// does when nobody stops it. Either way the link is dead from then on, and says so at once.
TEST_F(EditorWaitTest, AWatchingRunHearsOfTheHangAndCanEndIt) {
    struct Case {
        const char* name;
        bool stopped; // SIGSTOP, else the stand-in hangs on its third call
        std::optional<milliseconds> patience;
    };
    const Case cases[] = {
        {"hung, given up", false, 300ms},
        {"hung, up to the limit", false, std::nullopt},
        {"stopped, given up", true, 300ms},
        {"stopped, up to the limit", true, std::nullopt},
    };
    for (const auto& [name, stopped, patience] : cases) {
        SCOPED_TRACE(name);
        StandinProcess editor({board, QStringLiteral("--hang-after"), QStringLiteral("2")});
        ASSERT_TRUE(editor.waitUntilServing()) << editor.errors().toStdString();
        if (stopped) {
            ASSERT_TRUE(editor.stop());
        }

        RecordingWatcher watcher(patience);
        ObjectRef application;
        QElapsedTimer timer;
        timer.start();
        const auto failure = tagwright::test::failureOf([&] {
            const EditorWaitScope watching(watcher);
            application = attach();
            HostApplication(application).activeDocument().unit();
            HostApplication(application).activeDocument();
        });
        const auto took = milliseconds(timer.elapsed());
        ASSERT_TRUE(failure);
        EXPECT_EQ(failure->number(), 462);
        EXPECT_NE(failure->description().find(u"没有响应"), std::u16string::npos);
        EXPECT_EQ(application == nullptr, stopped) << "the attach is all a stopped editor gets";
        if (patience) {
            EXPECT_LT(took, *patience + 200ms) << "it went on waiting after the run stopped";
        } else {
            EXPECT_GE(took, linkTimeout * 8 / 10);
            EXPECT_LT(took, linkTimeout + 500ms);
        }

        ASSERT_FALSE(watcher.heard.empty());
        const milliseconds lastWaited = watcher.heard.back().waited;
        // Every 25 ms, give or take what a loaded machine does to timers.
        EXPECT_GE(watcher.heard.size(), static_cast<std::size_t>(lastWaited / 60ms));
        EXPECT_LE(watcher.heard.size(), static_cast<std::size_t>(lastWaited / 20ms) + 1);
        milliseconds before{0};
        for (const auto& heard : watcher.heard) {
            EXPECT_EQ(heard.reason, EditorWaitReason::NotAnswering);
            EXPECT_EQ(heard.thread, QThread::currentThread());
            EXPECT_GE(heard.waited, before);
            EXPECT_EQ(heard.left, std::max(linkTimeout - heard.waited, 0ms));
            before = heard.waited;
        }

        if (application) {
            const std::size_t heardBefore = watcher.heard.size();
            const EditorWaitScope watching(watcher);
            timer.restart();
            for (const auto& later : std::vector<std::function<void()>>{
                     [&] { HostApplication(application).activeDocument(); },
                     [&] { application->enumerate(); }}) {
                const auto again = tagwright::test::failureOf(later);
                ASSERT_TRUE(again);
                EXPECT_EQ(again->number(), 462);
                EXPECT_EQ(again->description(), failure->description());
            }
            EXPECT_LT(timer.elapsed(), 100) << "later calls waited for the editor again";
            EXPECT_EQ(watcher.heard.size(), heardBefore);
        }
        if (stopped) {
            editor.sendSignal(SIGCONT);
        }
    }
}

// Calls the editor answers in time are none of the run's business.
TEST_F(EditorWaitTest, AnsweredCallsAreNotReported) {
    StandinProcess editor({board});
    ASSERT_TRUE(editor.waitUntilServing()) << editor.errors().toStdString();
    RecordingWatcher watcher(0ms);
    const EditorWaitScope watching(watcher);
    const HostDocument document = HostApplication(attach()).activeDocument();
    std::size_t components = 0;
    document.components().forEach([&](const ObjectRef&) { ++components; });
    EXPECT_EQ(components, 31u);
    EXPECT_EQ(document.unit(), 2);
    EXPECT_TRUE(watcher.heard.empty());
}

} // namespace
