// The program's message loop, and the window through a long run: the busy cursor, input
// blocked while the run gives the loop its turns, and the run's progress window.
#include "window/win32/Win32Window.h"

#include "window/frmTagwright.h"

namespace tagwright::window::win32 {

int Win32Window::run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        dispatch(message);
    }
    return 0;
}

void Win32Window::dispatch(MSG& message) const {
    // Keys go to the control with the focus, so the window sees them here or not at all.
    if (message.message == WM_KEYDOWN &&
        (message.hwnd == handle() || IsChild(handle(), message.hwnd)) &&
        onKeyDown(message.hwnd, message.wParam)) {
        return;
    }
    if (!IsDialogMessageW(handle(), &message)) {
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

// The window's class cursor says whether a run works: the system shows it over the window,
// and WM_SETCURSOR over the controls.
void Win32Window::setBusy(bool busy) {
    const HCURSOR cursor = LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW);
    SetClassLongPtrW(handle(), GCLP_HCURSOR, reinterpret_cast<LONG_PTR>(cursor));
    SetCursor(cursor);
}

bool Win32Window::isBusy() const {
    return reinterpret_cast<HCURSOR>(GetClassLongPtrW(handle(), GCLP_HCURSOR)) ==
           LoadCursorW(nullptr, IDC_WAIT);
}

// A disabled window is one whose input is blocked.
void Win32Window::blockInput(bool blocked) {
    if (blocked == !IsWindowEnabled(handle())) {
        return;
    }
    if (blocked) {
        // A disabled window loses the focus; it comes back where it was.
        HWND focus = GetFocus();
        if (focus && IsChild(handle(), focus)) {
            focus_ = focus;
        }
        EnableWindow(handle(), FALSE);
        return;
    }
    // Enabled before a progress window goes, so the activation comes back here rather than
    // to another program's window.
    EnableWindow(handle(), TRUE);
    if (GetActiveWindow() == handle() && focus_ && IsWindowVisible(focus_) &&
        IsWindowEnabled(focus_)) {
        SetFocus(focus_);
    }
    if (quitPending_) {
        quitPending_ = false;
        PostQuitMessage(quitCode_);
    }
}

void Win32Window::processEvents() {
    const auto isInput = [](UINT message) {
        return (message >= WM_KEYFIRST && message <= WM_KEYLAST) ||
               (message >= WM_MOUSEFIRST && message <= WM_MOUSELAST) ||
               (message >= WM_NCMOUSEMOVE && message <= WM_NCXBUTTONDBLCLK);
    };
    MSG message;
    while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE)) {
        if (message.message == WM_QUIT) {
            quitPending_ = true;
            quitCode_ = static_cast<int>(message.wParam);
            continue;
        }
        // What the user does to the window meanwhile is dropped, not kept for later.
        if (isInput(message.message) &&
            (message.hwnd == handle() || IsChild(handle(), message.hwnd))) {
            continue;
        }
        if (progress_ && IsDialogMessageW(progress_->handle(), &message)) {
            continue;
        }
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32Window::showProgress(bool cancellable) {
    progress_ = std::make_unique<ProgressWindow>(IsWindowVisible(handle()) ? handle() : nullptr,
                                                 dpi_, cancellable, [this] {
                                                     if (form_) {
                                                         form_->cmdCancelRun_Click();
                                                     }
                                                 });
}

void Win32Window::setProgress(const std::u16string& text, int value, int maximum) {
    if (progress_) {
        progress_->setProgress(text, value, maximum);
    }
}

void Win32Window::closeProgress() {
    progress_.reset();
}

void Win32Window::endProgram() {
    if (ended_) {
        return;
    }
    ended_ = true;
    ShowWindow(handle(), SW_HIDE);
    PostQuitMessage(0);
}

} // namespace tagwright::window::win32
