#include "window/frmTagwright.h"

#include "host/Failure.h"
#include "host/Text.h"
#include "labels/AddLabels.h"
#include "maintenance/Locate.h"
#include "maintenance/RemoveLabels.h"

#include <exception>
#include <new>
#include <utility>

namespace tagwright::window {

namespace {

const std::u16string attachFailureText = u"请先打开一个PCB设计文件!";
const std::u16string attachFailureTitle = u"提示";
const std::u16string contactAddress = u"support@tagwright.invalid";

// What an empty list answers when its first entry is picked.
constexpr std::int32_t invalidPropertyValue = 380;
// Anything thrown that is not a host failure.
constexpr std::int32_t internalError = 51;
constexpr std::int32_t outOfMemory = 7;

// The page in front for each label type, by option index.
constexpr int pageOfType[] = {netsPage, componentsPage, netClassesPage};

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
    if (!isSizeOrOffsetKey(keyAscii))
        keyAscii = 0;
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
    try {
        attachAndFill();
    } catch (const host::Failure& failure) {
        failAttach(&failure);
        return false;
    } catch (...) {
        failAttach(nullptr);
        return false;
    }
    chooseLabelType(labels::NetNameLabel);
    controls_.setEnabled(CheckBox::chkUnUsedPins, false);
    controls_.setRotationIndex(0);
    chooseLabelType(labels::PinNumberLabel);
    controls_.setCurrentPage(componentsPage);
    // The first option was chosen on the way and may hold the focus; Space there would
    // switch the label type behind the user's back.
    controls_.focusChosenOption();
    return true;
}

void frmTagwright::cmdUpdateList_Click() {
    clearLists();
    try {
        attachAndFill();
    } catch (const host::Failure& failure) {
        if (!failure.isEditorBusy()) {
            failAttach(&failure);
            return;
        }
        // The editor is there but busy with a dialog: the window stays, with no half-filled
        // list that could mislead, and the user refreshes once the dialog is closed.
        clearLists();
        showMessage(failure.description(), attachFailureTitle);
    } catch (...) {
        failAttach(nullptr);
    }
}

void frmTagwright::clearLists() {
    for (const ListBox list : {ListBox::lstCompList, ListBox::lstNetList, ListBox::lstNetClassList})
        controls_.listClear(list);
    controls_.layerClear();
}

void frmTagwright::attachAndFill() {
    // The old references go before the new ones are taken: a failed attach leaves none.
    hostApplication_ = {};
    hostApplication_ = attach_();
    hostDocument_ = {};
    hostDocument_ = hostApplication_.activeDocument();

    const auto fill = [this](ListBox list, const host::HostCollection& members, auto role) {
        members.forEach([&](const host::ObjectRef& member) {
            controls_.listAppend(list, decltype(role)(member).name());
        });
    };
    fill(ListBox::lstCompList, hostDocument_.components(), host::HostComponent{});
    fill(ListBox::lstNetList, hostDocument_.nets(), host::HostNet{});
    fill(ListBox::lstNetClassList, hostDocument_.netClasses(), host::HostNetClass{});

    const std::int32_t layers = hostDocument_.layerCount();
    for (std::int32_t layer = 1; layer <= layers; ++layer)
        controls_.layerAppend(hostDocument_.layerName(layer));
    if (controls_.layerCount() == 0)
        throw host::Failure(invalidPropertyValue, u"无效的属性值");
    controls_.setLayerIndex(0);
}

void frmTagwright::failAttach(const host::Failure* failure) {
    // A busy editor is named as such, so the user closes its dialog instead of looking for a
    // design that is open all along.
    const bool busy = failure != nullptr && failure->isEditorBusy();
    showMessage(busy ? failure->description() : attachFailureText, attachFailureTitle);
    controls_.endProgram();
}

void frmTagwright::chooseLabelType(std::int16_t index) {
    controls_.chooseOption(index);
    optLabelType_Click(index);
}

void frmTagwright::optLabelType_Click(std::int16_t index) {
    // The page in front first, even while it is still unavailable: a tab control that
    // disables its current page moves to another, so the order of these steps matters.
    if (index >= 0 && index <= 2 && controls_.currentPage() != pageOfType[index])
        controls_.setCurrentPage(pageOfType[index]);
    switch (index) {
    case labels::NetNameLabel:
        controls_.setEnabled(CheckBox::chkUnUsedPins, false);
        controls_.setPageAvailable(netsPage, true);
        controls_.setPageAvailable(netClassesPage, true);
        controls_.setEnabled(CheckBox::chkVias, true);
        break;
    case labels::PinNumberLabel:
        controls_.setPageAvailable(netsPage, false);
        controls_.setPageAvailable(netClassesPage, false);
        controls_.setEnabled(CheckBox::chkUnUsedPins, true);
        controls_.setEnabled(CheckBox::chkVias, false);
        break;
    case labels::NetClassLabel:
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
    guarded([this] {
        labels::addLabels(hostDocument_, snapshot(), componentMask_, messageCallback());
    });
}

void frmTagwright::cmdDeleteLabel_Click() {
    guarded([this] {
        if (labelTypeIndex_ < 0 || labelTypeIndex_ > 2)
            throw host::Failure::subscriptOutOfRange();
        maintenance::removeLabels(hostDocument_, controls_.optionCaption(labelTypeIndex_),
                                  messageCallback());
    });
}

void frmTagwright::cmdLocateComp_Click() {
    guarded([this] {
        maintenance::locate(hostDocument_, maintenance::LocateTarget::Components,
                            entriesOf(ListBox::lstCompList), messageCallback());
    });
}

void frmTagwright::cmdLocateNet_Click() {
    guarded([this] {
        maintenance::locate(hostDocument_, maintenance::LocateTarget::Nets,
                            entriesOf(ListBox::lstNetList), messageCallback());
    });
}

void frmTagwright::cmdHelp_Click() {
    showMessage(std::u16string(u"版本：1.0       ") + u"\r\n\r\n" +
                    u"运行错误或改进建议请联系：  " + u"\r\n\r\n" + contactAddress,
                labels::applicationTitle);
}

void frmTagwright::cmdClose_Click() {
    controls_.endProgram();
}

void frmTagwright::Form_Close() {
    controls_.endProgram();
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
    if (!isRotationKey(keyAscii))
        keyAscii = 0;
}

void frmTagwright::guarded(const std::function<void()>& body) {
    // A run over a large board can take a while and must not yield to the event loop; the
    // busy cursor is the one sign of progress that needs none.
    struct Busy {
        explicit Busy(frmTagwright& form) : form(form) { set(true); }
        ~Busy() { set(false); }
        void set(bool busy) {
            form.busy_ = busy;
            form.controls_.setBusy(busy);
        }
        frmTagwright& form;
    } busy(*this);
    try {
        body();
    } catch (const host::Failure& failure) {
        reportFailure(failure.number(), failure.description());
    } catch (const std::bad_alloc&) {
        reportFailure(outOfMemory, u"内存溢出");
    } catch (const std::exception& other) {
        reportFailure(internalError, u"内部错误: " + host::fromUtf8(other.what()));
    } catch (...) {
        reportFailure(internalError, u"内部错误");
    }
}

void frmTagwright::reportFailure(std::int32_t number, const std::u16string& description) {
    showMessage(u"运行时错误 '" + decimal(number) + u"':\n" + description,
                labels::applicationTitle);
}

void frmTagwright::showMessage(const std::u16string& text, const std::u16string& title) {
    // The user is asked to read and click: the ordinary cursor while the box is up.
    const bool wasBusy = busy_;
    if (wasBusy)
        controls_.setBusy(false);
    controls_.showMessage(text, title);
    if (wasBusy)
        controls_.setBusy(true);
}

labels::ShowMessage frmTagwright::messageCallback() {
    return [this](const std::u16string& text, const std::u16string& title) {
        // The logic's messages without a title of their own bear the application's.
        showMessage(text, title.empty() ? std::u16string(labels::applicationTitle) : title);
    };
}

std::vector<labels::ListEntry> frmTagwright::entriesOf(ListBox list) const {
    std::vector<labels::ListEntry> entries;
    const int count = controls_.listCount(list);
    entries.reserve(static_cast<std::size_t>(count));
    for (int i = 0; i < count; ++i)
        entries.push_back({controls_.listText(list, i), controls_.listSelected(list, i)});
    return entries;
}

labels::WindowSnapshot frmTagwright::snapshot() const {
    labels::WindowSnapshot window;
    window.labelType = labelTypeIndex_;
    window.offsetX = controls_.text(TextBox::txtLabelOffsetX);
    window.offsetY = controls_.text(TextBox::txtLabelOffsetY);
    window.fontHeight = controls_.text(TextBox::txtLabelFontH);
    window.fontWidth = controls_.text(TextBox::txtLabelFontW);
    window.rotation = controls_.rotationText();
    window.selectedComponents = controls_.checked(CheckBox::chkSelectedComp);
    window.selectedNets = controls_.checked(CheckBox::chkSelectedNets);
    window.selectedNetClasses = controls_.checked(CheckBox::chkSelectedNetClasses);
    window.unusedPins = controls_.checked(CheckBox::chkUnUsedPins);
    window.vias = controls_.checked(CheckBox::chkVias);
    window.components = entriesOf(ListBox::lstCompList);
    window.nets = entriesOf(ListBox::lstNetList);
    window.netClasses = entriesOf(ListBox::lstNetClassList);
    window.layerIndex = controls_.layerIndex();
    return window;
}

} // namespace tagwright::window
