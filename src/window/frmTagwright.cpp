#include "window/frmTagwright.h"

#include "host/Failure.h"
#include "host/Text.h"
#include "labels/AddLabels.h"
#include "maintenance/Locate.h"
#include "maintenance/RemoveLabels.h"
#include "window/Version.h"

#include <exception>
#include <new>
#include <optional>
#include <utility>

namespace tagwright::window {

namespace {

const std::u16string attachFailureText = u"请先打开一个PCB设计文件!";
const std::u16string attachFailureTitle = u"提示";
const std::u16string refreshCancelledText = u"已取消读取列表，列表为空。请点击“更新列表”重新读取。";
const std::u16string contactAddress = u"support@tagwright.invalid";

// The page in front for each label type, by option index.
constexpr int pageOfType[] = {netsPage, componentsPage, netClassesPage};
constexpr int pageCount = 3;

// The page Ctrl+Tab (or, `backwards`, Ctrl+Shift+Tab) brings to the front: the next one that a
// click could bring there, round the end; the page in front when there is none.
int pageAfter(const FormControls& controls, bool backwards) {
    const int current = controls.currentPage();
    const int step = backwards ? pageCount - 1 : 1;
    for (int page = (current + step) % pageCount; page != current;
         page = (page + step) % pageCount) {
        if (controls.pageAvailable(page)) {
            return page;
        }
    }
    return current;
}

// A list being filled, from its first append to the last, or to the failure that stops it.
class ListFill {
  public:
    ListFill(FormControls& controls, ListBox list) : controls_(controls), list_(list) {
        controls_.listFillBegin(list_);
    }
    ~ListFill() { controls_.listFillEnd(list_); }
    ListFill(const ListFill&) = delete;
    ListFill& operator=(const ListFill&) = delete;

