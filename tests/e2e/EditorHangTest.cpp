// The window against a stand-in editor that locks up mid-run: the user hears of it once, as
// the editor not answering (462), and is never left with a frozen window.
#include "EditorSession.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <gtest/gtest.h>

using namespace tagwright;
using tagwright::testing::contentOf;

namespace {

using EditorHangTest = test::EditorSessionTest;

// The editor locks up halfway through a run, and the link waits its whole limit, as a user's
// does. Once that is up the user hears of it once; the window takes clicks again, and lists
// the design of an editor started afresh.
TEST_F(EditorHangTest, ARunTheEditorHangsInIsReportedOnceAndTheWindowStays) {
    // The same calls in memory tell where halfway through the run is.
    ASSERT_TRUE(tagwright::testing::copyDemoBoard(path));
    test::WindowHarness inMemory(contentOf(path).toStdString());
    ASSERT_TRUE(inMemory.form().Form_Load());
    const std::size_t startUp = inMemory.log->calls.size();
    test::netNameLabelsWithVias(inMemory);
    const std::size_t run = inMemory.log->calls.size() - startUp;
    ASSERT_GT(run, 100u);

    startSession({QStringLiteral("--hang-after"), QString::number(startUp + run / 2)});
    QElapsedTimer timer;
    timer.start();
    test::netNameLabelsWithVias(*window);
    EXPECT_LT(timer.elapsed(), 30'000);
    const test::MessageLog shown = window->takeMessages();
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_TRUE(shown[0].text.startsWith("运行时错误 '462':")) << shown[0].text.toStdString();
    EXPECT_TRUE(shown[0].text.contains("没有响应")) << shown[0].text.toStdString();
    EXPECT_EQ(window->programEnds, 0);

    // The next click is answered at once: the link knows the editor is hung.
    timer.restart();
    window->click("cmdAddLabel");
    EXPECT_LT(timer.elapsed(), 2000);
    const test::MessageLog again = window->takeMessages();
    ASSERT_EQ(again.size(), 1u);
    EXPECT_TRUE(again[0].text.contains("没有响应")) << again[0].text.toStdString();

    editor->sendSignal(SIGTERM);
    editor->waitForExit();
    EXPECT_EQ(editor->processId(), 0) << "the hung editor did not end";
    EXPECT_EQ(contentOf(path), contentOf(DEMO_BOARD)) << "the hung editor saved";

    startEditor();
    window->click("cmdUpdateList");
    EXPECT_TRUE(window->takeMessages().empty());
    EXPECT_EQ(window->control<QListWidget>("lstCompList")->count(), 31);
    test::netNameLabelsWithVias(*window);
    EXPECT_TRUE(window->takeMessages().empty());
    EXPECT_EQ(window->programEnds, 0);
}

} // namespace
