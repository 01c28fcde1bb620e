// The native window's widgets: the window built from its description, the Tab order, the tab
// control that refuses unavailable pages, the key filters, the fonts and the frame. Behaviour
// behind the events belongs to the form and is tested there.
#include "WindowHarness.h"

#include "window/win32/DialogFont.h"
#include "window/win32/Handles.h"

#include <commctrl.h>
#include <imm.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tagwright;
using window::ControlDescription;
using window::ControlId;
using window::ControlKind;

namespace {

struct Window : testing::Test {
    void SetUp() override { ASSERT_TRUE(w.loadAndShow()); }
    HWND control(ControlId id) const { return w.controls.control(id); }
    int page() const { return w.controls.currentPage(); }
    // The window moved to a monitor of `dpi`, taking the size Windows suggests.
    void setDpi(UINT dpi) const {
        RECT suggested;
        GetWindowRect(w.controls.handle(), &suggested);
        SendMessageW(w.controls.handle(), WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
    }
    test::NativeWindow w;
};

RECT inClient(HWND window, HWND control) {
    RECT r;
    GetWindowRect(control, &r);
    MapWindowPoints(HWND_DESKTOP, window, reinterpret_cast<POINT*>(&r), 2);
    return r;
}

int px(int twips) {
    return MulDiv(twips, 96, 1440);
}

LOGFONTW faceOf(HWND control) {
    LOGFONTW face{};
    GetObjectW(reinterpret_cast<HFONT>(SendMessageW(control, WM_GETFONT, 0, 0)), sizeof face,
               &face);
    return face;
}

// What each kind of control is natively: its class, and the style bits that make the kind
// under a mask (lists and combo boxes keep the order they are given: no sort bit).
struct Native {
    const wchar_t* className;
    LONG mask, style;
};
constexpr Native natives[] = {
    // In ControlKind order.
    {L"Button", BS_TYPEMASK, BS_GROUPBOX},
    {L"Static", SS_TYPEMASK, SS_LEFT},
    {L"Button", BS_TYPEMASK, BS_AUTORADIOBUTTON},
    {L"Button", BS_TYPEMASK, BS_AUTOCHECKBOX},
    {L"Button", BS_TYPEMASK, BS_PUSHBUTTON},
    {L"Edit", ES_MULTILINE | ES_CENTER | ES_RIGHT, ES_LEFT},
    {L"ComboBox", 3 | CBS_SORT, CBS_DROPDOWN},
    {L"ComboBox", 3 | CBS_SORT, CBS_DROPDOWNLIST},
    {L"ListBox", LBS_EXTENDEDSEL | LBS_SORT, LBS_EXTENDEDSEL},
    {L"SysTabControl32", TCS_OWNERDRAWFIXED, TCS_OWNERDRAWFIXED},
};

// How many characters of the captions `face` has no glyph for, as the mapper realises it.
int missingGlyphs(LOGFONTW face) {
    std::wstring captions;
    for (const ControlDescription& d : window::windowDescription()) {
        captions += reinterpret_cast<const wchar_t*>(d.text);
    }
    for (const char16_t* caption : window::pageCaptions) {
        captions += reinterpret_cast<const wchar_t*>(caption);
    }
    face.lfHeight = -12;
    const window::win32::UniqueFont font(CreateFontIndirectW(&face));
    const window::win32::WindowDc dc(nullptr);
    const window::win32::SelectedObject selected(dc.get(), font.get());
    std::vector<WORD> glyphs(captions.size());
    GetGlyphIndicesW(dc.get(), captions.c_str(), static_cast<int>(captions.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
    return static_cast<int>(std::ranges::count(glyphs, WORD(0xFFFF)));
}

int textWidth(HFONT font, const std::wstring& text) {
    const window::win32::WindowDc dc(nullptr);
    const window::win32::SelectedObject selected(dc.get(), font);
    SIZE size{};
    GetTextExtentPoint32W(dc.get(), text.c_str(), static_cast<int>(text.size()), &size);
    return size.cx;
}

// The pixels of one tab of the tab control as it draws itself, `inset` pixels in from each edge.
std::vector<COLORREF> printedTab(HWND tabs, int tab, int inset) {
    using namespace window::win32;
    RECT area, item;
    GetClientRect(tabs, &area);
    TabCtrl_GetItemRect(tabs, tab, &item);
    const WindowDc screen(tabs);
    const UniqueMemoryDc memory(CreateCompatibleDC(screen.get()));
    const UniqueBitmap bitmap(CreateCompatibleBitmap(screen.get(), area.right, area.bottom));
    const SelectedObject selected(memory.get(), bitmap.get());
    SendMessageW(tabs, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory.get()),
                 PRF_CLIENT | PRF_ERASEBKGND);
    std::vector<COLORREF> pixels;
    for (int y = item.top + inset; y < item.bottom - inset; ++y) {
        for (int x = item.left + inset; x < item.right - inset; ++x) {
            pixels.push_back(GetPixel(memory.get(), x, y));
        }
    }
    return pixels;
}

// Every control of the description, and nothing else, in its order (the z-order the dialog
// manager tabs through): its kind, caption and place, and shown when it is on no page or on
// the page in front.
TEST_F(Window, IsBuiltAsDescribed) {
    const int line = w.controls.font().lineHeight();
    std::vector<HWND> expected, children;
    for (const ControlDescription& d : window::windowDescription()) {
        SCOPED_TRACE(d.name);
        HWND c = control(d.id);
        ASSERT_NE(c, nullptr);
        expected.push_back(c);
        const Native& native = natives[static_cast<int>(d.kind)];
        wchar_t className[64] = {};
        GetClassNameW(c, className, 64);
        EXPECT_STREQ(className, native.className);
        EXPECT_EQ(GetWindowLongW(c, GWL_STYLE) & native.mask, native.style);
        const bool combo = native.className == std::wstring(L"ComboBox");
        // A combo box's text is what the form picked.
        if (!combo) {
            EXPECT_EQ(test::textOf(c), reinterpret_cast<const wchar_t*>(d.text));
        }
        // The removal names the label type by its option's caption, as the form reads it back.
        if (const int option = window::optionIndex(d.id); option >= 0) {
            EXPECT_EQ(w.controls.optionCaption(option), d.text);
        }
        EXPECT_EQ(IsWindowVisible(c) != FALSE, d.page < 0 || d.page == page());

        const window::TwipRect twips = window::clientTwips(d);
        const RECT r = inClient(w.controls.handle(), c);
        EXPECT_EQ(std::tuple(r.left, r.top, r.right - r.left),
                  std::tuple(px(twips.left), px(twips.top), px(twips.width)));
        const int height = r.bottom - r.top;
        if (d.kind == ControlKind::Caption || d.kind == ControlKind::TextBox || combo) {
            // As designed where the face leaves room for a line, else just tall enough.
            RECT room;
            GetClientRect(c, &room);
            EXPECT_GE(combo ? SendMessageW(c, CB_GETITEMHEIGHT, -1, 0) : room.bottom, line);
            EXPECT_GE(height, px(twips.height));
            EXPECT_LE(height, std::max(px(twips.height), line + 8));
        } else {
            EXPECT_EQ(height, px(twips.height));
        }
    }
    for (HWND c = GetWindow(w.controls.handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        children.push_back(c);
    }
    EXPECT_EQ(children, expected);

    HWND rotation = control(ControlId::cboLabelRotation);
    std::vector<std::wstring> items;
    for (int i = 0; i < SendMessageW(rotation, CB_GETCOUNT, 0, 0); ++i) {
        wchar_t item[16] = {};
        SendMessageW(rotation, CB_GETLBTEXT, i, reinterpret_cast<LPARAM>(item));
        items.emplace_back(item);
    }
    EXPECT_EQ(items, (std::vector<std::wstring>{L"00", L"90", L"180", L"270"}));
}

// The Tab key in increasing tab index over what can take the focus: the chosen option only,
// and only the controls of the page in front.
TEST_F(Window, TabKeyFollowsTheTabIndexes) {
    // The window opens with the focus on the chosen option, the cycle's first stop.
    EXPECT_EQ(GetFocus(), control(ControlId::optLabelType_1));
    struct Case {
        ControlId option;
        int page;
    };
    for (const Case c : {Case{ControlId::optLabelType_1, 0}, Case{ControlId::optLabelType_0, 1},
                         Case{ControlId::optLabelType_2, 2}, Case{ControlId::optLabelType_0, 0}}) {
        SCOPED_TRACE(testing::Message()
                     << "option " << static_cast<int>(c.option) << ", page " << c.page);
        w.click(c.option);
        w.controls.setCurrentPage(c.page);
        SetFocus(control(c.option));
        std::vector<HWND> expected, visited;
        for (const ControlDescription& d : window::windowDescription()) {
            HWND h = control(d.id);
            const bool otherOption = window::optionIndex(d.id) >= 0 && d.id != c.option;
            const bool takesFocus = d.kind != ControlKind::Frame && d.kind != ControlKind::Caption;
            if (takesFocus && IsWindowVisible(h) && IsWindowEnabled(h) && !otherOption) {
                expected.push_back(h);
            }
        }
        for (std::size_t i = 0; i < expected.size(); ++i) {
            HWND focus = GetFocus();
            // A combo box's focus lies in its edit field.
            visited.push_back(GetParent(focus) == w.controls.handle() ? focus : GetParent(focus));
            w.press(VK_TAB);
        }
        EXPECT_EQ(visited, expected);
        EXPECT_EQ(GetFocus(), control(c.option)) << "the cycle comes back to the option";
    }
}

TEST_F(Window, ArrowKeysChooseTheNextOptionAndRunItsHandler) {
    SetFocus(control(ControlId::optLabelType_1));
    w.press(VK_RIGHT);
    EXPECT_EQ(w.form.labelTypeIndex(), 2);
    EXPECT_EQ(page(), window::netClassesPage);
    EXPECT_EQ(GetWindowLongW(control(ControlId::optLabelType_2), GWL_STYLE) & WS_TABSTOP,
              WS_TABSTOP);
    EXPECT_EQ(GetWindowLongW(control(ControlId::optLabelType_1), GWL_STYLE) & WS_TABSTOP, 0);
}

// Pages 1 and 2 are unavailable at start (pin numbers); under net classes page 1 only.
TEST_F(Window, TheUserCannotBringAnUnavailablePageToTheFront) {
    HWND tabs = control(ControlId::tabObjList);
    const auto clickTab = [&](int tab) {
        RECT item;
        TabCtrl_GetItemRect(tabs, tab, &item);
        const LPARAM at = MAKELPARAM((item.left + item.right) / 2, (item.top + item.bottom) / 2);
        PostMessageW(tabs, WM_LBUTTONDOWN, MK_LBUTTON, at);
        PostMessageW(tabs, WM_LBUTTONUP, 0, at);
        w.pump();
    };
    const auto arrowRight = [&] {
        SetFocus(tabs);
        w.press(VK_RIGHT);
    };
    ASSERT_EQ(page(), window::componentsPage);
    clickTab(1);
    clickTab(2);
    SendMessageW(tabs, TCM_SETCURFOCUS, 2, 0);
    arrowRight();
    EXPECT_EQ(page(), window::componentsPage);
    EXPECT_TRUE(IsWindowVisible(control(ControlId::lstCompList)));

    w.click(ControlId::optLabelType_2);
    ASSERT_EQ(page(), window::netClassesPage);
    clickTab(0);
    EXPECT_EQ(page(), window::componentsPage);
    clickTab(1);
    EXPECT_EQ(page(), window::componentsPage);
    arrowRight(); // past the unavailable nets page
    EXPECT_EQ(page(), window::netClassesPage);
    EXPECT_TRUE(IsWindowVisible(control(ControlId::lstNetClassList)));
    EXPECT_FALSE(IsWindowVisible(control(ControlId::lstCompList)));

    // The program itself brings any page to the front.
    w.controls.setCurrentPage(window::netsPage);
    EXPECT_EQ(page(), window::netsPage);
    EXPECT_TRUE(IsWindowVisible(control(ControlId::cmdLocateNet)));
    EXPECT_FALSE(IsWindowVisible(control(ControlId::lstNetClassList)));
}

// Ctrl+Tab and Ctrl+Shift+Tab reach the form from a control outside the tab control too, and
// pass the page a click is refused; Ctrl+A selects the whole list with the focus, as the form
// reads it.
TEST_F(Window, CtrlTabSwitchesPagesAndCtrlASelectsAList) {
    w.click(ControlId::optLabelType_2);
    HWND field = control(ControlId::txtLabelOffsetX);
    SetFocus(field);
    const std::pair<bool, int> presses[] = {{false, 0}, {false, 2}, {true, 0}, {true, 2}};
    for (const auto& [backwards, expected] : presses) {
        if (backwards) {
            w.press(VK_TAB, {VK_CONTROL, VK_SHIFT});
        } else {
            w.press(VK_TAB, {VK_CONTROL});
        }
        EXPECT_EQ(page(), expected);
        EXPECT_EQ(GetFocus(), field) << "the key stayed away from the dialog manager";
    }
    HWND list = control(ControlId::lstNetClassList);
    const auto selection = [&] {
        using window::ListBox;
        return std::pair(w.controls.listSelected(ListBox::lstNetClassList, 0),
                         w.controls.listSelected(ListBox::lstNetClassList, 1));
    };
    SetFocus(list);
    SendMessageW(list, LB_SETSEL, TRUE, 1);
    EXPECT_EQ(selection(), std::pair(false, true));
    w.press('A', {VK_CONTROL});
    EXPECT_EQ(selection(), std::pair(true, true));
}

// The fields that take numbers filter each typed character before the field sees it (the
// rotation takes no sign), and have no input method; every other control keeps its own.
TEST_F(Window, NumberFieldsFilterTypedCharactersAndTakeNoInputMethod) {
    for (const ControlDescription& d : window::windowDescription()) {
        SCOPED_TRACE(d.name);
        HWND field = control(d.id);
        COMBOBOXINFO combo{};
        combo.cbSize = sizeof combo;
        if (d.kind == ControlKind::EditableCombo && GetComboBoxInfo(field, &combo)) {
            field = combo.hwndItem;
        }
        HIMC context = ImmGetContext(field);
        EXPECT_EQ(context == nullptr, d.keyPress != nullptr);
        ImmReleaseContext(field, context);
        if (d.keyPress) {
            SetWindowTextW(field, L"");
            SetFocus(field);
            w.type(field, L"-1a2.,e E+3\x4E2D\r\x1B\x01");
            SendMessageW(field, EM_SETSEL, 0, 0); // Ctrl+A may have selected it all
            EXPECT_EQ(test::textOf(field),
                      d.kind == ControlKind::EditableCombo ? L"12.3" : L"-12.3");
        }
    }
    EXPECT_EQ(w.controls.rotationText(), u"12.3");
    HWND field = control(ControlId::txtLabelOffsetX);
    SetWindowTextW(field, L"");
    w.type(field, L"45\b");
    EXPECT_EQ(test::textOf(field), L"4");
}

TEST_F(Window, AFixedDialogWithoutTaskbarButton) {
    HWND window = w.controls.handle();
    EXPECT_EQ(test::textOf(window), L"Tagwright ");
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    HMENU menu = GetSystemMenu(window, FALSE);
    for (const UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE}) {
        EXPECT_EQ(GetMenuState(menu, command, MF_BYCOMMAND), static_cast<UINT>(-1)) << command;
    }
    EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
    const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    EXPECT_NE(exStyle & WS_EX_DLGMODALFRAME, 0);
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0);
    HWND owner = GetWindow(window, GW_OWNER);
    ASSERT_NE(owner, nullptr) << "an owned window has no taskbar button";
    EXPECT_FALSE(IsWindowVisible(owner));
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);
}

// Every control in a 9-point face that has glyphs for the captions' Chinese.
TEST_F(Window, EveryControlUsesAFaceThatDrawsChinese) {
    HWND frame = control(ControlId::Frame1);
    const auto fontOf = [](HWND c) { return SendMessageW(c, WM_GETFONT, 0, 0); };
    ASSERT_NE(fontOf(frame), 0);
    for (HWND c = GetWindow(w.controls.handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT)) {
        EXPECT_EQ(fontOf(c), fontOf(frame)) << GetDlgCtrlID(c);
    }
    const LOGFONTW face = faceOf(frame);
    EXPECT_EQ(face.lfHeight, -12);
    EXPECT_STREQ(face.lfFaceName, window::win32::DialogFont::chosenFace().lfFaceName);
    EXPECT_EQ(missingGlyphs(face), 0) << "face " << face.lfFaceName;
}

// Without the designed faces, and with a last resort that draws no Chinese, the search still
// ends on a face that draws every caption.
TEST(DialogFontFallback, FindsAChineseFaceWithoutTheDesignedOnes) {
    LOGFONTW noChinese{};
    wcscpy(noChinese.lfFaceName, L"Marlett");
    noChinese.lfCharSet = SYMBOL_CHARSET;
    ASSERT_GT(missingGlyphs(noChinese), 0);
    const std::vector<std::vector<const wchar_t*>> designed = {
        {}, {L"Tagwright Missing Face"}, {L"Marlett", L"Tagwright Missing Face"}};
    for (const auto& names : designed) {
        SCOPED_TRACE(names.size());
        const LOGFONTW chosen = window::win32::DialogFont::chosenFace(names, noChinese);
        EXPECT_STRNE(chosen.lfFaceName, L"Marlett");
        EXPECT_EQ(missingGlyphs(chosen), 0);
    }
}

// The client area as designed at 96 dpi, and a monitor of 144 dpi: places, sizes and the font
// scale by 1.5.
TEST_F(Window, ScalesWithTheMonitorDpi) {
    const auto client = [&] {
        RECT r;
        GetClientRect(w.controls.handle(), &r);
        return std::pair(r.right, r.bottom);
    };
    EXPECT_EQ(client(), std::pair(353L, 310L));
    setDpi(144);
    EXPECT_EQ(client(), std::pair(530L, 465L));
    const RECT add = inClient(w.controls.handle(), control(ControlId::cmdAddLabel));
    EXPECT_EQ(std::tuple(add.left, add.top, add.right - add.left, add.bottom - add.top),
              std::tuple(408L, 228L, 110L, 38L));
    EXPECT_EQ(faceOf(control(ControlId::cmdAddLabel)).lfHeight, -18);
    setDpi(96);
    EXPECT_EQ(client(), std::pair(353L, 310L));
}

// The tabs as the tab control draws them. The darkest pixel of each caption: an unavailable
// one is drawn lighter. The dotted frame inside the focused tab, only while the tab control
// has the focus and the system shows focus cues (asked with WM_QUERYUISTATE; Wine keeps no
// such state, so the answer is put in front of the control's own).
TEST_F(Window, TabsDrawUnavailableCaptionsGreyAndTheFocusRectangle) {
    HWND tabs = control(ControlId::tabObjList);
    int darkest[3] = {};
    for (int tab = 0; tab < 3; ++tab) {
        darkest[tab] = 255 * 3;
        for (const COLORREF c : printedTab(tabs, tab, 2)) {
            darkest[tab] = std::min(darkest[tab], GetRValue(c) + GetGValue(c) + GetBValue(c));
        }
    }
    EXPECT_LT(darkest[0] + 150, darkest[1]);
    EXPECT_LT(darkest[0] + 150, darkest[2]);

    static LRESULT uiState = 0;
    const auto answerUiState = [](HWND window, UINT message, WPARAM wParam, LPARAM lParam, UINT_PTR,
                                  DWORD_PTR) -> LRESULT {
        return message == WM_QUERYUISTATE ? uiState
                                          : DefSubclassProc(window, message, wParam, lParam);
    };
    SetWindowSubclass(tabs, answerUiState, 99, 0);
    const auto tabPixels = [&] { return printedTab(tabs, TabCtrl_GetCurFocus(tabs), 0); };
    SetFocus(control(ControlId::cmdClose));
    const auto unfocused = tabPixels();
    struct Case {
        bool focused;
        LRESULT uiState;
        bool drawn;
    };
    for (const Case c :
         {Case{true, 0, true}, Case{true, UISF_HIDEFOCUS, false}, Case{false, 0, false}}) {
        SCOPED_TRACE(testing::Message() << "focused " << c.focused << ", state " << c.uiState);
        uiState = c.uiState;
        SetFocus(control(c.focused ? ControlId::tabObjList : ControlId::cmdClose));
        w.pump();
        EXPECT_EQ(tabPixels() != unfocused, c.drawn);
    }
    RemoveWindowSubclass(tabs, answerUiState, 99);
}

// A list scrolls across its widest entry, filled at once (across a dpi change) or entry by
// entry, and the layer list drops down as wide as its widest name, in the font of each dpi.
TEST_F(Window, ListsReachTheirWidestEntryAtEveryDpi) {
    using window::ListBox;
    const std::u16string longest = u"U1234_THE_WIDEST_PART_NAME_ON_THE_BOARD_电源";
    auto& c = w.controls;
    c.listFillBegin(ListBox::lstCompList);
    c.listAppend(ListBox::lstCompList, u"R1");
    setDpi(144);
    c.listAppend(ListBox::lstCompList, longest);
    c.listFillEnd(ListBox::lstCompList);
    c.listClear(ListBox::lstNetList);
    c.listAppend(ListBox::lstNetList, u"GND");
    c.listAppend(ListBox::lstNetList, longest);
    c.layerClear();
    c.layerAppend(u"Top");
    c.layerAppend(longest);
    HWND layers = control(ControlId::cboLabelLayer);
    for (const UINT dpi : {144u, 96u, 144u}) {
        SCOPED_TRACE(dpi);
        if (dpi != c.dpi()) {
            setDpi(dpi);
        }
        const int width =
            textWidth(c.font().handle(), reinterpret_cast<const wchar_t*>(longest.c_str()));
        const int slack = MulDiv(40, static_cast<int>(dpi), 96);
        for (const ControlId id : {ControlId::lstCompList, ControlId::lstNetList}) {
            HWND list = control(id);
            EXPECT_NE(GetWindowLongW(list, GWL_STYLE) & WS_HSCROLL, 0);
            const auto extent = static_cast<int>(SendMessageW(list, LB_GETHORIZONTALEXTENT, 0, 0));
            EXPECT_GE(extent, width);
            EXPECT_LE(extent, width + slack);
        }
        const auto dropped = static_cast<int>(SendMessageW(layers, CB_GETDROPPEDWIDTH, 0, 0));
        EXPECT_GE(dropped, width + GetSystemMetrics(SM_CXVSCROLL));
        EXPECT_LE(dropped, width + 2 * slack);
    }
    c.listClear(ListBox::lstCompList);
    EXPECT_EQ(SendMessageW(control(ControlId::lstCompList), LB_GETHORIZONTALEXTENT, 0, 0), 0);
}

TEST_F(Window, BusyCursorWhileARunWorks) {
    HWND window = w.controls.handle();
    HWND list = control(ControlId::lstCompList);
    const auto cursorOver = [&](HWND over) {
        SendMessageW(over, WM_SETCURSOR, reinterpret_cast<WPARAM>(over),
                     MAKELPARAM(HTCLIENT, WM_MOUSEMOVE));
        return GetCursor();
    };
    w.controls.setBusy(true);
    EXPECT_EQ(cursorOver(list), LoadCursorW(nullptr, IDC_WAIT));
    EXPECT_EQ(cursorOver(window), LoadCursorW(nullptr, IDC_WAIT));
    w.controls.setBusy(false);
    EXPECT_EQ(cursorOver(window), LoadCursorW(nullptr, IDC_ARROW));
}

// Destroyed from outside (its owner goes first), the window leaves the object nothing to
// reach or to destroy again.
TEST(Win32WindowHandles, AWindowDestroyedFromOutsideIsLetGo) {
    window::win32::Win32Window controls;
    HWND window = controls.handle();
    DestroyWindow(GetWindow(window, GW_OWNER));
    EXPECT_FALSE(IsWindow(window));
    EXPECT_EQ(controls.handle(), nullptr);
    EXPECT_EQ(controls.control(ControlId::cmdAddLabel), nullptr);
}

} // namespace
