// The native progress window and the blocked window during long runs, over a host that makes
// every call wait: what the window is and who owns it, the bar, cancelling with Escape, and
// that clicks on the window meanwhile start nothing. When it comes and what it says are the
// form's, tested there.
#include "WindowHarness.h"

#include "host/CallDelay.h"
#include "host/CallRecorder.h"
#include "host/memory/BoardGenerator.h"
#include "window/win32/ProgressWindow.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <chrono>
#include <functional>
#include <string>

using namespace tagwright;
using namespace std::chrono_literals;
using window::win32::ControlId;

namespace {

using Clock = std::chrono::steady_clock;

// The window over a generated board whose host waits `delay` at each call; `during` runs at
// every host call, inside the handler, as the run goes.
struct SlowWindow {
    explicit SlowWindow(std::chrono::microseconds delay, host::memory::BoardShape shape)
        : design(std::make_shared<host::memory::Design>(host::memory::generateBoard(shape))),
          form(controls, [this, delay] {
              return host::HostApplication(host::recordCalls(
                  host::delayCalls(host::memory::makeApplication(design), delay), log));
          }) {
        controls.connect(form);
        log->beforeCall = [this](const host::RecordedCall&) {
            if (during)
                during();
        };
    }

    HWND progress() const { return FindWindowW(window::win32::progressClassName, L"Tagwright"); }
    HWND control(ControlId id) const { return controls.control(id); }

