// The native progress window and the blocked window during long runs, over a host that makes
// every call wait: what the window is and who owns it, the bar, cancelling with Escape, and
// that clicks on the window meanwhile start nothing. When it comes and what it says are the
// form's, tested there.
#include "WindowHarness.h"

#include "host/memory/BoardGenerator.h"
#include "support/CallRecorder.h"
#include "window/win32/ProgressWindow.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <string>

using namespace tagwright;
using namespace std::chrono_literals;
using host::memory::generateBoard;
using test::textOf;
using window::ControlId;

namespace {

using Board = host::memory::BoardShape;

HWND progressWindow() {
    return FindWindowW(window::win32::progressClassName, L"Tagwright");
}

// Net names with vias over 60 components of 2 pins and 100 vias, a millisecond a call: both
// stages last long enough to be seen. Meanwhile clicks on every button and another option,
// posted as another program would post them; Escape once the vias are reached.
TEST(Win32LongRun, ProgressWindowOverTheDisabledWindowCancelledWithEscape) {
    test::NativeWindow w(
        generateBoard(Board{.components = 60, .pinsPerComponent = 2, .nets = 20, .vias = 100}),
        1000us);
    ASSERT_TRUE(w.loadAndShow());
    w.click(ControlId::optLabelType_0);
    w.click(ControlId::chkVias);
    const HWND main = w.controls.handle();
    HWND progress = nullptr;
    bool sawComponents = false, sawVias = false, disabledAtEveryCall = true;
    std::size_t labelsAtEscape = 0;
    w.during = [&] {
        disabledAtEveryCall &= !IsWindowEnabled(main);
        if (!progress && (progress = progressWindow()) != nullptr) {
            // Its own window, titled, owned by the window, no close box; clicks meanwhile
            // reach the buttons at the next turn of the loop, and the form refuses them.
            EXPECT_EQ(GetWindow(progress, GW_OWNER), main);
            EXPECT_FALSE(GetWindowLongPtrW(progress, GWL_STYLE) & WS_SYSMENU);
            EXPECT_EQ(textOf(GetDlgItem(progress, IDCANCEL)), L"取消");
            for (const ControlId button :
                 {ControlId::cmdAddLabel, ControlId::cmdDeleteLabel, ControlId::cmdUpdateList,
                  ControlId::cmdHelp, ControlId::cmdClose, ControlId::cmdLocateComp,
                  ControlId::optLabelType_1}) {
                PostMessageW(w.controls.control(button), BM_CLICK, 0, 0);
            }
        }
        if (!progress || labelsAtEscape != 0) {
            return;
        }
        const HWND bar = GetDlgItem(progress, window::win32::barProgress);
        const std::wstring text = textOf(GetDlgItem(progress, window::win32::lblProgress));
        const bool marquee = (GetWindowLongPtrW(bar, GWL_STYLE) & PBS_MARQUEE) != 0;
        if (text.starts_with(L"正在标注… 元器件 ")) {
            sawComponents = true;
            EXPECT_EQ(std::pair(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), marquee),
                      std::pair(LRESULT(60), false));
        } else if (text.starts_with(L"正在标注过孔… 已放置 ")) {
            sawVias = true;
            EXPECT_TRUE(marquee) << "a busy bar: the number of vias is not known";
            labelsAtEscape = w.design->liveTextCount();
            PostMessageW(GetDlgItem(progress, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
        }
    };
    w.click(ControlId::cmdAddLabel);
    w.during = nullptr;

    EXPECT_TRUE(sawComponents && sawVias && disabledAtEveryCall);
    // Stopped soon after the Escape, with a few more labels at most, and nothing else ran.
    const std::size_t labels = w.design->liveTextCount();
    EXPECT_TRUE(labels >= labelsAtEscape && labels < labelsAtEscape + 10) << labels;
    EXPECT_EQ(w.log->count(u"AddText"), labels);
    EXPECT_FALSE(w.controls.ended()) << "the close button during the run was refused";
    EXPECT_EQ(SendMessageW(w.controls.control(ControlId::optLabelType_0), BM_GETCHECK, 0, 0),
              BST_CHECKED)
        << "the option clicked during the run was put back";
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(GetActiveWindow(), main);
}

// Before the window is shown the progress window stands alone and offers its cancel button;
// Escape there ends the start-up without a word, and the window is never shown.
TEST(Win32LongRun, AtLoadAloneAndCancelledWithEscape) {
    test::NativeWindow w(
        generateBoard(Board{.components = 100, .pinsPerComponent = 1, .nets = 100}), 5000us);
    bool seen = false;
    w.during = [&] {
        const HWND progress = progressWindow();
        if (!progress || seen) {
            return;
        }
        seen = true;
        EXPECT_EQ(GetWindow(progress, GW_OWNER), nullptr);
        EXPECT_TRUE(IsWindowVisible(GetDlgItem(progress, IDCANCEL)));
        EXPECT_TRUE(textOf(GetDlgItem(progress, window::win32::lblProgress))
                        .starts_with(L"正在读取列表… 元器件 "));
        PostMessageW(progress, WM_KEYDOWN, VK_ESCAPE, 0);
    };
    EXPECT_FALSE(w.loadAndShow());
    EXPECT_TRUE(seen);
    EXPECT_LT(w.controls.listCount(window::ListBox::lstNetList), 100) << "stopped before the end";
    EXPECT_TRUE(w.controls.ended());
    EXPECT_FALSE(IsWindowVisible(w.controls.handle()));
    // The program's loop would end here; the next test's must not.
    MSG quit;
    EXPECT_TRUE(PeekMessageW(&quit, nullptr, WM_QUIT, WM_QUIT, PM_REMOVE));
}

// The pin-number message comes up in the middle of a run; once it is dismissed the window is
// still without input until the run ends.
TEST(Win32LongRun, AMessageDuringARunLeavesTheWindowWithoutInput) {
    test::NativeWindow w(generateBoard(Board{.components = 40, .pinsPerComponent = 3}), 1000us);
    w.design->components[30].pins[0].name.clear();
    ASSERT_TRUE(w.loadAndShow());
    const HWND main = w.controls.handle();
    // Dismisses the box from within its own loop, as its user would.
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        if (HWND box = FindWindowW(L"#32770", L"Tagwright")) {
            PostMessageW(box, WM_COMMAND, IDOK, 0);
        }
    });
    bool enabledDuringRun = false;
    w.during = [&] { enabledDuringRun |= IsWindowEnabled(main) != FALSE; };
    w.click(ControlId::cmdAddLabel);
    KillTimer(nullptr, timer);
    EXPECT_EQ(w.log->count(u"AddText"), 114u) << "the run went to its end";
    EXPECT_FALSE(enabledDuringRun);
    EXPECT_TRUE(IsWindowEnabled(main));
}

// A run that takes no time shows no window, and the window comes back with its focus.
TEST(Win32LongRun, FastRunShowsNothingAndKeepsTheFocus) {
    test::NativeWindow w(generateBoard(Board{.components = 50, .pinsPerComponent = 4}));
    ASSERT_TRUE(w.loadAndShow());
    bool progressSeen = false;
    w.during = [&] { progressSeen |= progressWindow() != nullptr; };
    SetFocus(w.controls.control(ControlId::cmdAddLabel));
    w.click(ControlId::cmdAddLabel);
    EXPECT_FALSE(progressSeen);
    EXPECT_EQ(w.design->liveTextCount(), 190u);
    EXPECT_EQ(GetFocus(), w.controls.control(ControlId::cmdAddLabel));
}

} // namespace
