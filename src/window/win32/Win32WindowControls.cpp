// The form's widget operations on the native controls.
#include "window/win32/Win32Window.h"

#include <commctrl.h>

#include <algorithm>
#include <string>

namespace tagwright::window::win32 {

namespace {

static_assert(sizeof(wchar_t) == sizeof(char16_t), "Windows text is UTF-16");

const wchar_t* wide(const std::u16string& text) {
    return reinterpret_cast<const wchar_t*>(text.c_str());
}

std::u16string windowText(HWND window) {
    // WM_GETTEXT rather than GetWindowTextW: the same answer for a window of another process.
    const auto length = static_cast<int>(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const auto copied = static_cast<std::size_t>(
        SendMessageW(window, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data())));
    text.resize(std::min(copied, static_cast<std::size_t>(length)));
    return text;
}

// A list's first storage, in entries, and the bytes set aside for each entry's name (a
// component or net name is a few characters).
constexpr int firstListStorage = 256;
constexpr LPARAM storagePerEntry = 16 * sizeof(wchar_t);

int textWidth(HDC dc, const wchar_t* text, std::size_t length) {
    SIZE size{};
    GetTextExtentPoint32W(dc, text, static_cast<int>(length), &size);
    return size.cx;
}

// The widest entry of a list box or combo box (the messages for its entries given), each
// measured once on `dc`.
int widestEntry(HDC dc, HWND box, UINT count, UINT length, UINT text) {
    int widest = 0;
    std::wstring entry;
    const auto entries = static_cast<int>(SendMessageW(box, count, 0, 0));
    for (int index = 0; index < entries; ++index) {
        const auto size = SendMessageW(box, length, index, 0);
        if (size < 0) {
            continue;
        }
        entry.resize(static_cast<std::size_t>(size) + 1);
        const auto copied = SendMessageW(box, text, index, reinterpret_cast<LPARAM>(entry.data()));
        if (copied > 0) {
            widest =
                std::max(widest, textWidth(dc, entry.data(), static_cast<std::size_t>(copied)));
        }
    }
    return widest;
}

} // namespace

HWND Win32Window::control(ListBox list) const {
    return control(controlOf(list));
}

HWND Win32Window::control(CheckBox box) const {
    return control(controlOf(box));
}

HWND Win32Window::control(TextBox box) const {
    return control(controlOf(box));
}

UniqueMemoryDc Win32Window::measuringDc() const {
    UniqueMemoryDc dc(CreateCompatibleDC(nullptr));
    // Left selected as the DC goes: the window's font outlives it.
    SelectObject(dc.get(), font_->handle());
    return dc;
}

void Win32Window::setListExtent(ListBox list, int widest) {
    widest_[static_cast<std::size_t>(list)] = widest;
    // The list draws its entries a little way in from either side.
    const int margin = widest > 0 ? 2 * systemMetric(SM_CXEDGE, dpi_) : 0;
    SendMessageW(control(list), LB_SETHORIZONTALEXTENT, static_cast<WPARAM>(widest + margin), 0);
}

void Win32Window::setLayerDropWidth(int widest) {
    widestLayer_ = widest;
    // Room for the entries' margins, the list's border and its scroll bar; the system never
    // drops it narrower than the box.
    const int room = widest > 0
                         ? 2 * systemMetric(SM_CXEDGE, dpi_) + 2 * systemMetric(SM_CXBORDER, dpi_) +
                               systemMetric(SM_CXVSCROLL, dpi_)
                         : 0;
    // Any width narrower than the box stands for the box's own: set first, it lets the
    // width shrink where a combo box keeps the widest it was given (Wine's does).
    HWND layers = control(ControlId::cboLabelLayer);
    SendMessageW(layers, CB_SETDROPPEDWIDTH, 1, 0);
    SendMessageW(layers, CB_SETDROPPEDWIDTH, static_cast<WPARAM>(widest + room), 0);
}

void Win32Window::fitListsToEntries() {
    const UniqueMemoryDc dc = measuringDc();
    for (const ListBox list :
         {ListBox::lstCompList, ListBox::lstNetList, ListBox::lstNetClassList}) {
        setListExtent(list,
                      widestEntry(dc.get(), control(list), LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT));
    }
    setLayerDropWidth(widestEntry(dc.get(), control(ControlId::cboLabelLayer), CB_GETCOUNT,
                                  CB_GETLBTEXTLEN, CB_GETLBTEXT));
}

void Win32Window::listClear(ListBox list) {
    SendMessageW(control(list), LB_RESETCONTENT, 0, 0);
    setListExtent(list, 0);
}

void Win32Window::listAppend(ListBox list, const std::u16string& text) {
    HWND box = control(list);
    ListFilling& fill = filling_[static_cast<std::size_t>(list)];
    if (fill.active && fill.count >= fill.reserved) {
        // The editor does not say how many members come: room for as many again as there
        // are, so a long list grows its storage a few times rather than every few entries.
        const int more = std::max(fill.count, firstListStorage);
        SendMessageW(box, LB_INITSTORAGE, static_cast<WPARAM>(more),
                     static_cast<LPARAM>(more) * storagePerEntry);
        fill.reserved = fill.count + more;
    }
    const LRESULT index = SendMessageW(box, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(wide(text)));
    if (index < 0) {
        return;
    }
    fill.count = static_cast<int>(index) + 1;
    // A fill measures on one DC and sets the extent once, at its end.
    const UniqueMemoryDc single = fill.active ? nullptr : measuringDc();
    const int width =
        textWidth(fill.active ? fill.measuring.get() : single.get(), wide(text), text.size());
    int& widest = widest_[static_cast<std::size_t>(list)];
    if (width > widest) {
        if (fill.active) {
            widest = width;
        } else {
            setListExtent(list, width);
        }
    }
}

void Win32Window::listFillBegin(ListBox list) {
    HWND box = control(list);
    ListFilling& fill = filling_[static_cast<std::size_t>(list)];
    fill.active = true;
    fill.count = fill.reserved = static_cast<int>(SendMessageW(box, LB_GETCOUNT, 0, 0));
    fill.measuring = measuringDc();
    // A list on a page in the back draws nothing anyway; and turning drawing back on may show
    // a window (DefWindowProc does), which would bring that list over the page in front.
    fill.held = (GetWindowLongPtrW(box, GWL_STYLE) & WS_VISIBLE) != 0;
    if (fill.held) {
        SendMessageW(box, WM_SETREDRAW, FALSE, 0);
    }
}

void Win32Window::listFillEnd(ListBox list) {
    ListFilling& fill = filling_[static_cast<std::size_t>(list)];
    const bool held = fill.held;
    fill = {};
    setListExtent(list, widest_[static_cast<std::size_t>(list)]);
    if (!held) {
        return;
    }
    HWND box = control(list);
    SendMessageW(box, WM_SETREDRAW, TRUE, 0);
    RedrawWindow(box, nullptr, nullptr, RDW_ERASE | RDW_FRAME | RDW_INVALIDATE);
}

int Win32Window::listCount(ListBox list) const {
    return static_cast<int>(SendMessageW(control(list), LB_GETCOUNT, 0, 0));
}

std::u16string Win32Window::listText(ListBox list, int index) const {
    HWND box = control(list);
    const auto length = SendMessageW(box, LB_GETTEXTLEN, index, 0);
    if (length == LB_ERR) {
        return {};
    }
    std::u16string text(static_cast<std::size_t>(length) + 1, u'\0');
    const auto copied = SendMessageW(box, LB_GETTEXT, index, reinterpret_cast<LPARAM>(text.data()));
    text.resize(copied == LB_ERR ? 0 : static_cast<std::size_t>(copied));
    return text;
}

bool Win32Window::listSelected(ListBox list, int index) const {
    return SendMessageW(control(list), LB_GETSEL, index, 0) > 0;
}

void Win32Window::layerClear() {
    SendMessageW(control(ControlId::cboLabelLayer), CB_RESETCONTENT, 0, 0);
    setLayerDropWidth(0);
}

void Win32Window::layerAppend(const std::u16string& text) {
    SendMessageW(control(ControlId::cboLabelLayer), CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(wide(text)));
    const int width = textWidth(measuringDc().get(), wide(text), text.size());
    if (width > widestLayer_) {
        setLayerDropWidth(width);
    }
}

int Win32Window::layerCount() const {
    return static_cast<int>(SendMessageW(control(ControlId::cboLabelLayer), CB_GETCOUNT, 0, 0));
}

int Win32Window::layerIndex() const {
    return static_cast<int>(SendMessageW(control(ControlId::cboLabelLayer), CB_GETCURSEL, 0, 0));
}

void Win32Window::setLayerIndex(int index) {
    SendMessageW(control(ControlId::cboLabelLayer), CB_SETCURSEL, index, 0);
}

std::u16string Win32Window::rotationText() const {
    return windowText(control(ControlId::cboLabelRotation));
}

void Win32Window::setRotationIndex(int index) {
    SendMessageW(control(ControlId::cboLabelRotation), CB_SETCURSEL, index, 0);
}

bool Win32Window::checked(CheckBox box) const {
    return SendMessageW(control(box), BM_GETCHECK, 0, 0) == BST_CHECKED;
}

void Win32Window::setEnabled(CheckBox box, bool enabled) {
    EnableWindow(control(box), enabled);
}

std::u16string Win32Window::text(TextBox box) const {
    return windowText(control(box));
}

void Win32Window::chooseOption(int index) {
    for (int i = 0; i < 3; ++i) {
        SendMessageW(option(i), BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
    }
    updateOptionTabStops();
}

std::u16string Win32Window::optionCaption(int index) const {
    return index >= 0 && index < 3 ? windowText(option(index)) : std::u16string();
}

void Win32Window::focusChosenOption() {
    focus_ = chosenOption();
    if (GetActiveWindow() == handle()) {
        SetFocus(focus_);
    }
}

int Win32Window::currentPage() const {
    return TabCtrl_GetCurSel(tabs_->handle());
}

void Win32Window::setCurrentPage(int page) {
    if (page < 0 || page >= PageTabs::pageCount) {
        return;
    }
    TabCtrl_SetCurSel(tabs_->handle(), page);
    showPage(page);
}

void Win32Window::setPageAvailable(int page, bool available) {
    tabs_->setAvailable(page, available);
}

bool Win32Window::pageAvailable(int page) const {
    return tabs_->available(page);
}

void Win32Window::showMessage(const std::u16string& text, const std::u16string& title) {
    // Before the window is shown (the attach failure at start) the box stands on its own, so
    // that it can be found on the taskbar.
    const bool shown = IsWindowVisible(handle());
    const bool blocked = !IsWindowEnabled(handle());
    MessageBoxW(shown ? handle() : nullptr, wide(text), wide(title),
                MB_OK | (shown ? 0 : MB_SETFOREGROUND));
    // A box enables its owner as it goes; during a run the window stays without input.
    if (blocked) {
        EnableWindow(handle(), FALSE);
    }
}

} // namespace tagwright::window::win32
