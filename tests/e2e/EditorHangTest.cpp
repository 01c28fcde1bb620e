// The window against a stand-in editor that locks up, mid-run or from the start: the user
// hears of it once, as the editor not answering (462), and is never left with a frozen window.
#include "host/Attach.h"
#include "host/dbus/BusClient.h"
#include "host/dbus/Protocol.h"
#include "support/BusHarness.h"
#include "window/qt/WindowHarness.h"

#include <QElapsedTimer>
#include <QFile>
#include <QListWidget>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <optional>

using namespace tagwright;
using namespace std::chrono_literals;
using tagwright::testing::contentOf;
using tagwright::testing::copyDemoBoard;
using tagwright::testing::StandinProcess;

namespace {

void netNameLabelsWithVias(const test::WindowUnderTest& window) {
    window.click("optLabelType_0");
    window.tick("chkVias");
    window.click("cmdAddLabel");
}

// Passes every call on, and keeps the failure one ended with: what the window was told.
class FailureWitness : public host::HostObject {
  public:
    FailureWitness(host::ObjectRef target, std::optional<host::Failure>& told)
        : target_(std::move(target)), told_(told) {}

    host::Value invoke(std::u16string_view member, host::CallKind kind,
                       std::span<const host::Value> args) override {
        try {
            return target_->invoke(member, kind, args);
        } catch (const host::Failure& failure) {
            told_ = failure;
            throw;
        }
    }
    std::unique_ptr<host::HostEnumerator> enumerate() override { return target_->enumerate(); }

  private:
    host::ObjectRef target_;
    std::optional<host::Failure>& told_;
};

class EditorHangTest : public ::testing::Test {
  protected:
    EditorHangTest() { copyDemoBoard(path); }

    QTemporaryDir dir;
    QString path = dir.filePath("board.json");
};

// The editor locks up halfway through a run, and the link waits its whole limit, as a user's
// does. Once that is up the user hears of it once; the window takes clicks again, and lists
// the design of an editor started afresh.
TEST_F(EditorHangTest, ARunTheEditorHangsInIsReportedOnceAndTheWindowStays) {
    // The same calls in memory tell where halfway through the run is.
    test::WindowHarness inMemory(contentOf(path).toStdString());
    ASSERT_TRUE(inMemory.form().Form_Load());
    const std::size_t startUp = inMemory.log->calls.size();
    netNameLabelsWithVias(inMemory);
    const std::size_t run = inMemory.log->calls.size() - startUp;
    ASSERT_GT(run, 100u);

    auto editor = std::make_unique<StandinProcess>(
        QStringList{path, QStringLiteral("--hang-after"), QString::number(startUp + run / 2)});
    ASSERT_TRUE(editor->waitUntilServing()) << editor->errors().toStdString();
    test::WindowUnderTest window(host::attachRunningEditor);
    ASSERT_TRUE(window.form().Form_Load());

    QElapsedTimer timer;
    timer.start();
    netNameLabelsWithVias(window);
    EXPECT_LT(timer.elapsed(), 30'000);
    const test::MessageLog shown = window.takeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith("运行时错误 '462':")) << shown[0].text.toStdString();
    EXPECT_TRUE(shown[0].text.contains("没有响应")) << shown[0].text.toStdString();
    EXPECT_EQ(window.programEnds, 0);

    // The next click is answered at once: the link knows the editor is hung.
    timer.restart();
    window.click("cmdAddLabel");
    EXPECT_LT(timer.elapsed(), 2000);
    const test::MessageLog again = window.takeMessages();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_TRUE(again[0].text.contains("没有响应")) << again[0].text.toStdString();

    editor->sendSignal(SIGTERM);
    editor->waitForExit();
    EXPECT_EQ(editor->processId(), 0) << "the hung editor did not end";
    EXPECT_EQ(contentOf(path), contentOf(DEMO_BOARD)) << "the hung editor saved";

    editor = std::make_unique<StandinProcess>(QStringList{path});
    ASSERT_TRUE(editor->waitUntilServing()) << editor->errors().toStdString();
    window.click("cmdUpdateList");
    EXPECT_TRUE(window.takeMessages().empty());
    EXPECT_EQ(window.control<QListWidget>("lstCompList")->count(), 31);
    netNameLabelsWithVias(window);
    EXPECT_TRUE(window.takeMessages().empty());
    EXPECT_EQ(window.programEnds, 0);
}

// An editor that hangs before the lists are filled ends the start-up with the editor named as
// not answering, not as having no design open; it never waits 25 s per call.
TEST_F(EditorHangTest, AStartUpAgainstAHungEditorEndsWithItsFailure) {
    const std::pair<const char*, bool> cases[] = {
        {"stopped: even the attach goes unanswered", true},
        {"hung from its first call", false},
    };
    for (const auto& [name, stopped] : cases) {
        SCOPED_TRACE(name);
        StandinProcess editor(
            stopped ? QStringList{path}
                    : QStringList{path, QStringLiteral("--hang-after"), QStringLiteral("0")});
        ASSERT_TRUE(editor.waitUntilServing()) << editor.errors().toStdString();
        if (stopped) {
            ASSERT_TRUE(editor.stop());
        }
        std::optional<host::Failure> told;
        test::WindowUnderTest window([&] {
            try {
                return host::HostApplication(std::make_shared<FailureWitness>(
                    host::dbus::connectToEditor(QDBusConnection::sessionBus(),
                                                QLatin1String(host::dbus::serviceName), 2s),
                    told));
            } catch (const host::Failure& failure) {
                told = failure;
                throw;
            }
        });
        QElapsedTimer timer;
        timer.start();
        EXPECT_FALSE(window.form().Form_Load());
        EXPECT_LT(timer.elapsed(), 10'000);

        ASSERT_TRUE(told);
        EXPECT_EQ(told->number(), 462);
        EXPECT_NE(told->description().find(u"没有响应"), std::u16string::npos);
        const test::MessageLog shown = window.takeMessages();
        ASSERT_EQ(shown.size(), 1u);
        EXPECT_EQ(shown[0].title, "提示");
        // The failure's own words, not the notice to open a design.
        EXPECT_EQ(shown[0].text, QString::fromStdU16String(told->description()));
        EXPECT_EQ(window.programEnds, 1);
        if (stopped) {
            editor.sendSignal(SIGCONT);
        }
    }
}

} // namespace
