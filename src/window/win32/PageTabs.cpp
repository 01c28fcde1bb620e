#include "window/win32/PageTabs.h"

#include "window/WindowDescription.h"

#include <commctrl.h>
#include <windowsx.h>

#include <algorithm>

namespace tagwright::window::win32 {

PageTabs::PageTabs(HWND tabs) : tabs_(tabs) {
    SetWindowSubclass(tabs_, subclass, 1, reinterpret_cast<DWORD_PTR>(this));
}

void PageTabs::setAvailable(int page, bool available) {
    if (page < 0 || page >= pageCount || available_[page] == available) {
        return;
    }
    available_[page] = available;
    RECT item;
    if (TabCtrl_GetItemRect(tabs_, page, &item)) {
        InvalidateRect(tabs_, &item, TRUE);
    }
}

bool PageTabs::available(int page) const {
    return page >= 0 && page < pageCount && available_[page];
}

bool PageTabs::refusesChange() const {
    return target_ >= 0 && !available(target_);
}

void PageTabs::draw(const DRAWITEMSTRUCT& item, HFONT font) const {
    const int page = static_cast<int>(item.itemID);
    if (page < 0 || page >= pageCount) {
        return;
    }
    RECT area = item.rcItem;
    FillRect(item.hDC, &area, GetSysColorBrush(COLOR_BTNFACE));
    const SelectedObject selected(item.hDC, font);
    SetBkMode(item.hDC, TRANSPARENT);
    SetTextColor(item.hDC, GetSysColor(available(page) ? COLOR_BTNTEXT : COLOR_GRAYTEXT));
    DrawTextW(item.hDC, reinterpret_cast<const wchar_t*>(pageCaptions[page]), -1, &area,
              DT_CENTER | DT_VCENTER | DT_SINGLELINE | DT_NOPREFIX);
    if (showsFocus(page, item.itemState)) {
        InflateRect(&area, -GetSystemMetrics(SM_CXEDGE), -GetSystemMetrics(SM_CYEDGE));
        DrawFocusRect(item.hDC, &area);
    }
}

bool PageTabs::showsFocus(int page, UINT state) const {
    // As the system's own tabs: on the tab that has the focus while the control has it,
    // unless focus cues are hidden until the keyboard is used.
    if (GetFocus() != tabs_ || (state & ODS_NOFOCUSRECT) != 0) {
        return false;
    }
    if ((state & ODS_FOCUS) == 0 && page != TabCtrl_GetCurFocus(tabs_)) {
        return false;
    }
    return (SendMessageW(tabs_, WM_QUERYUISTATE, 0, 0) & UISF_HIDEFOCUS) == 0;
}

void PageTabs::invalidateFocus() const {
    RECT item;
    if (TabCtrl_GetItemRect(tabs_, TabCtrl_GetCurFocus(tabs_), &item)) {
        InvalidateRect(tabs_, &item, TRUE);
    }
}

HBRUSH PageTabs::faceBrush(HDC dc, HWND on) {
    if (!faceBrush_) {
        RECT area;
        GetClientRect(tabs_, &area);
        {
            UniqueMemoryDc memory;
            {
                const WindowDc screen(tabs_);
                memory.reset(CreateCompatibleDC(screen.get()));
                face_.reset(CreateCompatibleBitmap(screen.get(), std::max<LONG>(area.right, 1),
                                                   std::max<LONG>(area.bottom, 1)));
            }
            const SelectedObject selected(memory.get(), face_.get());
            FillRect(memory.get(), &area, GetSysColorBrush(COLOR_BTNFACE));
            SendMessageW(tabs_, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()),
                         PRF_CLIENT | PRF_ERASEBKGND);
        }
        faceBrush_.reset(CreatePatternBrush(face_.get()));
    }
    // The pattern starts at the tab control's corner, wherever `on` lies and the DC is moved.
    POINT corner{0, 0};
    MapWindowPoints(tabs_, on, &corner, 1);
    LPtoDP(dc, &corner, 1);
    SetBrushOrgEx(dc, corner.x, corner.y, nullptr);
    return faceBrush_.get();
}

void PageTabs::dropFace() {
    faceBrush_.reset();
    face_.reset();
}

