#include "window/win32/Win32Window.h"

#include "window/frmTagwright.h"
#include "window/win32/KeyPressFilter.h"
#include "window/win32/Resources.h"
#include "window/win32/WindowDescription.h"

#include <commctrl.h>

#include <algorithm>
#include <stdexcept>
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

constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD windowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr wchar_t ownerClassName[] = L"TagwrightOwner";
// A list's first storage, in entries, and the bytes set aside for each entry's name (a
// component or net name is a few characters).
constexpr int firstListStorage = 256;
constexpr LPARAM storagePerEntry = 16 * sizeof(wchar_t);

struct NativeKind {
    const wchar_t* className;
    DWORD style;
    DWORD exStyle;
};

NativeKind nativeKind(ControlKind kind) {
    switch (kind) {
    case ControlKind::Frame:
        return {WC_BUTTONW, BS_GROUPBOX, 0};
    case ControlKind::Caption:
        return {WC_STATICW, SS_LEFT | SS_NOPREFIX, 0};
    case ControlKind::Option:
        // Only the chosen option is a tab stop; that is set as options are chosen.
        return {WC_BUTTONW, BS_AUTORADIOBUTTON, 0};
    case ControlKind::CheckBox:
        return {WC_BUTTONW, BS_AUTOCHECKBOX | WS_TABSTOP, 0};
    case ControlKind::Button:
        return {WC_BUTTONW, BS_PUSHBUTTON | WS_TABSTOP, 0};
    case ControlKind::TextBox:
        return {WC_EDITW, ES_LEFT | ES_AUTOHSCROLL | WS_TABSTOP, WS_EX_CLIENTEDGE};
    case ControlKind::EditableCombo:
        return {WC_COMBOBOXW, CBS_DROPDOWN | CBS_AUTOHSCROLL | WS_VSCROLL | WS_TABSTOP, 0};
    case ControlKind::DropDownList:
        return {WC_COMBOBOXW, CBS_DROPDOWNLIST | WS_VSCROLL | WS_TABSTOP, 0};
    case ControlKind::ListBox:
        return {WC_LISTBOXW,
                LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL | WS_TABSTOP,
                WS_EX_CLIENTEDGE};
    case ControlKind::TabControl:
        return {WC_TABCONTROLW, TCS_OWNERDRAWFIXED | WS_TABSTOP, 0};
    }
    throw std::logic_error("unknown control kind");
}

// The second and third options continue the first one's group, so the arrow keys move
// among them; every other control starts a group of its own.
bool startsGroup(ControlId id) {
    return id != ControlId::optLabelType_1 && id != ControlId::optLabelType_2;
}

constexpr ControlId options[] = {ControlId::optLabelType_0, ControlId::optLabelType_1,
                                 ControlId::optLabelType_2};

HICON loadIcon(int size) {
    return static_cast<HICON>(LoadImageW(GetModuleHandleW(nullptr),
                                         MAKEINTRESOURCEW(TAGWRIGHT_ICON), IMAGE_ICON, size, size,
                                         LR_DEFAULTCOLOR));
}

void registerClasses(WNDPROC windowProc) {
    static const bool registered = [windowProc] {
        INITCOMMONCONTROLSEX common{sizeof common, ICC_STANDARD_CLASSES | ICC_TAB_CLASSES};
        InitCommonControlsEx(&common);
        HINSTANCE instance = GetModuleHandleW(nullptr);
        WNDCLASSEXW window{};
        window.cbSize = sizeof window;
        window.lpfnWndProc = DefWindowProcW;
        window.hInstance = instance;
        window.lpszClassName = ownerClassName;
        RegisterClassExW(&window);
        window.lpszClassName = windowClassName;
        window.style = CS_DBLCLKS;
        window.hCursor = LoadCursorW(nullptr, IDC_ARROW);
        window.hbrBackground = reinterpret_cast<HBRUSH>(COLOR_BTNFACE + 1);
        window.hIcon = loadIcon(GetSystemMetrics(SM_CXICON));
        window.hIconSm = loadIcon(GetSystemMetrics(SM_CXSMICON));
        window.lpfnWndProc = windowProc;
        RegisterClassExW(&window);
        return true;
    }();
    (void)registered;
}

} // namespace

