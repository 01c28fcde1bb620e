#pragma once

#include "window/FormControls.h"

#include <cstdint>
#include <span>

namespace tagwright::window {

class frmTagwright;

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

// Every control of the window, named after it (an indexed group member name(i) is name_i), in
// increasing tab index. A front end that needs numbers counts from the first: the Win32 window's
// control ids are 100 plus this value, and other programs find the controls by them, so the
// order never changes.
enum class ControlId : int {
    Frame1,
    optLabelType_0,
    optLabelType_1,
    optLabelType_2,
    cboLabelLayer,
    Label1,
    Label3,
    Frame2,
    Label4_0,
    Label4_1,
    txtLabelOffsetX,
    txtLabelOffsetY,
    Label5_0,
    Label5_1,
    cmdAddLabel,
    cmdDeleteLabel,
    cmdHelp,
    cboLabelRotation,
    Frame4,
    txtLabelFontW,
    txtLabelFontH,
    Label5_2,
    Label5_3,
    Label4_2,
    Label4_3,
    cmdUpdateList,
    tabObjList,
    lstNetList,
    chkSelectedNets,
    lstCompList,
    chkSelectedComp,
    lstNetClassList,
    chkSelectedNetClasses,
    chkUnUsedPins,
    cmdClose,
    chkVias,
    cmdLocateComp,
    cmdLocateNet,
};

// What a control's position is relative to.
enum class Container { Window, Frame1, Frame2, Frame4, TabObjList };

// The face a control's text is drawn in, as designed: the one it inherits from its container
// (the window's is Times New Roman), or SimSun, set on the control itself and inherited by the
// controls inside it.
enum class Face { Inherited, SimSun };

// The handlers a control raises, bound here so that both front ends dispatch the same way.
using ClickHandler = void (*)(frmTagwright&);
using KeyPressHandler = void (*)(frmTagwright&, std::int16_t& keyAscii);

// One control of the window as designed. Positions and sizes are in twips (15 make a pixel at
// 96 dpi) relative to the container.
struct ControlDescription {
    ControlId id;
    const char* name; // as designed: "optLabelType(0)"
    ControlKind kind;
    // The caption; for a text box, the text it starts with.
    const char16_t* text;
    Container container;
    int page; // the tab page that holds the control, -1 for none
    int left, top, width, height;
    int tabIndex;
    ClickHandler click = nullptr;
    KeyPressHandler keyPress = nullptr;
    Face face = Face::Inherited;
};

// Every control, in increasing tab index (and ControlId order).
std::span<const ControlDescription> windowDescription();
const ControlDescription& describedControl(ControlId id);

// The window's caption; the space after the name is part of it.
inline constexpr const char16_t* windowCaption = u"Tagwright ";
// The window's client area in twips.
inline constexpr int clientWidthTwips = 5295;
inline constexpr int clientHeightTwips = 4650;
// The tab strip of tabObjList.
inline constexpr int tabStripHeightTwips = 295;
inline constexpr const char16_t* pageCaptions[] = {u"元器件", u"网络", u"网络类型"};
inline constexpr const char16_t* rotationItems[] = {u"00", u"90", u"180", u"270"};

// A control's rectangle in twips relative to the window's client area.
struct TwipRect {
    int left, top, width, height;
};
TwipRect clientTwips(const ControlDescription& control);

// The option index of an optLabelType member, -1 for any other control.
int optionIndex(ControlId id);

// The controls the form names by role.
ControlId controlOf(ListBox list);
ControlId controlOf(CheckBox box);
ControlId controlOf(TextBox field);
ControlId optionControl(int index);

} // namespace tagwright::window