LRESULT CALLBACK PageTabs::subclass(HWND tabs, UINT message, WPARAM wParam, LPARAM lParam,
                                    UINT_PTR id, DWORD_PTR self) {
    if (message == WM_NCDESTROY) {
        RemoveWindowSubclass(tabs, subclass, id);
        return DefSubclassProc(tabs, message, wParam, lParam);
    }
    return reinterpret_cast<PageTabs*>(self)->onMessage(message, wParam, lParam);
}

LRESULT PageTabs::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        TCHITTESTINFO hit{{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)}, 0};
        return headingFor(TabCtrl_HitTest(tabs_, &hit), message, wParam, lParam);
    }
    case WM_NCHITTEST: {
        // Clicks beside the tabs belong to the page controls lying below.
        POINT point{GET_X_LPARAM(lParam), GET_Y_LPARAM(lParam)};
        ScreenToClient(tabs_, &point);
        TCHITTESTINFO hit{point, 0};
        if (TabCtrl_HitTest(tabs_, &hit) < 0) {
            return HTTRANSPARENT;
        }
        break;
    }
    case TCM_SETCURFOCUS:
        // Some tab controls take the page even when the change is refused; this one never gets
        // to ask.
        if (!available(static_cast<int>(wParam))) {
            return 0;
        }
        return headingFor(static_cast<int>(wParam), message, wParam, lParam);
    case WM_KEYDOWN:
        if (wParam == VK_LEFT || wParam == VK_UP) {
            return step(-1);
        }
        if (wParam == VK_RIGHT || wParam == VK_DOWN) {
            return step(+1);
        }
        break;
    case WM_SETFOCUS:
    case WM_KILLFOCUS:
    case WM_UPDATEUISTATE: {
        const LRESULT result = DefSubclassProc(tabs_, message, wParam, lParam);
        invalidateFocus();
        return result;
    }
    case WM_SIZE:
    case WM_SETFONT:
    case WM_THEMECHANGED:
    case WM_SYSCOLORCHANGE:
        dropFace();
        break;
    case WM_ERASEBKGND:
        excludeCoveredParts(reinterpret_cast<HDC>(wParam));
        break;
    case WM_PAINT:
        if (wParam == 0) {
            PAINTSTRUCT paint;
            HDC dc = BeginPaint(tabs_, &paint);
            excludeCoveredParts(dc);
            DefSubclassProc(tabs_, WM_PAINT, reinterpret_cast<WPARAM>(dc), 0);
            EndPaint(tabs_, &paint);
            return 0;
        }
        excludeCoveredParts(reinterpret_cast<HDC>(wParam));
        break;
    default:
        break;
    }
    return DefSubclassProc(tabs_, message, wParam, lParam);
}

LRESULT PageTabs::headingFor(int page, UINT message, WPARAM wParam, LPARAM lParam) {
    const int outer = target_;
    target_ = page;
    const LRESULT result = DefSubclassProc(tabs_, message, wParam, lParam);
    target_ = outer;
    return result;
}

LRESULT PageTabs::step(int direction) {
    for (int page = TabCtrl_GetCurSel(tabs_) + direction; page >= 0 && page < pageCount;
         page += direction) {
        if (available(page)) {
            TabCtrl_SetCurFocus(tabs_, page);
            break;
        }
    }
    return 0;
}

void PageTabs::excludeCoveredParts(HDC dc) const {
    HWND parent = GetParent(tabs_);
    RECT own;
    GetClientRect(tabs_, &own);
    for (HWND sibling = GetWindow(parent, GW_CHILD); sibling;
         sibling = GetWindow(sibling, GW_HWNDNEXT)) {
        if (sibling == tabs_ || !IsWindowVisible(sibling)) {
            continue;
        }
        RECT covered;
        GetWindowRect(sibling, &covered);
        MapWindowPoints(HWND_DESKTOP, tabs_, reinterpret_cast<POINT*>(&covered), 2);
        RECT overlap;
        if (IntersectRect(&overlap, &covered, &own)) {
            ExcludeClipRect(dc, overlap.left, overlap.top, overlap.right, overlap.bottom);
        }
    }
}

} // namespace tagwright::window::win32
