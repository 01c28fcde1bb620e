// The window's messages: clicks and typed characters go to the handlers the window
// description binds to the controls, and the rest is the dialog's own behaviour (pages,
// focus, colours, dpi, the busy cursor).
#include "window/win32/Win32Window.h"

#include "window/frmTagwright.h"

#include <commctrl.h>

#include <cstddef>

namespace tagwright::window::win32 {

namespace {

// The control of the description that has the child window id `id`, null for none.
const ControlDescription* describedAt(int id) {
    const auto described = windowDescription();
    const auto index = static_cast<std::size_t>(id - controlId(ControlId::Frame1));
    return index < described.size() ? &described[index] : nullptr;
}

} // namespace

LRESULT CALLBACK Win32Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_.reset(window);
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    if (message == WM_NCDESTROY && self) {
        // The window is gone, whoever destroyed it: nothing may reach the object through it.
        SetWindowLongPtrW(window, GWLP_USERDATA, 0);
        if (self->window_.get() == window) {
            (void)self->window_.release();
        }
        return DefWindowProcW(window, message, wParam, lParam);
    }
    // Until its controls exist, the window has nothing of its own to do.
    if (!self || !self->tabs_ || !self->font_) {
        return DefWindowProcW(window, message, wParam, lParam);
    }
    return self->onMessage(message, wParam, lParam);
}

LRESULT Win32Window::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (lParam != 0 && HIWORD(wParam) == BN_CLICKED) {
            onClicked(LOWORD(wParam));
        }
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom != tabs_->handle()) {
            break;
        }
        if (header->code == TCN_SELCHANGING) {
            return tabs_->refusesChange() ? TRUE : FALSE;
        }
        if (header->code == TCN_SELCHANGE) {
            showPage(TabCtrl_GetCurSel(tabs_->handle()));
        }
        return 0;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_TAB) {
            break;
        }
        tabs_->draw(*item, font_->handle());
        return TRUE;
    }
    case WM_ACTIVATE:
        // The focus leaves with the window and comes back to the same control.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(handle(), focus)) {
                focus_ = focus;
            }
        } else {
            const bool usable = focus_ && IsWindowVisible(focus_) && IsWindowEnabled(focus_);
            SetFocus(usable ? focus_ : chosenOption());
        }
        return 0;
    case WM_CTLCOLORSTATIC:
    case WM_CTLCOLORBTN: {
        HDC dc = reinterpret_cast<HDC>(wParam);
        HWND child = reinterpret_cast<HWND>(lParam);
        SetTextColor(dc, GetSysColor(COLOR_BTNTEXT));
        if (onPage(child)) {
            SetBkMode(dc, TRANSPARENT);
            return reinterpret_cast<LRESULT>(tabs_->faceBrush(dc, child));
        }
        SetBkColor(dc, GetSysColor(COLOR_BTNFACE));
        return reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE));
    }
    case WM_PRINTCLIENT: {
        // Themed controls that draw their parent's background behind them ask for it here.
        HDC dc = reinterpret_cast<HDC>(wParam);
        RECT area;
        GetClientRect(handle(), &area);
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        GetWindowRect(tabs_->handle(), &area);
        MapWindowPoints(HWND_DESKTOP, handle(), reinterpret_cast<POINT*>(&area), 2);
        FillRect(dc, &area, tabs_->faceBrush(dc, handle()));
        return 0;
    }
    case WM_SETCURSOR:
        // Over the controls too, which ask their parent first.
        if (isBusy()) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(handle(), nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        if (form_) {
            form_->Form_Close();
        } else {
            endProgram();
        }
        return 0;
    default:
        break;
    }
    return DefWindowProcW(handle(), message, wParam, lParam);
}

void Win32Window::onClicked(int id) {
    const ControlDescription* clicked = describedAt(id);
    if (!form_ || !clicked) {
        return;
    }
    if (optionIndex(clicked->id) >= 0) {
        updateOptionTabStops();
    }
    if (clicked->click) {
        clicked->click(*form_);
    }
}

bool Win32Window::onKeyDown(HWND target, WPARAM key) const {
    const bool ctrl = GetKeyState(VK_CONTROL) < 0;
    // A list box has extended selection but no key that selects every entry.
    const ControlDescription* described = describedAt(GetDlgCtrlID(target));
    if (ctrl && key == 'A' && described && described->kind == ControlKind::ListBox &&
        GetParent(target) == handle()) {
        SendMessageW(target, LB_SETSEL, TRUE, -1);
        return true;
    }
    if (!form_) {
        return false;
    }
    // Virtual-key codes are the form's key codes.
    auto keyCode = static_cast<std::int16_t>(key);
    const auto shift =
        static_cast<std::int16_t>((GetKeyState(VK_SHIFT) < 0 ? shiftMask : 0) |
                                  (ctrl ? ctrlMask : 0) | (GetKeyState(VK_MENU) < 0 ? altMask : 0));
    form_->Form_KeyDown(keyCode, shift);
    return keyCode == 0;
}

void Win32Window::showPage(int page) {
    HWND focus = GetFocus();
    // Hidden first, so no two pages ever show at once.
    for (const bool showing : {false, true}) {
        for (const ControlDescription& described : windowDescription()) {
            if (described.page < 0 || (described.page == page) != showing) {
                continue;
            }
            HWND child = control(described.id);
            ShowWindow(child, showing ? SW_SHOWNA : SW_HIDE);
            if (!showing && (child == focus || child == focus_)) {
                // A hidden control would keep the keys; the tab control takes them.
                if (child == focus) {
                    SetFocus(tabs_->handle());
                }
                focus_ = tabs_->handle();
            }
        }
    }
}

void Win32Window::updateOptionTabStops() {
    for (int index = 0; index < 3; ++index) {
        HWND button = option(index);
        const bool chosen = SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
        const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
        SetWindowLongPtrW(button, GWL_STYLE, chosen ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

bool Win32Window::onPage(HWND child) const {
    const ControlDescription* described = describedAt(GetDlgCtrlID(child));
    return described && described->page >= 0;
}

HWND Win32Window::option(int index) const {
    return control(optionControl(index));
}

HWND Win32Window::chosenOption() const {
    for (int index = 0; index < 3; ++index) {
        if (SendMessageW(option(index), BM_GETCHECK, 0, 0) == BST_CHECKED) {
            return option(index);
        }
    }
    return option(0);
}

} // namespace tagwright::window::win32
