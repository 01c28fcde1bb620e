#pragma once

#include "window/win32/DialogFont.h"
#include "window/win32/Handles.h"

#include <windows.h>

#include <functional>
#include <memory>
#include <string>

namespace tagwright::window::win32 {

// The progress window's class name and the ids of its controls, for other programs; its
// cancel button is IDCANCEL, so Escape presses it through the dialog manager.
inline constexpr wchar_t progressClassName[] = L"TagwrightProgress";
enum ProgressControlId : int { lblProgress = 200, barProgress };

// The progress window of a long run: a line of text, a bar (a moving busy bar where the count
// is unknown), and a "取消" button where the run can be cancelled. Titled "Tagwright", with no
// close box: closing it from the keyboard (Alt+F4) cancels like the button and never closes
// it, as only the run ends it. Shown and activated at once, centred over `owner`.
class ProgressWindow {
  public:
    ProgressWindow(HWND owner, UINT dpi, bool cancellable, std::function<void()> cancel);
    ProgressWindow(const ProgressWindow&) = delete;
    ProgressWindow& operator=(const ProgressWindow&) = delete;

    HWND handle() const { return window_.get(); }
    // A busy bar when `maximum` is 0.
    void setProgress(const std::u16string& text, int value, int maximum);

  private:
    static LRESULT CALLBACK windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam);
    void layOut(HWND owner, UINT dpi);

    // Declared before the window, which uses them until it is gone.
    std::unique_ptr<DialogFont> font_;
    bool cancellable_;
    std::function<void()> onCancel_;
    bool busy_ = false;
    UniqueWindow window_;
    HWND text_ = nullptr;
    HWND bar_ = nullptr;
    HWND cancel_ = nullptr;
};

} // namespace tagwright::window::win32
