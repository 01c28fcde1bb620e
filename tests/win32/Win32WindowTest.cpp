// The native window's widgets: what each control is and where, the Tab order, the tab control
// that refuses unavailable pages, the key filters, the fonts and the frame. Behaviour behind
// the events belongs to the form and is tested there.
#include "WindowHarness.h"

#include "window/win32/DialogFont.h"

#include <commctrl.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

using namespace tagwright;
using window::win32::ControlId;

namespace {

struct Window : testing::Test {
    void SetUp() override { ASSERT_TRUE(w.loadAndShow()); }
    HWND control(ControlId id) const { return w.controls.control(id); }
    int page() const { return w.controls.currentPage(); }
    test::NativeWindow w;
};

// The window as designed: twips relative to the container, 15 to a pixel at 96 dpi.
struct Designed {
    ControlId id;
    const wchar_t* className;
    LONG kindStyle; // the style bits that make the kind
    const wchar_t* caption;
    ControlId container; // 0: the window
    int left, top, width, height;
};
constexpr ControlId onWindow = ControlId(0);
const Designed description[] = {
    {ControlId::Frame1, L"Button", BS_GROUPBOX, L"标注类型", onWindow, 120, 120, 5055, 660},
    {ControlId::Frame2, L"Button", BS_GROUPBOX, L"距焊盘偏移量", onWindow, 120, 960, 1335, 1095},
    {ControlId::Frame4, L"Button", BS_GROUPBOX, L"标注字体", onWindow, 1640, 960, 1455, 1095},
    {ControlId::Label3, L"Static", SS_LEFT, L"旋 转", onWindow, 3240, 1155, 615, 255},
    {ControlId::cboLabelRotation, L"ComboBox", CBS_DROPDOWN, L"00", onWindow, 3840, 1080, 975, 345},
    {ControlId::Label1, L"Static", SS_LEFT, L"标注层", onWindow, 3240, 1515, 615, 255},
    {ControlId::cboLabelLayer, L"ComboBox", CBS_DROPDOWNLIST, L"Top", onWindow, 3240, 1755, 1935,
     300},
    {ControlId::tabObjList, L"SysTabControl32", TCS_OWNERDRAWFIXED, L"", onWindow, 120, 2160, 3615,
     2415},
    {ControlId::cmdAddLabel, L"Button", BS_PUSHBUTTON, L"标  注", onWindow, 4080, 2280, 1095, 375},
    {ControlId::cmdDeleteLabel, L"Button", BS_PUSHBUTTON, L"删  除", onWindow, 4080, 2700, 1095,
     375},
    {ControlId::cmdUpdateList, L"Button", BS_PUSHBUTTON, L"更新列表", onWindow, 4080, 3120, 1095,
     375},
    {ControlId::cmdHelp, L"Button", BS_PUSHBUTTON, L"帮  助", onWindow, 4080, 3540, 1095, 375},
    {ControlId::cmdClose, L"Button", BS_PUSHBUTTON, L"关  闭", onWindow, 4080, 3960, 1095, 375},
    {ControlId::optLabelType_0, L"Button", BS_AUTORADIOBUTTON, L"网络名称", ControlId::Frame1, 240,
     280, 1095, 255},
    {ControlId::optLabelType_1, L"Button", BS_AUTORADIOBUTTON, L"管脚号", ControlId::Frame1, 1920,
     280, 855, 255},
    {ControlId::optLabelType_2, L"Button", BS_AUTORADIOBUTTON, L"网络类型", ControlId::Frame1, 3480,
     280, 1095, 255},
    {ControlId::Label4_0, L"Static", SS_LEFT, L"X", ControlId::Frame2, 180, 405, 135, 255},
    {ControlId::txtLabelOffsetX, L"Edit", ES_LEFT, L"", ControlId::Frame2, 400, 360, 495, 270},
    {ControlId::Label5_0, L"Static", SS_LEFT, L"mil", ControlId::Frame2, 980, 360, 255, 255},
    {ControlId::Label4_1, L"Static", SS_LEFT, L"Y", ControlId::Frame2, 180, 765, 135, 255},
    {ControlId::txtLabelOffsetY, L"Edit", ES_LEFT, L"", ControlId::Frame2, 400, 720, 495, 270},
    {ControlId::Label5_1, L"Static", SS_LEFT, L"mil", ControlId::Frame2, 980, 720, 255, 255},
    {ControlId::Label4_3, L"Static", SS_LEFT, L"高度", ControlId::Frame4, 140, 400, 375, 255},
    {ControlId::txtLabelFontH, L"Edit", ES_LEFT, L"15", ControlId::Frame4, 600, 360, 380, 270},
    {ControlId::Label5_3, L"Static", SS_LEFT, L"mil", ControlId::Frame4, 1020, 375, 255, 255},
    {ControlId::Label4_2, L"Static", SS_LEFT, L"线宽", ControlId::Frame4, 140, 765, 375, 180},
    {ControlId::txtLabelFontW, L"Edit", ES_LEFT, L"1", ControlId::Frame4, 600, 720, 380, 270},
    {ControlId::Label5_2, L"Static", SS_LEFT, L"mil", ControlId::Frame4, 1020, 735, 255, 255},
    {ControlId::lstCompList, L"ListBox", LBS_EXTENDEDSEL, L"", ControlId::tabObjList, 80, 480, 1455,
     1860},
    {ControlId::chkSelectedComp, L"Button", BS_AUTOCHECKBOX, L"标注选中器件", ControlId::tabObjList,
     1800, 600, 1455, 375},
    {ControlId::chkUnUsedPins, L"Button", BS_AUTOCHECKBOX, L"无网络管脚", ControlId::tabObjList,
     1800, 960, 1455, 375},
    {ControlId::chkVias, L"Button", BS_AUTOCHECKBOX, L"过孔", ControlId::tabObjList, 1800, 1320,
     1095, 375},
    {ControlId::cmdLocateComp, L"Button", BS_PUSHBUTTON, L"定 位", ControlId::tabObjList, 1800,
     1800, 735, 255},
    {ControlId::lstNetList, L"ListBox", LBS_EXTENDEDSEL, L"", ControlId::tabObjList, 80, 480, 1455,
     1860},
    {ControlId::chkSelectedNets, L"Button", BS_AUTOCHECKBOX, L"标注选中网络", ControlId::tabObjList,
     1800, 600, 1455, 375},
    {ControlId::cmdLocateNet, L"Button", BS_PUSHBUTTON, L"定 位", ControlId::tabObjList, 1800, 1080,
     735, 255},
    {ControlId::lstNetClassList, L"ListBox", LBS_EXTENDEDSEL, L"", ControlId::tabObjList, 80, 480,
     1455, 1860},
    {ControlId::chkSelectedNetClasses, L"Button", BS_AUTOCHECKBOX, L"标注选中类型",
     ControlId::tabObjList, 1800, 600, 1455, 375},
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

TEST_F(Window, EveryControlHasItsKindCaptionAndPlace) {
    const int line = w.controls.font().lineHeight();
    std::vector<HWND> seen;
    for (const Designed& d : description) {
        SCOPED_TRACE(testing::Message() << "control " << d.id);
        HWND c = control(d.id);
        ASSERT_NE(c, nullptr);
        seen.push_back(c);
        wchar_t className[64] = {};
        GetClassNameW(c, className, 64);
        EXPECT_STREQ(className, d.className);
        const LONG style = GetWindowLongW(c, GWL_STYLE);
        const LONG kindMask = d.className == std::wstring(L"Button")     ? BS_TYPEMASK
                              : d.className == std::wstring(L"ComboBox") ? 3
                                                                         : d.kindStyle;
        EXPECT_EQ(style & kindMask, d.kindStyle);
        EXPECT_EQ(test::textOf(c), d.caption);

        int left = d.left, top = d.top;
        if (d.container != onWindow) {
            const Designed& box = *std::ranges::find(description, d.container, &Designed::id);
            left += box.left;
            top += box.top;
        }
        const RECT r = inClient(w.controls.handle(), c);
        EXPECT_EQ(r.left, px(left));
        EXPECT_EQ(r.top, px(top));
        EXPECT_EQ(r.right - r.left, px(d.width));
        const int height = r.bottom - r.top;
        const std::wstring kind = className;
        if (kind == L"Static" || kind == L"Edit" || kind == L"ComboBox") {
            // As designed where the face leaves room for a line, else just tall enough.
            RECT room;
            GetClientRect(c, &room);
            const int textRoom = kind == L"ComboBox"
                                     ? static_cast<int>(SendMessageW(c, CB_GETITEMHEIGHT, -1, 0))
                                     : room.bottom;
            EXPECT_GE(height, px(d.height));
            EXPECT_GE(textRoom, line);
            EXPECT_LE(height, std::max(px(d.height), line + 8));
        } else {
            EXPECT_EQ(height, px(d.height));
        }
    }
    // Nothing else: every child is in the description.
    int children = 0;
    for (HWND c = GetWindow(w.controls.handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        ++children;
    EXPECT_EQ(children, static_cast<int>(seen.size()));
}

TEST_F(Window, ListsAndCombosKeepTheOrderTheyAreGiven) {
    for (const ControlId list :
         {ControlId::lstCompList, ControlId::lstNetList, ControlId::lstNetClassList}) {
        const LONG style = GetWindowLongW(control(list), GWL_STYLE);
        EXPECT_EQ(style & LBS_SORT, 0);
        EXPECT_NE(style & LBS_EXTENDEDSEL, 0);
    }
    EXPECT_EQ(GetWindowLongW(control(ControlId::cboLabelLayer), GWL_STYLE) & CBS_SORT, 0);
    EXPECT_EQ(w.controls.listText(window::ListBox::lstCompList, 0), u"U1");
    EXPECT_EQ(w.controls.listText(window::ListBox::lstCompList, 1), u"R1");
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
    const ControlId byTabIndex[] = {ControlId::optLabelType_0,  ControlId::optLabelType_1,
                                    ControlId::optLabelType_2,  ControlId::cboLabelLayer,
                                    ControlId::txtLabelOffsetX, ControlId::txtLabelOffsetY,
                                    ControlId::cmdAddLabel,     ControlId::cmdDeleteLabel,
                                    ControlId::cmdHelp,         ControlId::cboLabelRotation,
                                    ControlId::txtLabelFontW,   ControlId::txtLabelFontH,
                                    ControlId::cmdUpdateList,   ControlId::tabObjList,
                                    ControlId::lstNetList,      ControlId::chkSelectedNets,
                                    ControlId::lstCompList,     ControlId::chkSelectedComp,
                                    ControlId::lstNetClassList, ControlId::chkSelectedNetClasses,
                                    ControlId::chkUnUsedPins,   ControlId::cmdClose,
                                    ControlId::chkVias,         ControlId::cmdLocateComp,
                                    ControlId::cmdLocateNet};
    // The window opens with the focus on the chosen option, the cycle's first stop.
    EXPECT_EQ(GetFocus(), control(ControlId::optLabelType_1));
    struct Case {
        ControlId option;
        int page;
    };
    for (const Case c : {Case{ControlId::optLabelType_1, 0}, Case{ControlId::optLabelType_0, 1},
                         Case{ControlId::optLabelType_2, 2}, Case{ControlId::optLabelType_0, 0}}) {
        SCOPED_TRACE(testing::Message() << "option " << c.option << ", page " << c.page);
        w.click(c.option);
        w.controls.setCurrentPage(c.page);
        SetFocus(control(c.option));
        std::vector<int> expected;
        for (const ControlId id : byTabIndex) {
            HWND h = control(id);
            const bool option = id == ControlId::optLabelType_0 ||
                                id == ControlId::optLabelType_1 || id == ControlId::optLabelType_2;
            const bool chosenOrNoOption = !option || id == c.option;
            if (IsWindowVisible(h) && IsWindowEnabled(h) && chosenOrNoOption)
                expected.push_back(id);
        }
        std::vector<int> visited;
        for (std::size_t i = 0; i < expected.size(); ++i) {
            HWND focus = GetFocus();
            // A combo box's focus lies in its edit field.
            if (GetParent(focus) != w.controls.handle())
                focus = GetParent(focus);
            visited.push_back(GetDlgCtrlID(focus));
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
    const auto arrow = [&](WPARAM key) {
        SetFocus(tabs);
        w.press(key);
    };
    ASSERT_EQ(page(), window::componentsPage);
    clickTab(1);
    EXPECT_EQ(page(), window::componentsPage);
    clickTab(2);
    EXPECT_EQ(page(), window::componentsPage);
    SendMessageW(tabs, TCM_SETCURFOCUS, 2, 0);
    EXPECT_EQ(page(), window::componentsPage);
    arrow(VK_RIGHT);
    EXPECT_EQ(page(), window::componentsPage);
    EXPECT_TRUE(IsWindowVisible(control(ControlId::lstCompList)));
    EXPECT_FALSE(IsWindowVisible(control(ControlId::lstNetList)));

    w.click(ControlId::optLabelType_2);
    ASSERT_EQ(page(), window::netClassesPage);
    clickTab(0);
    EXPECT_EQ(page(), window::componentsPage);
    clickTab(1);
    EXPECT_EQ(page(), window::componentsPage);
    arrow(VK_RIGHT); // past the unavailable nets page
    EXPECT_EQ(page(), window::netClassesPage);
    EXPECT_TRUE(IsWindowVisible(control(ControlId::lstNetClassList)));
    EXPECT_FALSE(IsWindowVisible(control(ControlId::lstCompList)));

    // The program itself brings any page to the front.
    w.controls.setCurrentPage(window::netsPage);
    EXPECT_EQ(page(), window::netsPage);
    EXPECT_TRUE(IsWindowVisible(control(ControlId::lstNetList)));
    EXPECT_TRUE(IsWindowVisible(control(ControlId::cmdLocateNet)));
    EXPECT_FALSE(IsWindowVisible(control(ControlId::lstNetClassList)));
}

// The darkest pixel of each tab's caption: an unavailable one is drawn lighter.
TEST_F(Window, AnUnavailablePageCaptionIsGreyed) {
    HWND tabs = control(ControlId::tabObjList);
    RECT area;
    GetClientRect(tabs, &area);
    HDC screen = GetDC(tabs);
    HDC memory = CreateCompatibleDC(screen);
    HBITMAP bitmap = CreateCompatibleBitmap(screen, area.right, area.bottom);
    ReleaseDC(tabs, screen);
    HGDIOBJ previous = SelectObject(memory, bitmap);
    SendMessageW(tabs, WM_PRINTCLIENT, reinterpret_cast<WPARAM>(memory),
                 PRF_CLIENT | PRF_ERASEBKGND);
    int darkest[3] = {};
    for (int tab = 0; tab < 3; ++tab) {
        RECT item;
        TabCtrl_GetItemRect(tabs, tab, &item);
        darkest[tab] = 255 * 3;
        for (int y = item.top + 2; y < item.bottom - 2; ++y) {
            for (int x = item.left + 2; x < item.right - 2; ++x) {
                const COLORREF c = GetPixel(memory, x, y);
                darkest[tab] = std::min(darkest[tab], GetRValue(c) + GetGValue(c) + GetBValue(c));
            }
        }
    }
    SelectObject(memory, previous);
    DeleteObject(bitmap);
    DeleteDC(memory);
    EXPECT_LT(darkest[0] + 150, darkest[1]);
    EXPECT_LT(darkest[0] + 150, darkest[2]);
}

// Each field's filter sees the typed characters before the field does.
TEST_F(Window, TypedCharactersPassTheFieldsFilters) {
    COMBOBOXINFO combo{};
    combo.cbSize = sizeof combo;
    GetComboBoxInfo(control(ControlId::cboLabelRotation), &combo);
    struct Case {
        HWND field;
        std::wstring typed, kept;
    };
    const std::wstring typed = L"-1a2.,e E+3\x4E2D\r\x1B\x01";
    const Case cases[] = {
        {control(ControlId::txtLabelFontH), typed, L"-12.3"},
        {control(ControlId::txtLabelFontW), typed, L"-12.3"},
        {control(ControlId::txtLabelOffsetX), typed, L"-12.3"},
        {control(ControlId::txtLabelOffsetY), typed, L"-12.3"},
        {combo.hwndItem, typed, L"12.3"},
        {control(ControlId::txtLabelOffsetX), L"45\b", L"4"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "field " << GetDlgCtrlID(c.field));
        SetWindowTextW(c.field, L"");
        SetFocus(c.field);
        w.type(c.field, c.typed);
        SendMessageW(c.field, EM_SETSEL, 0, 0); // Ctrl+A may have selected it all
        EXPECT_EQ(test::textOf(c.field), c.kept);
    }
    EXPECT_EQ(w.controls.rotationText(), u"12.3");
}

TEST_F(Window, AFixedDialogWithoutTaskbarButton) {
    HWND window = w.controls.handle();
    EXPECT_EQ(test::textOf(window), L"Tagwright ");
    const LONG style = GetWindowLongW(window, GWL_STYLE);
    EXPECT_EQ(style & (WS_CAPTION | WS_SYSMENU), WS_CAPTION | WS_SYSMENU);
    EXPECT_EQ(style & (WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX), 0);
    HMENU menu = GetSystemMenu(window, FALSE);
    for (const UINT command : {SC_SIZE, SC_MINIMIZE, SC_MAXIMIZE})
        EXPECT_EQ(GetMenuState(menu, command, MF_BYCOMMAND), static_cast<UINT>(-1)) << command;
    EXPECT_NE(GetMenuState(menu, SC_CLOSE, MF_BYCOMMAND), static_cast<UINT>(-1));
    const LONG exStyle = GetWindowLongW(window, GWL_EXSTYLE);
    EXPECT_NE(exStyle & WS_EX_DLGMODALFRAME, 0);
    EXPECT_EQ(exStyle & WS_EX_APPWINDOW, 0);
    HWND owner = GetWindow(window, GW_OWNER);
    ASSERT_NE(owner, nullptr) << "an owned window has no taskbar button";
    EXPECT_FALSE(IsWindowVisible(owner));
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 353);
    EXPECT_EQ(client.bottom, 310);
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_BIG, 0), 0);
    EXPECT_NE(SendMessageW(window, WM_GETICON, ICON_SMALL, 0), 0);
}

// Every control in a 9-point face that has glyphs for the captions' Chinese.
TEST_F(Window, EveryControlUsesAFaceThatDrawsChinese) {
    HFONT font =
        reinterpret_cast<HFONT>(SendMessageW(control(ControlId::Frame1), WM_GETFONT, 0, 0));
    ASSERT_NE(font, nullptr);
    for (HWND c = GetWindow(w.controls.handle(), GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        EXPECT_EQ(reinterpret_cast<HFONT>(SendMessageW(c, WM_GETFONT, 0, 0)), font)
            << GetDlgCtrlID(c);
    LOGFONTW face{};
    GetObjectW(font, sizeof face, &face);
    EXPECT_EQ(face.lfHeight, -12);
    const LOGFONTW chosen = window::win32::DialogFont::chosenFace();
    EXPECT_STREQ(face.lfFaceName, chosen.lfFaceName);

    HDC dc = GetDC(nullptr);
    HGDIOBJ previous = SelectObject(dc, font);
    const std::wstring chinese =
        L"标注类型距焊盘偏移量旋转层元器件网络管脚号删除更新列表帮助关闭定位过孔";
    std::vector<WORD> glyphs(chinese.size());
    GetGlyphIndicesW(dc, chinese.c_str(), static_cast<int>(chinese.size()), glyphs.data(),
                     GGI_MARK_NONEXISTING_GLYPHS);
    SelectObject(dc, previous);
    ReleaseDC(nullptr, dc);
    EXPECT_EQ(std::ranges::count(glyphs, WORD(0xFFFF)), 0)
        << "face "
        << std::string(chosen.lfFaceName, chosen.lfFaceName + wcslen(chosen.lfFaceName)).c_str();
}

// A monitor of 144 dpi: places, sizes and the font scale by 1.5.
TEST_F(Window, ScalesWithTheMonitorDpi) {
    HWND window = w.controls.handle();
    const auto moveTo = [&](UINT dpi) {
        RECT suggested;
        GetWindowRect(window, &suggested);
        SendMessageW(window, WM_DPICHANGED, MAKEWPARAM(dpi, dpi),
                     reinterpret_cast<LPARAM>(&suggested));
    };
    moveTo(144);
    RECT client;
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 530);
    EXPECT_EQ(client.bottom, 465);
    const RECT add = inClient(window, control(ControlId::cmdAddLabel));
    EXPECT_EQ(add.left, 408);
    EXPECT_EQ(add.top, 228);
    EXPECT_EQ(add.right - add.left, 110);
    EXPECT_EQ(add.bottom - add.top, 38);
    LOGFONTW face{};
    GetObjectW(
        reinterpret_cast<HFONT>(SendMessageW(control(ControlId::cmdAddLabel), WM_GETFONT, 0, 0)),
        sizeof face, &face);
    EXPECT_EQ(face.lfHeight, -18);

    moveTo(96);
    GetClientRect(window, &client);
    EXPECT_EQ(client.right, 353);
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

} // namespace
