// tagwright.exe over an editor in another process that takes its time over every call: the
// program waits in COM's own loop most of the run, and neither that loop nor its own lets a
// click on the window start anything. Cancelled from the progress window, the run leaves
// the labels it placed in the editor's design.
#include "EditorProcess.h"
#include "ProgramDriver.h"

#include "host/memory/BoardGenerator.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <thread>

using namespace tagwright;
using namespace std::chrono_literals;
using window::ControlId;

namespace {

using Clock = std::chrono::steady_clock;

std::size_t labelsIn(const host::memory::Design& design) {
    std::size_t count = 0;
    for (const auto& text : design.texts)
        count += !text->deleted && text->text.starts_with(u"{") ? 1 : 0;
    return count;
}

TEST(LongRunSession, ClicksDuringARunStartNothingAndCancelKeepsThePlacedLabels) {
    if (!GetProcAddress(GetModuleHandleW(L"ntdll.dll"), "wine_get_version"))
        GTEST_SKIP() << "registers the editor's ProgID; runs under Wine only";
    // 60 components of 4 pins: 228 pin-number labels in a run that goes to its end.
    const host::memory::Design board =
        host::memory::generateBoard({.components = 60, .pinsPerComponent = 4, .nets = 40});
    test::EditorProcess editor(board, {.callDelay = 2000us});
    test::ProgramUnderTest program;
    ASSERT_TRUE(program.waitForWindow(60000));

    std::atomic<bool> done = false;
    const Clock::time_point sent = Clock::now();
    std::thread clicker([&] {
        program.click(ControlId::cmdAddLabel);
        done = true;
    });
    HWND progress = nullptr;
    Clock::time_point shownAt{}, cancelledAt{};
    Clock::duration slowestAnswer{};
    bool windowDisabled = false;
    while (!done) {
        // The window answers all along, whether the program waits in COM's loop or in its own.
        const Clock::time_point asked = Clock::now();
        DWORD_PTR result = 0;
        EXPECT_NE(
            SendMessageTimeoutW(program.window(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &result),
            0);
        slowestAnswer = std::max(slowestAnswer, Clock::now() - asked);
        if (!progress && (progress = program.progressWindow()) != nullptr) {
            shownAt = Clock::now();
            windowDisabled = !IsWindowEnabled(program.window());
            EXPECT_EQ(GetWindow(progress, GW_OWNER), program.window());
            for (const ControlId button :
                 {ControlId::cmdAddLabel, ControlId::cmdDeleteLabel, ControlId::cmdUpdateList,
                  ControlId::cmdHelp, ControlId::cmdClose, ControlId::optLabelType_0})
                PostMessageW(program.control(button), BM_CLICK, 0, 0);
            PostMessageW(program.window(), WM_CLOSE, 0, 0);
        }
        if (progress && cancelledAt == Clock::time_point{} && Clock::now() - shownAt > 1s) {
            cancelledAt = Clock::now();
            PostMessageW(GetDlgItem(progress, IDCANCEL), BM_CLICK, 0, 0);
        }
        Sleep(10);
    }
    clicker.join();
    const Clock::time_point ended = Clock::now();
    EXPECT_TRUE(program.takeMessages().empty());
    ASSERT_NE(progress, nullptr);
    EXPECT_GE(shownAt - sent, 500ms);
    EXPECT_TRUE(windowDisabled);
    EXPECT_TRUE(program.windowShown()) << "the close during the run was refused";
    EXPECT_EQ(SendMessageW(program.control(ControlId::optLabelType_1), BM_GETCHECK, 0, 0),
              BST_CHECKED)
        << "the option clicked during the run was put back";
    std::printf("progress window after %lld ms; cancelled run ended %lld ms after the click; "
                "slowest answer to a message during the run %lld ms\n",
                static_cast<long long>((shownAt - sent) / 1ms),
                static_cast<long long>((ended - cancelledAt) / 1ms),
                static_cast<long long>(slowestAnswer / 1ms));

    PostMessageW(program.window(), WM_CLOSE, 0, 0);
    EXPECT_EQ(program.waitForExit(), 0);
    const host::memory::Design saved = editor.finish();
    const std::size_t placed = labelsIn(saved);
    EXPECT_GT(placed, 0u);
    EXPECT_LT(placed, 228u) << "cancelled before the end, and no second run started";
}

} // namespace