  private:
    FormControls& controls_;
    ListBox list_;
};

std::u16string decimal(std::int32_t number) {
    return host::fromUtf8(std::to_string(number));
}

bool isNumberKey(std::int16_t code, bool minusAllowed) {
    constexpr std::int16_t ctrlA = 1;
    constexpr std::int16_t backspace = 8;
    return (code >= '0' && code <= '9') || code == '.' || code == backspace || code == ctrlA ||
           (minusAllowed && code == '-');
}

void keepNumberKey(std::int16_t& keyAscii) {
    if (!isSizeOrOffsetKey(keyAscii)) {
        keyAscii = 0;
    }
}

} // namespace

bool isSizeOrOffsetKey(std::int16_t keyAscii) {
    return isNumberKey(keyAscii, true);
}

bool isRotationKey(std::int16_t keyAscii) {
    return isNumberKey(keyAscii, false);
}

frmTagwright::frmTagwright(FormControls& controls, host::AttachFunction attach)
    : controls_(controls), attach_(std::move(attach)) {}

bool frmTagwright::Form_Load() {
    std::optional<host::Failure> failure;
    switch (fillLists(failure)) {
    case FillOutcome::Filled:
        break;
    case FillOutcome::Cancelled:
    case FillOutcome::CloseRequested:
        // The user chose to stop, or to close, before there was a window to work in: nothing to
        // tell.
        controls_.endProgram();
        return false;
    case FillOutcome::Failed:
        failAttach(failure ? &*failure : nullptr);
        return false;
    }
    chooseLabelType(run::NetNameLabel);
    controls_.setEnabled(CheckBox::chkUnUsedPins, false);
    controls_.setRotationIndex(0);
    chooseLabelType(run::PinNumberLabel);
    controls_.setCurrentPage(componentsPage);
    // The first option was chosen on the way and may hold the focus; Space there would
    // switch the label type behind the user's back.
    controls_.focusChosenOption();
    return true;
}

void frmTagwright::cmdUpdateList_Click() {
    if (running()) {
        return;
    }
    clearLists();
    std::optional<host::Failure> failure;
    const FillOutcome outcome = fillLists(failure);
    if (outcome == FillOutcome::Filled) {
        return;
    }
    // Whatever the fill came to, the user has asked to leave: no message to hold the window.
    if (outcome == FillOutcome::CloseRequested) {
        Form_Close();
        return;
    }
    if (outcome == FillOutcome::Failed && (!failure || !failure->isEditorBusy())) {
        failAttach(failure ? &*failure : nullptr);
        return;
    }
    // Stopped by the user, or the editor is there but busy with a dialog: the window stays,
    // with no half-filled list that could mislead, and the user refreshes when ready.
    clearLists();
    showMessage(outcome == FillOutcome::Cancelled ? refreshCancelledText : failure->description(),
                attachFailureTitle);
}

void frmTagwright::clearLists() {
    for (const ListBox list :
         {ListBox::lstCompList, ListBox::lstNetList, ListBox::lstNetClassList}) {
        controls_.listClear(list);
    }
    controls_.layerClear();
}

frmTagwright::FillOutcome frmTagwright::fillLists(std::optional<host::Failure>& failure) {
    bool filled = false;
    const RunEnd end = watched(RunMonitor::Cursor::Ordinary,
                               [&](RunMonitor& monitor) { filled = attachAndFill(monitor); });
    if (end.closeRequested) {
        return FillOutcome::CloseRequested;
    }
    if (!end.thrown) {
        return filled ? FillOutcome::Filled : FillOutcome::Cancelled;
    }
    try {
        std::rethrow_exception(end.thrown);
    } catch (const host::Failure& hostFailure) {
        failure = hostFailure;
    } catch (...) {
    }
    // A call that waited for the editor when the user cancelled fails; the user asked to stop.
    return end.cancelled ? FillOutcome::Cancelled : FillOutcome::Failed;
}

frmTagwright::RunEnd frmTagwright::watched(RunMonitor::Cursor cursor,
                                           const std::function<void(RunMonitor&)>& body) {
    RunMonitor& monitor = run_.emplace(controls_, true, cursor);
    RunEnd end;
    try {
        body(monitor);
    } catch (...) {
        end.thrown = std::current_exception();
    }
    end.cancelled = monitor.cancelled();
    end.closeRequested = monitor.closeRequested();
    run_.reset();
    return end;
}

bool frmTagwright::attachAndFill(run::RunProgress& progress) {
    // Reported before the attach too, so that a wait for the editor there reads as the fill.
    if (!progress.proceed(run::RunStage::ListComponents, 0, 0)) {
        return false;
    }
    // The old references go before the new ones are taken: a failed attach leaves none.
    hostApplication_ = {};
    hostApplication_ = attach_();
    hostDocument_ = {};
    hostDocument_ = hostApplication_.activeDocument();

    // False when told to stop.
    const auto fill = [&](ListBox list, run::RunStage stage, const host::HostCollection& members,
                          auto role) {
        std::size_t listed = 0;
        bool going = true;
        const ListFill filling(controls_, list);
        members.forEachWhile([&](const host::ObjectRef& member) {
            going = progress.proceed(stage, listed++, 0);
            if (going) {
                controls_.listAppend(list, decltype(role)(member).name());
            }
            return going;
        });
        return going && progress.proceed(stage, listed, 0);
    };
    if (!fill(ListBox::lstCompList, run::RunStage::ListComponents, hostDocument_.components(),
              host::HostComponent{}) ||
        !fill(ListBox::lstNetList, run::RunStage::ListNets, hostDocument_.nets(),
              host::HostNet{}) ||
        !fill(ListBox::lstNetClassList, run::RunStage::ListNetClasses, hostDocument_.netClasses(),
              host::HostNetClass{})) {
        return false;
    }

    const std::int32_t layers = hostDocument_.layerCount();
    for (std::int32_t layer = 1; layer <= layers; ++layer) {
        controls_.layerAppend(hostDocument_.layerName(layer));
    }
    // What an empty list answers when its first entry is picked.
    if (controls_.layerCount() == 0) {
        throw host::Failure::invalidPropertyValue();
    }
    controls_.setLayerIndex(0);
    return true;
}

void frmTagwright::failAttach(const host::Failure* failure) {
    // An editor that is busy, does not answer or is gone is named as such, so the user sees to
    // it instead of looking for a design that is open all along.
    const bool aboutEditor =
        failure != nullptr &&
        (failure->isEditorBusy() || failure->number() == host::Failure::EditorUnavailable);
    showMessage(aboutEditor ? failure->description() : attachFailureText, attachFailureTitle);
    controls_.endProgram();
}

void frmTagwright::chooseLabelType(std::int16_t index) {
    controls_.chooseOption(index);
    optLabelType_Click(index);
}

void frmTagwright::optLabelType_Click(std::int16_t index) {
    if (running()) {
        // The toolkit has already moved the choice; it goes back to the type in use.
        controls_.chooseOption(labelTypeIndex_);
        return;
    }
    // The page in front first, even while it is still unavailable: a tab control that
    // disables its current page moves to another, so the order of these steps matters.
    if (index >= 0 && index <= 2 && controls_.currentPage() != pageOfType[index]) {
        controls_.setCurrentPage(pageOfType[index]);
    }
    switch (index) {
    case run::NetNameLabel:
        controls_.setEnabled(CheckBox::chkUnUsedPins, false);
        controls_.setPageAvailable(netsPage, true);
        controls_.setPageAvailable(netClassesPage, true);
        controls_.setEnabled(CheckBox::chkVias, true);
        break;
    case run::PinNumberLabel:
        controls_.setPageAvailable(netsPage, false);
        controls_.setPageAvailable(netClassesPage, false);
        controls_.setEnabled(CheckBox::chkUnUsedPins, true);
        controls_.setEnabled(CheckBox::chkVias, false);
        break;
    case run::NetClassLabel:
        controls_.setPageAvailable(netsPage, false);
        controls_.setPageAvailable(netClassesPage, true);
        controls_.setEnabled(CheckBox::chkUnUsedPins, false);
        controls_.setEnabled(CheckBox::chkVias, true);
        break;
    default:
        break;
    }
    labelTypeIndex_ = index;
}

void frmTagwright::cmdAddLabel_Click() {
    guarded([this](run::RunProgress& progress) {
        labels::addLabels(hostDocument_, labelRequest(), componentMask_, messageCallback(),
                          &progress);
    });
}

void frmTagwright::cmdDeleteLabel_Click() {
    guarded([this](run::RunProgress& progress) {
        if (labelTypeIndex_ < 0 || labelTypeIndex_ > 2) {
            throw host::Failure::subscriptOutOfRange();
        }
        maintenance::removeLabels(hostDocument_, controls_.optionCaption(labelTypeIndex_),
                                  messageCallback(), &progress);
    });
}

void frmTagwright::cmdLocateComp_Click() {
    guarded([this](run::RunProgress& progress) {
        maintenance::locate(hostDocument_, maintenance::LocateTarget::Components,
                            entriesOf(ListBox::lstCompList), messageCallback(), &progress);
    });
}

void frmTagwright::cmdLocateNet_Click() {
    guarded([this](run::RunProgress& progress) {
        maintenance::locate(hostDocument_, maintenance::LocateTarget::Nets,
                            entriesOf(ListBox::lstNetList), messageCallback(), &progress);
    });
}

void frmTagwright::cmdHelp_Click() {
    if (running()) {
        return;
    }
    showMessage(std::u16string(u"版本：" TAGWRIGHT_VERSION_TEXT u"       ") + u"\r\n\r\n" +
                    u"运行错误或改进建议请联系：  " + u"\r\n\r\n" + contactAddress,
                run::applicationTitle);
}

void frmTagwright::cmdClose_Click() {
    if (!running()) {
        controls_.endProgram();
    }
}

void frmTagwright::Form_KeyDown(std::int16_t& keyCode, std::int16_t shift) {
    if (running() || keyCode != keyTab || (shift & (ctrlMask | altMask)) != ctrlMask) {
        return;
    }
    const int page = pageAfter(controls_, (shift & shiftMask) != 0);
    if (page != controls_.currentPage()) {
        controls_.setCurrentPage(page);
    }
    keyCode = 0;
}

void frmTagwright::Form_Close() {
    if (run_) {
        run_->requestClose();
    } else {
        controls_.endProgram();
    }
}

void frmTagwright::cmdCancelRun_Click() {
    if (run_) {
        run_->cancel();
    }
}

void frmTagwright::txtLabelFontH_KeyPress(std::int16_t& keyAscii) {
    keepNumberKey(keyAscii);
}

void frmTagwright::txtLabelFontW_KeyPress(std::int16_t& keyAscii) {
    keepNumberKey(keyAscii);
}

void frmTagwright::txtLabelOffsetX_KeyPress(std::int16_t& keyAscii) {
    keepNumberKey(keyAscii);
}

void frmTagwright::txtLabelOffsetY_KeyPress(std::int16_t& keyAscii) {
    keepNumberKey(keyAscii);
}

void frmTagwright::cboLabelRotation_KeyPress(std::int16_t& keyAscii) {
    if (!isRotationKey(keyAscii)) {
        keyAscii = 0;
    }
}

void frmTagwright::guarded(const std::function<void(run::RunProgress&)>& body) {
    if (running()) {
        return;
    }
    const RunEnd end = watched(RunMonitor::Cursor::Busy, body);
    // The user has asked to leave: a failure report would only hold the window open.
    if (end.closeRequested) {
        Form_Close();
        return;
    }
    if (!end.thrown) {
        return;
    }
    std::optional<host::Failure> failure;
    try {
        std::rethrow_exception(end.thrown);
    } catch (const host::Failure& hostFailure) {
        // The user cancelled while a call waited for the editor, which fails that call: a
        // cancelled run says nothing, and a later call on the dead link tells of it.
        if (!end.cancelled || hostFailure.number() != host::Failure::EditorUnavailable) {
            failure = hostFailure;
        }
    } catch (const std::bad_alloc&) {
        failure = host::Failure::outOfMemory();
    } catch (const std::exception& other) {
        failure = host::Failure::internalError(host::fromUtf8(other.what()));
    } catch (...) {
        failure = host::Failure::internalError();
    }
    // Reported once the run has ended, so the message is what the user sees last.
    if (failure) {
        reportFailure(failure->number(), failure->description());
    }
}

void frmTagwright::reportFailure(std::int32_t number, const std::u16string& description) {
    showMessage(u"运行时错误 '" + decimal(number) + u"':\n" + description, run::applicationTitle);
}

void frmTagwright::showMessage(const std::u16string& text, const std::u16string& title) {
    if (run_) {
        run_->showMessage(text, title);
    } else {
        controls_.showMessage(text, title);
    }
}

run::ShowMessage frmTagwright::messageCallback() {
    return [this](const std::u16string& text, const std::u16string& title) {
        // The logic's messages without a title of their own bear the application's.
        showMessage(text, title.empty() ? std::u16string(run::applicationTitle) : title);
    };
}

std::vector<run::ListEntry> frmTagwright::entriesOf(ListBox list) const {
    std::vector<run::ListEntry> entries;
    const int count = controls_.listCount(list);
    entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i) {
        entries.push_back({controls_.listText(list, i), controls_.listSelected(list, i)});
    }
    return entries;
}

run::LabelRequest frmTagwright::labelRequest() const {
    run::LabelRequest request;
    request.labelType = labelTypeIndex_;
    request.offsetX = controls_.text(TextBox::txtLabelOffsetX);
    request.offsetY = controls_.text(TextBox::txtLabelOffsetY);
    request.fontHeight = controls_.text(TextBox::txtLabelFontH);
    request.fontWidth = controls_.text(TextBox::txtLabelFontW);
    request.rotation = controls_.rotationText();
    request.selectedComponents = controls_.checked(CheckBox::chkSelectedComp);
    request.selectedNets = controls_.checked(CheckBox::chkSelectedNets);
    request.selectedNetClasses = controls_.checked(CheckBox::chkSelectedNetClasses);
    request.unusedPins = controls_.checked(CheckBox::chkUnUsedPins);
    request.vias = controls_.checked(CheckBox::chkVias);
    request.components = entriesOf(ListBox::lstCompList);
    request.nets = entriesOf(ListBox::lstNetList);
    request.netClasses = entriesOf(ListBox::lstNetClassList);
    request.layerIndex = controls_.layerIndex();
    return request;
}

} // namespace tagwright::window
