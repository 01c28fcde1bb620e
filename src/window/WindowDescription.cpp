#include "window/WindowDescription.h"

#include "window/frmTagwright.h"

#include <algorithm>
#include <iterator>
#include <stdexcept>

namespace tagwright::window {

namespace {

using enum ControlKind;
using enum Container;
using enum Face;

template <void (frmTagwright::*handler)()> void clicked(frmTagwright& form) {
    (form.*handler)();
}

template <std::int16_t index> void chose(frmTagwright& form) {
    form.optLabelType_Click(index);
}

template <void (frmTagwright::*handler)(std::int16_t&)>
void pressed(frmTagwright& form, std::int16_t& keyAscii) {
    (form.*handler)(keyAscii);
}

// The window as designed. Captions are literal; the spaces inside them belong to them.
constexpr ControlDescription controls[] = {
    {ControlId::Frame1, "Frame1", Frame, u"标注类型", Window, -1, 120, 120, 5055, 660, 0, nullptr,
     nullptr, SimSun},
    {ControlId::optLabelType_0, "optLabelType(0)", Option, u"网络名称", Frame1, -1, 240, 280, 1095,
     255, 1, chose<0>},
    {ControlId::optLabelType_1, "optLabelType(1)", Option, u"管脚号", Frame1, -1, 1920, 280, 855,
     255, 2, chose<1>},
    {ControlId::optLabelType_2, "optLabelType(2)", Option, u"网络类型", Frame1, -1, 3480, 280, 1095,
     255, 3, chose<2>},
    {ControlId::cboLabelLayer, "cboLabelLayer", DropDownList, u"", Window, -1, 3240, 1755, 1935,
     300, 4, nullptr, nullptr, SimSun},
    {ControlId::Label1, "Label1", Caption, u"标注层", Window, -1, 3240, 1515, 615, 255, 5, nullptr,
     nullptr, SimSun},
    {ControlId::Label3, "Label3", Caption, u"旋 转", Window, -1, 3240, 1155, 615, 255, 6, nullptr,
     nullptr, SimSun},
    {ControlId::Frame2, "Frame2", Frame, u"距焊盘偏移量", Window, -1, 120, 960, 1335, 1095, 7,
     nullptr, nullptr, SimSun},
    {ControlId::Label4_0, "Label4(0)", Caption, u"X", Frame2, -1, 180, 405, 135, 255, 8},
    {ControlId::Label4_1, "Label4(1)", Caption, u"Y", Frame2, -1, 180, 765, 135, 255, 9},
    {ControlId::txtLabelOffsetX, "txtLabelOffsetX", TextBox, u"", Frame2, -1, 400, 360, 495, 270,
     10, nullptr, pressed<&frmTagwright::txtLabelOffsetX_KeyPress>},
    {ControlId::txtLabelOffsetY, "txtLabelOffsetY", TextBox, u"", Frame2, -1, 400, 720, 495, 270,
     11, nullptr, pressed<&frmTagwright::txtLabelOffsetY_KeyPress>},
    {ControlId::Label5_0, "Label5(0)", Caption, u"mil", Frame2, -1, 980, 360, 255, 255, 12},
    {ControlId::Label5_1, "Label5(1)", Caption, u"mil", Frame2, -1, 980, 720, 255, 255, 13},
    {ControlId::cmdAddLabel, "cmdAddLabel", Button, u"标  注", Window, -1, 4080, 2280, 1095, 375,
     14, clicked<&frmTagwright::cmdAddLabel_Click>, nullptr, SimSun},
    {ControlId::cmdDeleteLabel, "cmdDeleteLabel", Button, u"删  除", Window, -1, 4080, 2700, 1095,
     375, 15, clicked<&frmTagwright::cmdDeleteLabel_Click>, nullptr, SimSun},
    {ControlId::cmdHelp, "cmdHelp", Button, u"帮  助", Window, -1, 4080, 3540, 1095, 375, 16,
     clicked<&frmTagwright::cmdHelp_Click>, nullptr, SimSun},
    {ControlId::cboLabelRotation, "cboLabelRotation", EditableCombo, u"", Window, -1, 3840, 1080,
     975, 345, 17, nullptr, pressed<&frmTagwright::cboLabelRotation_KeyPress>},
    {ControlId::Frame4, "Frame4", Frame, u"标注字体", Window, -1, 1640, 960, 1455, 1095, 18,
     nullptr, nullptr, SimSun},
    {ControlId::txtLabelFontW, "txtLabelFontW", TextBox, u"1", Frame4, -1, 600, 720, 380, 270, 19,
     nullptr, pressed<&frmTagwright::txtLabelFontW_KeyPress>},
    {ControlId::txtLabelFontH, "txtLabelFontH", TextBox, u"15", Frame4, -1, 600, 360, 380, 270, 20,
     nullptr, pressed<&frmTagwright::txtLabelFontH_KeyPress>},
    {ControlId::Label5_2, "Label5(2)", Caption, u"mil", Frame4, -1, 1020, 735, 255, 255, 21},
    {ControlId::Label5_3, "Label5(3)", Caption, u"mil", Frame4, -1, 1020, 375, 255, 255, 22},
    {ControlId::Label4_2, "Label4(2)", Caption, u"线宽", Frame4, -1, 140, 765, 375, 180, 23},
    {ControlId::Label4_3, "Label4(3)", Caption, u"高度", Frame4, -1, 140, 400, 375, 255, 24},
    {ControlId::cmdUpdateList, "cmdUpdateList", Button, u"更新列表", Window, -1, 4080, 3120, 1095,
     375, 25, clicked<&frmTagwright::cmdUpdateList_Click>, nullptr, SimSun},
    {ControlId::tabObjList, "tabObjList", TabControl, u"", Window, -1, 120, 2160, 3615, 2415, 26},
    {ControlId::lstNetList, "lstNetList", ListBox, u"", TabObjList, 1, 80, 480, 1455, 1860, 27},
    {ControlId::chkSelectedNets, "chkSelectedNets", CheckBox, u"标注选中网络", TabObjList, 1, 1800,
     600, 1455, 375, 28},
    {ControlId::lstCompList, "lstCompList", ListBox, u"", TabObjList, 0, 80, 480, 1455, 1860, 29},
    {ControlId::chkSelectedComp, "chkSelectedComp", CheckBox, u"标注选中器件", TabObjList, 0, 1800,
     600, 1455, 375, 30},
    {ControlId::lstNetClassList, "lstNetClassList", ListBox, u"", TabObjList, 2, 80, 480, 1455,
     1860, 31},
    {ControlId::chkSelectedNetClasses, "chkSelectedNetClasses", CheckBox, u"标注选中类型",
     TabObjList, 2, 1800, 600, 1455, 375, 32},
    {ControlId::chkUnUsedPins, "chkUnUsedPins", CheckBox, u"无网络管脚", TabObjList, 0, 1800, 960,
     1455, 375, 33},
    {ControlId::cmdClose, "cmdClose", Button, u"关  闭", Window, -1, 4080, 3960, 1095, 375, 34,
     clicked<&frmTagwright::cmdClose_Click>, nullptr, SimSun},
    {ControlId::chkVias, "chkVias", CheckBox, u"过孔", TabObjList, 0, 1800, 1320, 1095, 375, 35},
    {ControlId::cmdLocateComp, "cmdLocateComp", Button, u"定 位", TabObjList, 0, 1800, 1800, 735,
     255, 36, clicked<&frmTagwright::cmdLocateComp_Click>},
    {ControlId::cmdLocateNet, "cmdLocateNet", Button, u"定 位", TabObjList, 1, 1800, 1080, 735, 255,
     37, clicked<&frmTagwright::cmdLocateNet_Click>},
};

static_assert(std::ranges::is_sorted(controls, {}, &ControlDescription::tabIndex));
static_assert([] {
    for (std::size_t index = 0; index < std::size(controls); ++index) {
        if (static_cast<std::size_t>(controls[index].id) != index) {
            return false;
        }
    }
    return true;
}());

} // namespace

std::span<const ControlDescription> windowDescription() {
    return controls;
}

const ControlDescription& describedControl(ControlId id) {
    const auto index = static_cast<std::size_t>(id);
    if (index >= std::size(controls)) {
        throw std::out_of_range("no such control");
    }
    return controls[index];
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

int optionIndex(ControlId id) {
    switch (id) {
    case ControlId::optLabelType_0:
        return 0;
    case ControlId::optLabelType_1:
        return 1;
    case ControlId::optLabelType_2:
        return 2;
    default:
        return -1;
    }
}

namespace {

// By the value of the roles' enumerators.
constexpr ControlId listIds[] = {ControlId::lstCompList, ControlId::lstNetList,
                                 ControlId::lstNetClassList};
constexpr ControlId boxIds[] = {ControlId::chkSelectedComp, ControlId::chkUnUsedPins,
                                ControlId::chkVias, ControlId::chkSelectedNets,
                                ControlId::chkSelectedNetClasses};
constexpr ControlId fieldIds[] = {ControlId::txtLabelOffsetX, ControlId::txtLabelOffsetY,
                                  ControlId::txtLabelFontH, ControlId::txtLabelFontW};
constexpr ControlId optionIds[] = {ControlId::optLabelType_0, ControlId::optLabelType_1,
                                   ControlId::optLabelType_2};

} // namespace

ControlId controlOf(window::ListBox list) {
    return listIds[static_cast<std::size_t>(list)];
}

ControlId controlOf(window::CheckBox box) {
    return boxIds[static_cast<std::size_t>(box)];
}

ControlId controlOf(window::TextBox field) {
    return fieldIds[static_cast<std::size_t>(field)];
}

ControlId optionControl(int index) {
    return optionIds[static_cast<std::size_t>(index)];
}

} // namespace tagwright::window
