// The window built from its description: the controls in tab order, placed and given their
// font at the monitor's dpi.
#include "window/win32/Win32Window.h"

#include "window/win32/KeyPressFilter.h"
#include "window/win32/Resources.h"

#include <commctrl.h>
#include <imm.h>

#include <algorithm>
#include <stdexcept>
#include <string>

namespace tagwright::window::win32 {

namespace {

constexpr DWORD windowStyle = WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU;
constexpr DWORD windowExStyle = WS_EX_DLGMODALFRAME | WS_EX_CONTROLPARENT;
constexpr wchar_t ownerClassName[] = L"TagwrightOwner";

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
                LBS_EXTENDEDSEL | LBS_NOINTEGRALHEIGHT | LBS_NOTIFY | WS_VSCROLL | WS_HSCROLL |
                    WS_TABSTOP,
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
    owner_.reset(CreateWindowExW(0, ownerClassName, L"", WS_POPUP, 0, 0, 0, 0, nullptr, nullptr,
                                 instance, nullptr));
    if (!owner_) {
        throw std::runtime_error("cannot create the window");
    }
    // window_ takes the window as it is created, so that a failure in its creation frees it.
    CreateWindowExW(windowExStyle, windowClassName, windowCaption, windowStyle, CW_USEDEFAULT,
                    CW_USEDEFAULT, 0, 0, owner_.get(), nullptr, instance, this);
    if (!window_) {
        throw std::runtime_error("cannot create the window");
    }
    // A window that cannot change its size offers to move and to close, nothing else.
    HMENU menu = GetSystemMenu(handle(), FALSE);
    for (const UINT command : {SC_RESTORE, SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) {
        DeleteMenu(menu, command, MF_BYCOMMAND);
    }
    createControls();
    applyDpi(dpiOf(handle()));
}

Win32Window::~Win32Window() {
    // The form may be gone already; nothing said while the windows go may reach it.
    form_ = nullptr;
}

void Win32Window::createControls() {
    HINSTANCE instance = GetModuleHandleW(nullptr);
    for (const ControlDescription& described : windowDescription()) {
        const NativeKind native = nativeKind(described.kind);
        DWORD style = WS_CHILD | native.style;
        if (startsGroup(described.id)) {
            style |= WS_GROUP;
        }
        // As created, the nets page is in front.
        if (described.page < 0 || described.page == netsPage) {
            style |= WS_VISIBLE;
        }
        HWND child = CreateWindowExW(
            native.exStyle, native.className, reinterpret_cast<const wchar_t*>(described.text),
            style, 0, 0, 0, 0, handle(),
            reinterpret_cast<HMENU>(static_cast<INT_PTR>(controlId(described.id))), instance,
            nullptr);
        if (!child) {
            throw std::runtime_error("cannot create a control");
        }
        // Creation order is the z-order, and so the order the Tab key follows.
        SetWindowPos(child, HWND_BOTTOM, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOACTIVATE);
    }

    HWND tabs = control(ControlId::tabObjList);
    for (int page = 0; page < PageTabs::pageCount; ++page) {
        TCITEMW item{};
        item.mask = TCIF_TEXT;
        item.pszText = const_cast<wchar_t*>(reinterpret_cast<const wchar_t*>(pageCaptions[page]));
        TabCtrl_InsertItem(tabs, page, &item);
    }
    TabCtrl_SetCurSel(tabs, netsPage);
    tabs_ = std::make_unique<PageTabs>(tabs);

    HWND rotation = control(ControlId::cboLabelRotation);
    for (const char16_t* item : rotationItems) {
        SendMessageW(rotation, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item));
    }

    // Typed characters go through the key-press handler of the field they are typed into; a
    // combo box's field is its edit control.
    for (const ControlDescription& described : windowDescription()) {
        if (!described.keyPress) {
            continue;
        }
        HWND field = control(described.id);
        COMBOBOXINFO combo{};
        combo.cbSize = sizeof combo;
        if (described.kind == ControlKind::EditableCombo) {
            field = GetComboBoxInfo(field, &combo) ? combo.hwndItem : nullptr;
        }
        if (!field) {
            continue;
        }
        // Numbers only: an input method would compose characters the filter then drops.
        ImmAssociateContextEx(field, nullptr, 0);
        filterTypedCharacters(field, [this, handler = described.keyPress](std::int16_t& keyAscii) {
            if (form_) {
                handler(*form_, keyAscii);
            }
        });
    }
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
        if (described.kind == ControlKind::Caption) {
            height = std::max(height, line);
        } else if (described.kind == ControlKind::TextBox) {
            height = std::max(height, line + 2 * edge + 2);
        }
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
    SetWindowPos(handle(), nullptr, 0, 0, outer.cx, outer.cy,
                 SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    // Where the frame the system draws is not the one it computed for this dpi, the client
    // area still gets its size.
    RECT client;
    GetClientRect(handle(), &client);
    const int missingWidth = pixels(clientWidthTwips, dpi) - client.right;
    const int missingHeight = pixels(clientHeightTwips, dpi) - client.bottom;
    if (missingWidth != 0 || missingHeight != 0) {
        SetWindowPos(handle(), nullptr, 0, 0, outer.cx + missingWidth, outer.cy + missingHeight,
                     SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    }

    bigIcon_.reset(loadIcon(systemMetric(SM_CXICON, dpi)));
    smallIcon_.reset(loadIcon(systemMetric(SM_CXSMICON, dpi)));
    SendMessageW(handle(), WM_SETICON, ICON_BIG, reinterpret_cast<LPARAM>(bigIcon_.get()));
    SendMessageW(handle(), WM_SETICON, ICON_SMALL, reinterpret_cast<LPARAM>(smallIcon_.get()));

    // The controls, and a fill under way, hold the new font now; the old one may go.
    for (const ListFilling& fill : filling_) {
        if (fill.measuring) {
            SelectObject(fill.measuring.get(), font->handle());
        }
    }
    font_ = std::move(font);
    fitListsToEntries();
    InvalidateRect(handle(), nullptr, TRUE);
}

void Win32Window::show() {
    ShowWindow(handle(), SW_SHOW);
    UpdateWindow(handle());
    SetForegroundWindow(handle());
}

} // namespace tagwright::window::win32