Win32Window::Win32Window() {
    registerClasses(windowProc);
    HINSTANCE instance = GetModuleHandleW(nullptr);
    owner_ = CreateWindowExW(0, ownerClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                             instance, nullptr);
    CreateWindowExW(windowExStyle, windowClassName, windowCaption, windowStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, 0, 0, owner_, nullptr, instance, this);
    if (!owner_ || !window_)
        throw std::runtime_error("cannot create the window");
    // A window that cannot change its size offers to move and to close, nothing else.
    HMENU menu = GetSystemMenu(window_, FALSE);
    for (const UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE})
        DeleteMenu(menu, command, MF_BYCOMMAND);
    createControls();
    applyDpi(dpiOf(window_));
}

Win32Window::~Win32Window() {
    // The form may be gone already; nothing said while the windows go may reach it.
    form_ = nullptr;
    DestroyWindow(window_);
    DestroyWindow(owner_);
    for (HICON icon : {bigIcon_, smallIcon_}) {
        if (icon)
            DestroyIcon(icon);
    }
}

void Win32Window::createControls() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ControlDescription& described : windowDescription()) {
        const NativeKind native = nativeKind(described.kind);
        DWORD style = WS_CHILD | native.style;
        if (startsGroup(described.id))
            style |= WS_GROUP;
        // As created, the nets page is in front.
        if (described.page < 0 || described.page == netsPage)
            style |= WS_VISIBLE;
        HWND child = CreateWindowExW(
            native.exStyle, native.className, described.caption, style, 0, 0, 0, 0, window_,
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(described.id)), instance, nullptr);
        if (!child)
            throw std::runtime_error("cannot create a control");
        // Creation order is the z-order, and so the order the Tab key follows.
        SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    HWND tabs = control(ControlId::tabObjList);
    for (int page = 0; page < PageTabs::pageCount; ++page) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(pageCaptions[page]);
        TabCtrl_InsertItem(tabs, page, &item);
    }
    TabCtrl_SetCurSel(tabs, netsPage);
    tabs_ = std::make_unique<PageTabs>(tabs);

    HWND rotation = control(ControlId::cboLabelRotation);
    for (const wchar_t* item : rotationItems)
        SendMessageW(rotation, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));

    const auto filter = [this](HWND field, void (frmTagwright::*handler)(std::int16_t&)) {
        filterTypedCharacters(field, [this, handler](std::int16_t& keyAscii) {
            if (form_)
                (form_->*handler)(keyAscii);
        });
    };
    filter(control(ControlId::txtLabelFontH), &frmTagwright::txtLabelFontH_KeyPress);
    filter(control(ControlId::txtLabelFontW), &frmTagwright::txtLabelFontW_KeyPress);
    filter(control(ControlId::txtLabelOffsetX), &frmTagwright::txtLabelOffsetX_KeyPress);
    filter(control(ControlId::txtLabelOffsetY), &frmTagwright::txtLabelOffsetY_KeyPress);
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof combo;
    if (GetComboBoxInfo(rotation, &combo) && combo.hwndItem)
        filter(combo.hwndItem, &frmTagwright::cboLabelRotation_KeyPress);
}

void Win32Window::applyDpi(UINT dpi) {
    dpi_ = dpi;
    auto font = std::make_unique<DialogFont>(dpi);
    const int line = font->lineHeight();
    const int edge = systemMetric(SM_CYEDGE, dpi);

    for (const ControlDescription& described : windowDescription()) {
        HWND child = control(described.id);
        const TwipRect twips = clientTwips(described);
        const int left = pixels(twips.left, dpi);
        const int top = pixels(twips.top, dpi);
        const int width = pixels(twips.width, dpi);
        int height = pixels(twips.height, dpi);
        // A face with a taller line than SimSun's gets the room it needs rather than being cut.
        if (described.kind == ControlKind::Caption)
            height = std::max(height, line);
        else if (described.kind == ControlKind::TextBox)
            height = std::max(height, line + 2 * edge + 2);
        const bool combo = described.kind == ControlKind::EditableCombo ||
                           described.kind == ControlKind::DropDownList;
        // A combo box's window height is its dropped height; its field takes the item height.
        SetWindowPos(child, nullptr, left, top, width, combo ? height + 8 * line : height,
                     SWP_NOZORDER | SWP_NOACTIVATE);
        SendMessageW(child, WM_SETFONT, reinterpret_cast<WPARAM>(font->handle()), TRUE);
        if (combo) {
            RECT field;
            GetWindowRect(child, &field);
            const auto item = static_cast<int>(SendMessageW(child, CB_GETITEMHEIGHT, -1, 0));
            const int chrome = (field.bottom - field.top) - item;
            SendMessageW(child, CB_SETITEMHEIGHT, -1, std::max(height - chrome, line));
        }
    }
    SendMessageW(tabs_->handle(), TCM_SETITEMSIZE, 0,
                 MAKELPARAM(0, std::max(pixels(tabStripHeightTwips, dpi), line + 2 * edge)));

    const SIZE outer =
        windowSizeForClient({pixels(clientWidthTwips, dpi), pixels(clientHeightTwips, dpi)},
                            windowStyle, windowExStyle, dpi);
    SetWindowPos(window_, nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Where the frame the system draws is not the one it computed for this dpi, the client
    // area still gets its size.
    RECT client;
    GetClientRect(window_, &client);
    const int missingWidth = pixels(clientWidthTwips, dpi) - client.right;
    const int missingHeight = pixels(clientHeightTwips, dpi) - client.bottom;
    if (missingWidth != 0 || missingHeight != 0)
        SetWindowPos(window_, nullptr, 0, 0, outer.cx + missingWidth, outer.cy + missingHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);

    for (HICON icon : {bigIcon_, smallIcon_}) {
        if (icon)
            DestroyIcon(icon);
    }
    bigIcon_ = loadIcon(systemMetric(SM_CXICON, dpi));
    smallIcon_ = loadIcon(systemMetric(SM_CXSMICON, dpi));
    SendMessageW(window_, WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_));
    SendMessageW(window_, WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_));

    // The controls hold the new font now; the old one may go.
    font_ = std::move(font);
    InvalidateRect(window_, nullptr, TRUE);
}