    std::shared_ptr<host::memory::Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    std::function<void()> during;
    window::win32::Win32Window controls;
    window::frmTagwright form;
};

std::wstring textOf(HWND window) {
    return test::textOf(window);
}

// Handles what is left in the queue, as the program's loop would once the run is over.
void pump(HWND window) {
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message != WM_QUIT && !IsDialogMessageW(window, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
}

// Net names with vias over 60 components of 2 pins and 100 vias, a millisecond a call: both
// stages take long enough to be seen. Escape once the vias are reached; meanwhile clicks on
// every button of the window and its close box, posted as another program would post them.
TEST(Win32LongRun, ProgressWindowOverTheDisabledWindowCancelledWithEscape) {
    SlowWindow w(1000us, {.components = 60, .pinsPerComponent = 2, .nets = 20, .vias = 100});
    ASSERT_TRUE(w.form.Form_Load());
    w.controls.show();
    SendMessageW(w.control(ControlId::optLabelType_0), BM_CLICK, 0, 0);
    SendMessageW(w.control(ControlId::chkVias), BM_CLICK, 0, 0);
    ASSERT_EQ(w.form.labelTypeIndex(), 0);

    const HWND main = w.controls.handle();
    HWND progress = nullptr;
    Clock::time_point start = Clock::now(), shownAt{};
    bool sawComponents = false, sawVias = false, disabledAtEveryCall = true, clicked = false;
    std::size_t labelsAtEscape = 0;
    w.during = [&] {
        disabledAtEveryCall &= !IsWindowEnabled(main);
        if (!progress && (progress = w.progress()) != nullptr)
            shownAt = Clock::now();
        if (!progress || !IsWindowVisible(progress) || labelsAtEscape != 0)
            return;
        const HWND bar = GetDlgItem(progress, window::win32::barProgress);
        const std::wstring text = textOf(GetDlgItem(progress, window::win32::lblProgress));
        const bool marquee = (GetWindowLongPtrW(bar, GWL_STYLE) & PBS_MARQUEE) != 0;
        if (text.starts_with(L"正在标注… 元器件 ")) {
            sawComponents = true;
            EXPECT_TRUE(text.ends_with(L" / 60")) << text;
            EXPECT_EQ(SendMessageW(bar, PBM_GETRANGE, FALSE, 0), 60);
            EXPECT_FALSE(marquee);
        } else if (text.starts_with(L"正在标注过孔… 已放置 ")) {
            sawVias = true;
            EXPECT_TRUE(marquee) << "a busy bar: the number of vias is not known";
        }
        if (!clicked) {
            clicked = true;
            // Posted clicks are no input the system could hold back: they reach the buttons at
            // the next turn of the loop, and the form refuses them.
            for (const ControlId button :
                 {ControlId::cmdAddLabel, ControlId::cmdDeleteLabel, ControlId::cmdUpdateList,
                  ControlId::cmdHelp, ControlId::cmdClose, ControlId::cmdLocateComp})
                PostMessageW(w.control(button), BM_CLICK, 0, 0);
            PostMessageW(main, WM_CLOSE, 0, 0);
        }
        if (sawVias) {
            labelsAtEscape = w.design->liveTextCount();
            PostMessageW(GetDlgItem(progress, IDCANCEL), WM_KEYDOWN, VK_ESCAPE, 0);
        }
    };
    SendMessageW(w.control(ControlId::cmdAddLabel), BM_CLICK, 0, 0);
    const Clock::time_point end = Clock::now();
    w.during = nullptr;

    ASSERT_NE(progress, nullptr);
    EXPECT_GE(shownAt - start, 500ms);
    EXPECT_TRUE(sawComponents && sawVias);
    EXPECT_TRUE(disabledAtEveryCall);
    EXPECT_LT(end - shownAt, 10s);
    // Stopped soon after the Escape, with a few more labels at most, and nothing else ran.
    const std::size_t labels = w.design->liveTextCount();
    EXPECT_GE(labels, labelsAtEscape);
    EXPECT_LT(labels, labelsAtEscape + 10);
    EXPECT_EQ(w.log->count(u"AddText"), labels);
    EXPECT_FALSE(w.controls.ended()) << "the close during the run was refused";
    EXPECT_FALSE(IsWindow(progress));
    EXPECT_TRUE(IsWindowEnabled(main));
    EXPECT_EQ(GetActiveWindow(), main);
    pump(main);
    EXPECT_EQ(w.log->count(u"AddText"), labels) << "a click of the run started afterwards";
}

// The window's look while it is up: its own, titled, owned by the window, no close box, the
// cancel button where the run can be cancelled and only there.
TEST(Win32LongRun, WindowOwnedTitledWithoutCloseBox) {
    for (const bool atLoad : {true, false}) {
        SCOPED_TRACE(atLoad ? "at load" : "deleting");
        SlowWindow w(atLoad ? 5000us : 2000us,
                     {.components = 100, .pinsPerComponent = 1, .nets = 100, .texts = 400});
        bool checked = false;
        const auto check = [&] {
            const HWND progress = w.progress();
            if (!progress || checked)
                return;
            checked = true;
            EXPECT_EQ(textOf(progress), L"Tagwright");
            const LONG_PTR style = GetWindowLongPtrW(progress, GWL_STYLE);
            EXPECT_TRUE((style & WS_CAPTION) == WS_CAPTION && !(style & WS_SYSMENU));
            // Before the window is shown the progress window stands alone, with no cancel.
            EXPECT_EQ(GetWindow(progress, GW_OWNER), atLoad ? nullptr : w.controls.handle());
            const HWND cancel = GetDlgItem(progress, IDCANCEL);
            EXPECT_EQ(IsWindowVisible(cancel) != FALSE, !atLoad);
            if (!atLoad) {
                EXPECT_EQ(textOf(cancel), L"取消");
            }
            EXPECT_FALSE(IsWindowVisible(w.controls.handle()) && atLoad);
            const std::wstring text = textOf(GetDlgItem(progress, window::win32::lblProgress));
            EXPECT_TRUE(
                text.starts_with(atLoad ? L"正在读取列表… 元器件 " : L"正在删除标注… 已删除 "))
                << text;
            // Escape does nothing where there is no cancel; the load goes to its end.
            if (atLoad)
                PostMessageW(progress, WM_KEYDOWN, VK_ESCAPE, 0);
            else
                PostMessageW(cancel, BM_CLICK, 0, 0);
        };
        if (atLoad)
            w.during = check;
        ASSERT_TRUE(w.form.Form_Load());
        w.controls.show();
        if (!atLoad) {
            w.during = check;
            SendMessageW(w.control(ControlId::cmdDeleteLabel), BM_CLICK, 0, 0);
        }
        EXPECT_TRUE(checked);
        EXPECT_EQ(w.controls.listCount(window::ListBox::lstCompList), 100);
        // Cancelled, the deleting stopped half way.
        EXPECT_EQ(w.design->liveTextCount() == 400, atLoad);
        EXPECT_GT(w.design->liveTextCount(), 0u);
        EXPECT_EQ(w.progress(), nullptr);
    }
}

// The pin-number message comes up in the middle of a run; once it is dismissed the window is
// still without input until the run ends.
TEST(Win32LongRun, AMessageDuringARunLeavesTheWindowWithoutInput) {
    SlowWindow w(1000us, {.components = 40, .pinsPerComponent = 3});
    w.design->components[30].pins[0].name.clear();
    ASSERT_TRUE(w.form.Form_Load());
    w.controls.show();
    const HWND main = w.controls.handle();
    // Dismisses the box from within its own loop, as its user would.
    const UINT_PTR timer = SetTimer(nullptr, 0, 50, [](HWND, UINT, UINT_PTR, DWORD) {
        if (HWND box = FindWindowW(L"#32770", L"Tagwright"))
            PostMessageW(box, WM_COMMAND, IDOK, 0);
    });
    bool enabledDuringRun = false;
    w.during = [&] { enabledDuringRun |= IsWindowEnabled(main) != FALSE; };
    SendMessageW(w.control(ControlId::cmdAddLabel), BM_CLICK, 0, 0);
    KillTimer(nullptr, timer);
    EXPECT_EQ(w.log->count(u"AddText"), 114u) << "the run went to its end";
    EXPECT_FALSE(enabledDuringRun);
    EXPECT_TRUE(IsWindowEnabled(main));
}

// A run that takes no time shows no window, and the window comes back with its focus.
TEST(Win32LongRun, FastRunShowsNothingAndKeepsTheFocus) {
    SlowWindow w(0us, {.components = 50, .pinsPerComponent = 4});
    ASSERT_TRUE(w.form.Form_Load());
    w.controls.show();
    bool progressSeen = false;
    w.during = [&] { progressSeen |= w.progress() != nullptr; };
    const HWND add = w.control(ControlId::cmdAddLabel);
    SetFocus(add);
    SendMessageW(add, BM_CLICK, 0, 0);
    EXPECT_FALSE(progressSeen);
    EXPECT_EQ(w.design->liveTextCount(), 190u);
    EXPECT_TRUE(IsWindowEnabled(w.controls.handle()));
    EXPECT_EQ(GetFocus(), add);
}

} // namespace
