#pragma once

#include "window/WindowDescription.h"

#include <windows.h>

#include <string>
#include <vector>

namespace tagwright::test {

// A message box the program showed, as another program reads it from the screen.
struct ShownMessage {
    std::wstring text, title;
    bool ownedByWindow = false; // owned by the program's window (not standing alone)
    bool okOnly = false;        // one button, OK
    bool withIcon = false;
    friend bool operator==(const ShownMessage&, const ShownMessage&) = default;
};
void PrintTo(const ShownMessage& message, std::ostream* out);

// tagwright.exe, started from beside this program and driven the way a user would, through
// window messages from this process: the window found by its caption, its controls by their
// ids, message boxes read by their text and dismissed with OK.
class ProgramUnderTest {
  public:
    ProgramUnderTest();
    ~ProgramUnderTest();
    ProgramUnderTest(const ProgramUnderTest&) = delete;
    ProgramUnderTest& operator=(const ProgramUnderTest&) = delete;

    // Waits until the window is on screen; false when the program ended (or did not show it
    // in time). Message boxes shown meanwhile are read and dismissed (see takeMessages).
    bool waitForWindow(DWORD timeoutMs = 20000);
    HWND window() const { return window_; }
    HWND control(window::ControlId id) const;
    bool windowShown() const { return IsWindow(window_) && IsWindowVisible(window_); }

    // A click on a button, option or check box. Returns once its handler has returned, with
    // the message boxes it showed, each dismissed with OK. With `cancelWhenProgressSays`, the
    // run's progress window is cancelled once its text holds those words.
    std::vector<ShownMessage> click(window::ControlId id,
                                    const std::wstring& cancelWhenProgressSays = {});
    void setText(window::ControlId id, const std::wstring& text);
    // Picks entry `index` of a combo box.
    void pick(window::ControlId combo, int index);

    // The progress window of a run or of the start-up, null while none is up.
    HWND progressWindow() const;
    // Its line of text; empty while none is up.
    std::wstring progressText() const;
    // Presses its 取消, as a user does.
    void cancelProgress() const;

    // Message boxes read while waiting, outside a click.
    std::vector<ShownMessage> takeMessages();
    // The exit code once the program has ended, -1 if it is still running after `timeoutMs`.
    int waitForExit(DWORD timeoutMs = 15000);
    DWORD processId() const { return process_.dwProcessId; }

  private:
    // Reads, dismisses and returns a message box of the program if one is up.
    bool dismissMessage(std::vector<ShownMessage>& into);

    PROCESS_INFORMATION process_{};
    HWND window_ = nullptr;
    std::vector<ShownMessage> messages_;
};

// The folder of this test program, where the programs it starts are built.
std::wstring besideThisProgram(const wchar_t* name);

} // namespace tagwright::test