void Win32Window::show() {
    ShowWindow(window_, SW_SHOW);
    UpdateWindow(window_);
    SetForegroundWindow(window_);
}

int Win32Window::run() {
    MSG message;
    while (GetMessageW(&message, nullptr, 0, 0) > 0) {
        if (!IsDialogMessageW(window_, &message)) {
            TranslateMessage(&message);
            DispatchMessageW(&message);
        }
    }
    return 0;
}

LRESULT CALLBACK Win32Window::windowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) {
    if (message == WM_NCCREATE) {
        auto* self = static_cast<Win32Window*>(
            reinterpret_cast<const CREATESTRUCTW*>(lParam)->lpCreateParams);
        self->window_ = window;
        SetWindowLongPtrW(window, GWLP_USERDATA, reinterpret_cast<LONG_PTR>(self));
    }
    auto* self = reinterpret_cast<Win32Window*>(GetWindowLongPtrW(window, GWLP_USERDATA));
    // Until its controls exist, the window has nothing of its own to do.
    if (!self || !self->tabs_ || !self->font_)
        return DefWindowProcW(window, message, wParam, lParam);
    return self->onMessage(message, wParam, lParam);
}

LRESULT Win32Window::onMessage(UINT message, WPARAM wParam, LPARAM lParam) {
    switch (message) {
    case WM_COMMAND:
        if (lParam != 0)
            onCommand(LOWORD(wParam), HIWORD(wParam));
        return 0;
    case WM_NOTIFY: {
        const auto* header = reinterpret_cast<const NMHDR*>(lParam);
        if (header->hwndFrom != tabs_->handle())
            break;
        if (header->code == TCN_SELCHANGING)
            return tabs_->refusesChange() ? TRUE : FALSE;
        if (header->code == TCN_SELCHANGE)
            showPage(TabCtrl_GetCurSel(tabs_->handle()));
        return 0;
    }
    case WM_DRAWITEM: {
        const auto* item = reinterpret_cast<const DRAWITEMSTRUCT*>(lParam);
        if (item->CtlType != ODT_TAB)
            break;
        tabs_->draw(*item, font_->handle());
        return TRUE;
    }
    case WM_ACTIVATE:
        // The focus leaves with the window and comes back to the same control.
        if (LOWORD(wParam) == WA_INACTIVE) {
            HWND focus = GetFocus();
            if (focus && IsChild(window_, focus))
                focus_ = focus;
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
        GetClientRect(window_, &area);
        FillRect(dc, &area, GetSysColorBrush(COLOR_BTNFACE));
        GetWindowRect(tabs_->handle(), &area);
        MapWindowPoints(HWND_DESKTOP, window_, reinterpret_cast<POINT*>(&area), 2);
        FillRect(dc, &area, tabs_->faceBrush(dc, window_));
        return 0;
    }
    case WM_SETCURSOR:
        if (busy_) {
            SetCursor(LoadCursorW(nullptr, IDC_WAIT));
            return TRUE;
        }
        break;
    case WM_DPICHANGED: {
        applyDpi(HIWORD(wParam));
        const auto* suggested = reinterpret_cast<const RECT*>(lParam);
        SetWindowPos(window_, nullptr, suggested->left, suggested->top, 0, 0,
                     SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return 0;
    }
    case WM_CLOSE:
        if (form_)
            form_->Form_Close();
        else
            endProgram();
        return 0;
    default:
        break;
    }
    return DefWindowProcW(window_, message, wParam, lParam);
}

void Win32Window::onCommand(int id, int code) {
    if (code != BN_CLICKED || !form_)
        return;
    for (std::int16_t index = 0; index < 3; ++index) {
        if (id == options[index]) {
            updateOptionTabStops();
            form_->optLabelType_Click(index);
            return;
        }
    }
    switch (id) {
    case ControlId::cmdAddLabel:
        form_->cmdAddLabel_Click();
        break;
    case ControlId::cmdDeleteLabel:
        form_->cmdDeleteLabel_Click();
        break;
    case ControlId::cmdUpdateList:
        form_->cmdUpdateList_Click();
        break;
    case ControlId::cmdHelp:
        form_->cmdHelp_Click();
        break;
    case ControlId::cmdClose:
        form_->cmdClose_Click();
        break;
    case ControlId::cmdLocateComp:
        form_->cmdLocateComp_Click();
        break;
    case ControlId::cmdLocateNet:
        form_->cmdLocateNet_Click();
        break;
    default:
        break;
    }
}

void Win32Window::showPage(int page) {
    HWND focus = GetFocus();
    // Hidden first, so no two pages ever show at once.
    for (const bool showing : {false, true}) {
        for (const ControlDescription& described : windowDescription()) {
            if (described.page < 0 || (described.page == page) != showing)
                continue;
            HWND child = control(described.id);
            ShowWindow(child, showing ? SW_SHOWNA : SW_HIDE);
            if (!showing && (child == focus || child == focus_)) {
                // A hidden control would keep the keys; the tab control takes them.
                if (child == focus)
                    SetFocus(tabs_->handle());
                focus_ = tabs_->handle();
            }
        }
    }
}

void Win32Window::updateOptionTabStops() {
    for (const ControlId option : options) {
        HWND button = control(option);
        const bool chosen = SendMessageW(button, BM_GETCHECK, 0, 0) == BST_CHECKED;
        const LONG_PTR style = GetWindowLongPtrW(button, GWL_STYLE);
        SetWindowLongPtrW(button, GWL_STYLE, chosen ? style | WS_TABSTOP : style & ~WS_TABSTOP);
    }
}

bool Win32Window::onPage(HWND child) const {
    const auto id = static_cast<ControlId>(GetDlgCtrlID(child));
    const auto described = windowDescription();
    const auto found = std::ranges::find(described, id, &ControlDescription::id);
    return found != described.end() && found->page >= 0;
}

HWND Win32Window::chosenOption() const {
    for (const ControlId option : options) {
        if (SendMessageW(control(option), BM_GETCHECK, 0, 0) == BST_CHECKED)
            return control(option);
    }
    return control(options[0]);
}

HWND Win32Window::control(ListBox list) const {
    switch (list) {
    case ListBox::lstCompList:
        return control(ControlId::lstCompList);
    case ListBox::lstNetList:
        return control(ControlId::lstNetList);
    case ListBox::lstNetClassList:
        return control(ControlId::lstNetClassList);
    }
    return nullptr;
}

HWND Win32Window::control(CheckBox box) const {
    switch (box) {
    case CheckBox::chkSelectedComp:
        return control(ControlId::chkSelectedComp);
    case CheckBox::chkUnUsedPins:
        return control(ControlId::chkUnUsedPins);
    case CheckBox::chkVias:
        return control(ControlId::chkVias);
    case CheckBox::chkSelectedNets:
        return control(ControlId::chkSelectedNets);
    case CheckBox::chkSelectedNetClasses:
        return control(ControlId::chkSelectedNetClasses);
    }
    return nullptr;
}

HWND Win32Window::control(TextBox box) const {
    switch (box) {
    case TextBox::txtLabelOffsetX:
        return control(ControlId::txtLabelOffsetX);
    case TextBox::txtLabelOffsetY:
        return control(ControlId::txtLabelOffsetY);
    case TextBox::txtLabelFontH:
        return control(ControlId::txtLabelFontH);
    case TextBox::txtLabelFontW:
        return control(ControlId::txtLabelFontW);
    }
    return nullptr;
}

void Win32Window::listClear(ListBox list) {
    SendMessageW(control(list), LB_RESETCONTENT, 0, 0);
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
    if (index >= 0)
        fill.count = static_cast<int>(index) + 1;
}

void Win32Window::listFillBegin(ListBox list) {
    HWND box = control(list);
    ListFilling& fill = filling_[static_cast<std::size_t>(list)];
    fill.active = true;
    fill.count = fill.reserved = static_cast<int>(SendMessageW(box, LB_GETCOUNT, 0, 0));
    // A list on a page in the back draws nothing anyway; and turning drawing back on may show
    // a window (DefWindowProc does), which would bring that list over the page in front.
    fill.held = (GetWindowLongPtrW(box, GWL_STYLE) & WS_VISIBLE) != 0;
    if (fill.held)
        SendMessageW(box, WM_SETREDRAW, FALSE, 0);
}

void Win32Window::listFillEnd(ListBox list) {
    ListFilling& fill = filling_[static_cast<std::size_t>(list)];
    const bool held = fill.held;
    fill = {};
    if (!held)
        return;
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
    if (length == LB_ERR)
        return {};
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
}

void Win32Window::layerAppend(const std::u16string& text) {
    SendMessageW(control(ControlId::cboLabelLayer), CB_ADDSTRING, 0,
                 reinterpret_cast<LPARAM>(wide(text)));
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
    for (int i = 0; i < 3; ++i)
        SendMessageW(control(options[i]), BM_SETCHECK, i == index ? BST_CHECKED : BST_UNCHECKED, 0);
    updateOptionTabStops();
}

std::u16string Win32Window::optionCaption(int index) const {
    return index >= 0 && index < 3 ? windowText(control(options[index])) : std::u16string();
}

void Win32Window::focusChosenOption() {
    focus_ = chosenOption();
    if (GetActiveWindow() == window_)
        SetFocus(focus_);
}

int Win32Window::currentPage() const {
    return TabCtrl_GetCurSel(tabs_->handle());
}

void Win32Window::setCurrentPage(int page) {
    if (page < 0 || page >= PageTabs::pageCount)
        return;
    TabCtrl_SetCurSel(tabs_->handle(), page);
    showPage(page);
}

void Win32Window::setPageAvailable(int page, bool available) {
    tabs_->setAvailable(page, available);
}

void Win32Window::showMessage(const std::u16string& text, const std::u16string& title) {
    // Before the window is shown (the attach failure at start) the box stands on its own, so
    // that it can be found on the taskbar.
    const bool shown = IsWindowVisible(window_);
    MessageBoxW(shown ? window_ : nullptr, wide(text), wide(title),
                MB_OK | (shown ? 0 : MB_SETFOREGROUND));
    // A box enables its owner as it goes; during a run the window stays without input.
    if (inputBlocked_)
        EnableWindow(window_, FALSE);
}

void Win32Window::setBusy(bool busy) {
    busy_ = busy;
    SetCursor(LoadCursorW(nullptr, busy ? IDC_WAIT : IDC_ARROW));
}

void Win32Window::blockInput(bool blocked) {
    if (blocked == inputBlocked_)
        return;
    inputBlocked_ = blocked;
    if (blocked) {
        // A disabled window loses the focus; it comes back where it was.
        HWND focus = GetFocus();
        if (focus && IsChild(window_, focus))
            focus_ = focus;
        EnableWindow(window_, FALSE);
        return;
    }
    // Enabled before a progress window goes, so the activation comes back here rather than
    // to another program's window.
    EnableWindow(window_, TRUE);
    if (GetActiveWindow() == window_ && focus_ && IsWindowVisible(focus_) &&
        IsWindowEnabled(focus_))
        SetFocus(focus_);
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
        if (isInput(message.message) && (message.hwnd == window_ || IsChild(window_, message.hwnd)))
            continue;
        if (progress_ && IsDialogMessageW(progress_->handle(), &message))
            continue;
        TranslateMessage(&message);
        DispatchMessageW(&message);
    }
}

void Win32Window::showProgress(bool cancellable) {
    progress_ = std::make_unique<ProgressWindow>(IsWindowVisible(window_) ? window_ : nullptr, dpi_,
                                                 cancellable, [this] {
                                                     if (form_)
                                                         form_->cmdCancelRun_Click();
                                                 });
}

void Win32Window::setProgress(const std::u16string& text, int value, int maximum) {
    if (progress_)
        progress_->setProgress(text, value, maximum);
}

void Win32Window::closeProgress() {
    progress_.reset();
}

void Win32Window::endProgram() {
    if (ended_)
        return;
    ended_ = true;
    ShowWindow(window_, SW_HIDE);
    PostQuitMessage(0);
}

} // namespace tagwright::window::win32
