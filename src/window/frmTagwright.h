#pragma once

#include "host/Attach.h"
#include "host/Failure.h"
#include "labels/SelectionSet.h"
#include "run/LabelRequest.h"
#include "run/ShowMessage.h"
#include "window/FormControls.h"
#include "window/RunMonitor.h"

#include <cstdint>
#include <exception>
#include <functional>
#include <optional>
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
    // shown. False when the attachment failed (the notice was shown) or the user cancelled it
    // (nothing was shown): endProgram() was called, and the window must not be shown.
    bool Form_Load();

    std::int16_t labelTypeIndex() const { return labelTypeIndex_; }
    // True while a handler's run works: the window takes no input, and a handler raised
    // nonetheless does nothing; a request to close waits for the run's end.
    bool running() const { return run_.has_value(); }

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
    // Every key pressed in the window, before the control with the focus sees it: the key's code
    // (a virtual-key code, see keyTab) and which of Shift, Ctrl and Alt are down (shiftMask...).
    // 0 in keyCode when the window acted on it, and the control must not see it.
    void Form_KeyDown(std::int16_t& keyCode, std::int16_t shift);
    // A request to close the window: the title-bar close box, or another program's. No handler
    // of the description's, but the program ends, once any run that is going has ended.
    void Form_Close();
    // The progress window's "取消" button (or Escape): the run stops at its next step.
    void cmdCancelRun_Click();

  private:
    enum class FillOutcome { Filled, Cancelled, Failed, CloseRequested };

    // Load and refresh share this: attach, fill the four lists. False when told to stop;
    // throws on any failure.
    bool attachAndFill(run::RunProgress& progress);
    // Load and refresh: the fill under a progress window, over when this returns. When it
    // failed, `failure` holds the host's failure, if it was one.
    FillOutcome fillLists(std::optional<host::Failure>& failure);
    // Shows the attach notice and ends the program; `failure` is null for anything thrown
    // that is not a host failure.
    void failAttach(const host::Failure* failure);
    void clearLists();
    // Chooses an option from code, which behaves like the user's click on it.
    void chooseLabelType(std::int16_t index);
    // How a run ended: what it threw, if anything, and whether the user had cancelled it.
    struct RunEnd {
        std::exception_ptr thrown;
        bool cancelled = false;
        bool closeRequested = false;
    };
    // Runs `body` watched by the run monitor, which the user can cancel; over when this returns.
    RunEnd watched(RunMonitor::Cursor cursor, const std::function<void(RunMonitor&)>& body);
    // Runs one handler body under the busy cursor; a failure it does not catch is reported once
    // the run has ended, and the window goes on.
    void guarded(const std::function<void(run::RunProgress&)>& body);
    void reportFailure(std::int32_t number, const std::u16string& description);
    void showMessage(const std::u16string& text, const std::u16string& title);
    run::ShowMessage messageCallback();
    std::vector<run::ListEntry> entriesOf(ListBox list) const;
    run::LabelRequest labelRequest() const;

    FormControls& controls_;
    host::AttachFunction attach_;
    host::HostApplication hostApplication_;
    host::HostDocument hostDocument_;
    std::int16_t labelTypeIndex_ = run::NetNameLabel;
    labels::ComponentMask componentMask_;
    // The run that is going, if any.
    std::optional<RunMonitor> run_;
};

// The keys Form_KeyDown acts on, which a front end maps from its own, and the modifier bits.
inline constexpr std::int16_t keyTab = 9;
inline constexpr std::int16_t shiftMask = 1;
inline constexpr std::int16_t ctrlMask = 2;
inline constexpr std::int16_t altMask = 4;

// Typed characters for the size and offset fields: digits, "-", ".", Backspace, Ctrl+A.
bool isSizeOrOffsetKey(std::int16_t keyAscii);
// The same without "-": a negative rotation cannot be typed.
bool isRotationKey(std::int16_t keyAscii);

} // namespace tagwright::window
