#pragma once

namespace tagwright::window::win32 {

// Control ids of the window, one per control of the window description, named after it; an
// indexed group member name(i) is name_i. Other programs find the controls by these ids, so
// they never change. None is IDOK or IDCANCEL, which the dialog manager sends for Enter and
// Escape.
enum ControlId : int {
    Frame1 = 100,
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

// The window's class name and caption, for FindWindowW.
inline constexpr wchar_t windowClassName[] = L"TagwrightWindow";
inline constexpr wchar_t windowCaption[] = L"Tagwright ";

} // namespace tagwright::window::win32
