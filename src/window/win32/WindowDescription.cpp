#include "window/win32/WindowDescription.h"

#include <algorithm>
#include <stdexcept>

namespace tagwright::window::win32 {

namespace {

using enum ControlKind;
using enum Container;

// The window as designed. Captions are literal; the spaces inside them belong to them.
constexpr ControlDescription controls[] = {
    {ControlId::Frame1, L"Frame1", Frame, L"标注类型", Window, -1, 120, 120, 5055, 660, 0},
    {ControlId::optLabelType_0, L"optLabelType(0)", Option, L"网络名称", Frame1, -1, 240, 280, 1095,
     255, 1},
    {ControlId::optLabelType_1, L"optLabelType(1)", Option, L"管脚号", Frame1, -1, 1920, 280, 855,
     255, 2},
    {ControlId::optLabelType_2, L"optLabelType(2)", Option, L"网络类型", Frame1, -1, 3480, 280,
     1095, 255, 3},
    {ControlId::cboLabelLayer, L"cboLabelLayer", DropDownList, L"", Window, -1, 3240, 1755, 1935,
     300, 4},
    {ControlId::Label1, L"Label1", Caption, L"标注层", Window, -1, 3240, 1515, 615, 255, 5},
    {ControlId::Label3, L"Label3", Caption, L"旋 转", Window, -1, 3240, 1155, 615, 255, 6},
    {ControlId::Frame2, L"Frame2", Frame, L"距焊盘偏移量", Window, -1, 120, 960, 1335, 1095, 7},
    {ControlId::Label4_0, L"Label4(0)", Caption, L"X", Frame2, -1, 180, 405, 135, 255, 8},
    {ControlId::Label4_1, L"Label4(1)", Caption, L"Y", Frame2, -1, 180, 765, 135, 255, 9},
    {ControlId::txtLabelOffsetX, L"txtLabelOffsetX", TextBox, L"", Frame2, -1, 400, 360, 495, 270,
     10},
    {ControlId::txtLabelOffsetY, L"txtLabelOffsetY", TextBox, L"", Frame2, -1, 400, 720, 495, 270,
     11},
    {ControlId::Label5_0, L"Label5(0)", Caption, L"mil", Frame2, -1, 980, 360, 255, 255, 12},
    {ControlId::Label5_1, L"Label5(1)", Caption, L"mil", Frame2, -1, 980, 720, 255, 255, 13},
    {ControlId::cmdAddLabel, L"cmdAddLabel", Button, L"标  注", Window, -1, 4080, 2280, 1095, 375,
     14},
    {ControlId::cmdDeleteLabel, L"cmdDeleteLabel", Button, L"删  除", Window, -1, 4080, 2700, 1095,
     375, 15},
    {ControlId::cmdHelp, L"cmdHelp", Button, L"帮  助", Window, -1, 4080, 3540, 1095, 375, 16},
    {ControlId::cboLabelRotation, L"cboLabelRotation", EditableCombo, L"", Window, -1, 3840, 1080,
     975, 345, 17},
    {ControlId::Frame4, L"Frame4", Frame, L"标注字体", Window, -1, 1640, 960, 1455, 1095, 18},
    {ControlId::txtLabelFontW, L"txtLabelFontW", TextBox, L"1", Frame4, -1, 600, 720, 380, 270, 19},
    {ControlId::txtLabelFontH, L"txtLabelFontH", TextBox, L"15", Frame4, -1, 600, 360, 380, 270,
     20},
    {ControlId::Label5_2, L"Label5(2)", Caption, L"mil", Frame4, -1, 1020, 735, 255, 255, 21},
    {ControlId::Label5_3, L"Label5(3)", Caption, L"mil", Frame4, -1, 1020, 375, 255, 255, 22},
    {ControlId::Label4_2, L"Label4(2)", Caption, L"线宽", Frame4, -1, 140, 765, 375, 180, 23},
    {ControlId::Label4_3, L"Label4(3)", Caption, L"高度", Frame4, -1, 140, 400, 375, 255, 24},
    {ControlId::cmdUpdateList, L"cmdUpdateList", Button, L"更新列表", Window, -1, 4080, 3120, 1095,
     375, 25},
    {ControlId::tabObjList, L"tabObjList", TabControl, L"", Window, -1, 120, 2160, 3615, 2415, 26},
    {ControlId::lstNetList, L"lstNetList", ListBox, L"", TabObjList, 1, 80, 480, 1455, 1860, 27},
    {ControlId::chkSelectedNets, L"chkSelectedNets", CheckBox, L"标注选中网络", TabObjList, 1, 1800,
     600, 1455, 375, 28},
    {ControlId::lstCompList, L"lstCompList", ListBox, L"", TabObjList, 0, 80, 480, 1455, 1860, 29},
    {ControlId::chkSelectedComp, L"chkSelectedComp", CheckBox, L"标注选中器件", TabObjList, 0, 1800,
     600, 1455, 375, 30},
    {ControlId::lstNetClassList, L"lstNetClassList", ListBox, L"", TabObjList, 2, 80, 480, 1455,
     1860, 31},
    {ControlId::chkSelectedNetClasses, L"chkSelectedNetClasses", CheckBox, L"标注选中类型",
     TabObjList, 2, 1800, 600, 1455, 375, 32},
    {ControlId::chkUnUsedPins, L"chkUnUsedPins", CheckBox, L"无网络管脚", TabObjList, 0, 1800, 960,
     1455, 375, 33},
    {ControlId::cmdClose, L"cmdClose", Button, L"关  闭", Window, -1, 4080, 3960, 1095, 375, 34},
    {ControlId::chkVias, L"chkVias", CheckBox, L"过孔", TabObjList, 0, 1800, 1320, 1095, 375, 35},
    {ControlId::cmdLocateComp, L"cmdLocateComp", Button, L"定 位", TabObjList, 0, 1800, 1800, 735,
     255, 36},
    {ControlId::cmdLocateNet, L"cmdLocateNet", Button, L"定 位", TabObjList, 1, 1800, 1080, 735,
     255, 37},
};

static_assert(std::ranges::is_sorted(controls, {}, &ControlDescription::tabIndex));

} // namespace

std::span<const ControlDescription> windowDescription() {
    return controls;
}

const ControlDescription& describedControl(ControlId id) {
    const auto found = std::ranges::find(controls, id, &ControlDescription::id);
    if (found == std::end(controls))
        throw std::out_of_range("no such control");
    return *found;
}

TwipRect clientTwips(const ControlDescription& control) {
    const auto origin = [](Container container) -> TwipRect {
        const auto of = [](ControlId id) {
            const ControlDescription& c = describedControl(id);
            return TwipRect{c.left, c.top, c.width, c.height};
        };
        switch (container) {
        case Container::Frame1:
            return of(ControlId::Frame1);
        case Container::Frame2:
            return of(ControlId::Frame2);
        case Container::Frame4:
            return of(ControlId::Frame4);
        case Container::TabObjList:
            return of(ControlId::tabObjList);
        case Container::Window:
            break;
        }
        return {};
    };
    const TwipRect base = origin(control.container);
    return {base.left + control.left, base.top + control.top, control.width, control.height};
}

} // namespace tagwright::window::win32
