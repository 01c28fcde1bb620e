#pragma once

#include "host/Attach.h"
#include "host/Failure.h"
#include "labels/SelectionSet.h"
#include "labels/WindowSnapshot.h"
#include "window/FormControls.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace tagwright::window {

// The program's one window, as behaviour: the handlers of every event, written once against
// the widget operations of FormControls. A front end builds the widgets, implements
// FormControls over them and calls these handlers when the toolkit reports the events.
class frmTagwright {
  public:
    frmTagwright(FormControls& controls, host::AttachFunction attach);

    // Attaches, fills the lists and sets the start state; runs before the window is first
    // shown. False when the attachment failed: the notice was shown, endProgram() was called,
    // and the window must not be shown.
    bool Form_Load();

    std::int16_t labelTypeIndex() const { return labelTypeIndex_; }

    // The event handlers, named after control and event.
    void cmdUpdateList_Click();
    void optLabelType_Click(std::int16_t index);
    void cmdAddLabel_Click();
    void cmdDeleteLabel_Click();
    void cmdLocateComp_Click();
    void cmdLocateNet_Click();
    void cmdHelp_Click();
    void cmdClose_Click();
    // Key presses see each typed character before the field inserts it; 0 drops it.
    void txtLabelFontH_KeyPress(std::int16_t& keyAscii);
    void txtLabelFontW_KeyPress(std::int16_t& keyAscii);
    void txtLabelOffsetX_KeyPress(std::int16_t& keyAscii);
    void txtLabelOffsetY_KeyPress(std::int16_t& keyAscii);
    void cboLabelRotation_KeyPress(std::int16_t& keyAscii);
    // The title-bar close box: no handler of the description's, but the program ends.
    void Form_Close();

  private:
    // Load and refresh share this: attach, fill the four lists. Throws on any failure.
    void attachAndFill();
    // Shows the attach notice and ends the program; `failure` is null for anything thrown
    // that is not a host failure.
    void failAttach(const host::Failure* failure);
    void clearLists();
    // Chooses an option from code, which behaves like the user's click on it.
    void chooseLabelType(std::int16_t index);
    // Runs one handler body under the busy cursor; a failure it does not catch is reported
    // and the window goes on.
    void guarded(const std::function<void()>& body);
    void reportFailure(std::int32_t number, const std::u16string& description);
    void showMessage(const std::u16string& text, const std::u16string& title);
    labels::ShowMessage messageCallback();
    std::vector<labels::ListEntry> entriesOf(ListBox list) const;
    labels::WindowSnapshot snapshot() const;

    FormControls& controls_;
    host::AttachFunction attach_;
    host::HostApplication hostApplication_;
    host::HostDocument hostDocument_;
    std::int16_t labelTypeIndex_ = labels::NetNameLabel;
    labels::ComponentMask componentMask_;
    bool busy_ = false;
};

// Typed characters for the size and offset fields: digits, "-", ".", Backspace, Ctrl+A.
bool isSizeOrOffsetKey(std::int16_t keyAscii);
// The same without "-": a negative rotation cannot be typed.
bool isRotationKey(std::int16_t keyAscii);

} // namespace tagwright::window
