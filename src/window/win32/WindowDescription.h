#pragma once

#include "window/win32/ControlIds.h"

#include <span>

namespace tagwright::window::win32 {

enum class ControlKind {
    Frame,
    Caption,
    Option,
    CheckBox,
    Button,
    TextBox,
    EditableCombo,
    DropDownList,
    ListBox,
    TabControl
};

// What a control's position is relative to.
enum class Container { Window, Frame1, Frame2, Frame4, TabObjList };

// One control of the window as designed. Positions and sizes are in twips (15 make a pixel at
// 96 dpi) relative to the container.
struct ControlDescription {
    ControlId id;
    const wchar_t* name;
    ControlKind kind;
    const wchar_t* caption;
    Container container;
    int page; // the tab page that holds the control, -1 for none
    int left, top, width, height;
    int tabIndex;
};

// Every control, in increasing tab index.
std::span<const ControlDescription> windowDescription();
const ControlDescription& describedControl(ControlId id);

// The window's client area in twips.
inline constexpr int clientWidthTwips = 5295;
inline constexpr int clientHeightTwips = 4650;
// The tab strip of tabObjList.
inline constexpr int tabStripHeightTwips = 295;
inline constexpr const wchar_t* pageCaptions[] = {L"元器件", L"网络", L"网络类型"};
inline constexpr const wchar_t* rotationItems[] = {L"00", L"90", L"180", L"270"};

// A control's rectangle in twips relative to the window's client area.
struct TwipRect {
    int left, top, width, height;
};
TwipRect clientTwips(const ControlDescription& control);

} // namespace tagwright::window::win32
