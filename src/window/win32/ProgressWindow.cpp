#include "window/win32/ProgressWindow.h"

#include "window/win32/Dpi.h"

#include <commctrl.h>

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace tagwright::window::win32 {

namespace {

constexpr DWORD windowStyle = WS_POPUP | WS_CAPTION;
constexpr DWORD windowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;

// The longest line the window shows, with counts of a large board; the window is as wide as
// it needs, and at least as wide as this at 96 dpi.
constexpr wchar_t widestLine[] = L"正在读取列表… 元器件 00000  网络 00000  网络类型 000";
constexpr int leastWidth = 300;

// Sizes at 96 dpi, in pixels.
constexpr int margin = 11;
constexpr int gap = 7;
constexpr int barHeight = 15;
constexpr int buttonWidth = 75;
constexpr int buttonHeight = 23;

// Moving marks of the busy bar, in milliseconds between two.
constexpr UINT marqueeStep = 30;

int scaled(int pixels, UINT dpi) {
    return MulDiv(pixels, static_cast<int>(dpi), 96);
}

void registerClass(WNDPROC windowProc) {
    static const bool registered = [windowProc] {
        INITCOMMONCONTROLSEX common{sizeof common, ICC_PROGRESS_CLASS | ICC_STANDARD_CLASSES};
        InitCommonControlsEx(&common);
        WNDCLASSEXW window{};
        window.cbSize = sizeof window;
        window.lpfnWndProc = windowProc;
        window.hInstance = GetModuleHandleW(nullptr);
        window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        window.lpszClassName = progressClassName;
        return RegisterClassExW(&window) != 0;
    }();
    (void)registered;
}

} // namespace

ProgressWindow::ProgressWindow(HWND owner, UINT dpi, bool cancellable, std::function<void()> cancel)
    : font_(std::make_unique<DialogFont>(dpi)), cancellable_(cancellable),
      onCancel_(std::move(cancel)) {
    registerClass(windowProc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    window_.reset(CreateWindowExW(windowExStyle, progressClassName, L"Tagwright", windowStyle, 0, 0,
                                  0, 0, owner, nullptr, instance, this));
    if (!window_) {
        throw std::runtime_error("cannot create the progress window");
    }
    const auto child = [&](const wchar_t* className, const wchar_t* caption, DWORD style, int id) {
        HWND control = CreateWindowExW(
            0, className, caption, WS_CHILD | WS_VISIBLE | style, 0, 0, 0, 0, window_.get(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)), instance, nullptr);
        SendMessageW(control, WM_SETFONT, reinterpret_cast<WPARAM>(font_->handle()), FALSE);
        return control;
    };
    text_ = child(WC_STATICW, L"", SS_LEFT | SS_NOPREFIX | SS_ENDELLIPSIS, lblProgress);
    bar_ = child(PROGRESS_CLASSW, L"", 0, barProgress);
    cancel_ = child(WC_BUTTONW, L"取消", BS_PUSHBUTTON | WS_TABSTOP | WS_GROUP, IDCANCEL);
    if (!cancellable_) {
        ShowWindow(cancel_, SW_HIDE);
    }
    layOut(owner, dpi);
    ShowWindow(window_.get(), SW_SHOW);
    SetFocus(cancellable_ ? cancel_ : window_.get());
    UpdateWindow(window_.get());
}

void ProgressWindow::layOut(HWND owner, UINT dpi) {
    const int side = scaled(margin, dpi);
    SIZE line{};
    {
        const WindowDc screen(nullptr);
        const SelectedObject selected(screen.get(), font_->handle());
        GetTextExtentPoint32W(screen.get(), widestLine, static_cast<int>(std::size(widestLine)) - 1,
                              &line);
    }
    const int width = std::max(scaled(leastWidth, dpi), static_cast<int>(line.cx) + 2 * side);
    int top = side;
    SetWindowPos(text_, nullptr, side, top, width - 2 * side, font_->lineHeight(), SWP_NOZORDER);
    top += font_->lineHeight() + scaled(gap, dpi);
    SetWindowPos(bar_, nullptr, side, top, width - 2 * side, scaled(barHeight, dpi), SWP_NOZORDER);
    top += scaled(barHeight, dpi) + scaled(gap, dpi);
    if (cancellable_) {
        const int buttonW = scaled(buttonWidth, dpi);
        SetWindowPos(cancel_, nullptr, width - side - buttonW, top, buttonW,
                     scaled(buttonHeight, dpi), SWP_NOZORDER);
        top += scaled(buttonHeight, dpi);
    }
    const int height = top + side;

    const SIZE outer = windowSizeForClient({width, height}, windowStyle, windowExStyle, dpi);
    // Centred over the owner, which has its place even while it is not shown yet.
    RECT area{};
    if (!owner || !GetWindowRect(owner, &area)) {
        SystemParametersInfoW(SPI_GETWORKAREA, 0, &area, 0);
    }
    const int left = area.left + (area.right - area.left - outer.cx) / 2;
    const int upper = area.top + (area.bottom - area.top - outer.cy) / 2;
    SetWindowPos(window_.get(), nullptr, std::max(0, left), std::max(0, upper), outer.cx, outer.cy,
                 SWP_NOZORDER | SWP_NOACTIVATE);
}

void ProgressWindow::setProgress(const std::u16string& text, int value, int maximum) {
    SetWindowTextW(text_, reinterpret_cast<const wchar_t*>(text.c_str()));
    const bool busy = maximum <= 0;
    if (busy != busy_) {
        busy_ = busy;
        const LONG_PTR style = GetWindowLongPtrW(bar_, GWL_STYLE);
        SetWindowLongPtrW(bar_, GWL_STYLE, busy ? style | PBS_MARQUEE : style & ~PBS_MARQUEE);
        SendMessageW(bar_, PBM_SETMARQUEE, busy ? TRUE : FALSE, marqueeStep);
    }
    if (!busy) {
        SendMessageW(bar_, PBM_SETRANGE32, 0, maximum);
        SendMessageW(bar_, PBM_SETPOS, value, 0);
    }
}

LRESULT CALLBACK ProgressWindow::windowProc(HWND window, UINT message, WPARAM wParam,
                                            LPARAM lParam) {
    if (message == WM_NCCREATE) {
        SetWindowLongPtrW(window, GWLP_USERDATA,
                          reinterpret_cast<LONG_PTR>(
                              reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams));
    }
    auto* self = reinterpret_cast<ProgressWindow*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    switch (message) {
    case WM_NCDESTROY:
        // Whoever destroyed it (its owner going first), nothing reaches the object through it.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (self && self->window_.get() == window) {
            (void)self->window_.release();
        }
        break;
    case WM_COMMAND:
        // The button, or Escape through the dialog manager.
        if (LOWORD(wParam) == IDCANCEL && self && self->cancellable_) {
            self->onCancel_();
        }
        return 0;
    case WM_CLOSE:
        if (self && self->cancellable_) {
            self->onCancel_();
        }
        return 0;
    case WM_CTLCOLORSTATIC:
        SetBkColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNFACE));
        SetTextColor(reinterpret_cast<HDC>(wParam), GetSysColor(COLOR_BTNTEXT));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    default:
        break;
    }
    return DefWindowProcW(window, message, wParam, lParam);
}

} // namespace tagwright::window::win32
