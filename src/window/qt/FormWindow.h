#pragma once

#include "host/Attach.h"
#include "labels/SelectionSet.h"
#include "labels/WindowSnapshot.h"
#include "window/Messages.h"

#include <QWidget>

#include <cstdint>
#include <functional>
#include <memory>

class QCheckBox;
class QComboBox;
class QLineEdit;
class QListWidget;
class QPushButton;
class QRadioButton;
class QTabWidget;

namespace Ui {
class frmTagwright;
}

namespace tagwright::window {

// The program's one window. Controls carry the names of the window description as object
// names; an indexed group member name(i) is named name_i (optLabelType_0 .. optLabelType_2,
// Label4_0 .. Label4_3, Label5_0 .. Label5_3), and the tab pages are tabObjListPage_0 .. _2.
// Handlers are named after control and event and stay thin: they read the widgets into a
// snapshot, call the label or maintenance logic and show its messages.
class frmTagwright : public QWidget {
  public:
    explicit frmTagwright(host::AttachFunction attach, QWidget* parent = nullptr);
    ~frmTagwright() override;

    // Attaches, fills the lists and sets the start state; runs before the window is first
    // shown. False when the attachment failed: the notice was shown and the program ends.
    bool Form_Load();

    // What ends the program (cmdClose, the close box, a failed attach); the default closes
    // the window and leaves the event loop. Tests observe it instead.
    void setProgramEnd(std::function<void()> end) { endProgram_ = std::move(end); }
    void setMessages(std::unique_ptr<Messages> messages) { messages_ = std::move(messages); }

    std::int16_t labelTypeIndex() const { return labelTypeIndex_; }

    // The event handlers, public so that tests can raise an event the way the toolkit does.
    void cmdUpdateList_Click();
    void optLabelType_Click(std::int16_t index);
    void cmdAddLabel_Click();
    void cmdDeleteLabel_Click();
    void cmdLocateComp_Click();
    void cmdLocateNet_Click();
    void cmdHelp_Click();
    void cmdClose_Click();
    void txtLabelFontH_KeyPress(std::int16_t& keyAscii);
    void txtLabelFontW_KeyPress(std::int16_t& keyAscii);
    void txtLabelOffsetX_KeyPress(std::int16_t& keyAscii);
    void txtLabelOffsetY_KeyPress(std::int16_t& keyAscii);
    void cboLabelRotation_KeyPress(std::int16_t& keyAscii);

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void applyFonts();
    void connectHandlers();
    // Load and refresh share this: attach, fill the four lists. Throws on any failure.
    void attachAndFill();
    void failAttach();
    void chooseLabelType(std::int16_t index);
    // Runs one handler body; a failure it does not catch is reported and the window goes on.
    void guarded(const std::function<void()>& body);
    void reportFailure(std::int32_t number, const QString& description);
    void showMessage(const QString& text, const QString& title);
    labels::ShowMessage messageCallback();
    labels::WindowSnapshot snapshot() const;

    std::unique_ptr<Ui::frmTagwright> ui_;
    host::AttachFunction attach_;
    std::unique_ptr<Messages> messages_;
    std::function<void()> endProgram_;

    host::HostApplication hostApplication_;
    host::HostDocument hostDocument_;
    std::int16_t labelTypeIndex_ = labels::NetNameLabel;
    labels::ComponentMask componentMask_;
};

} // namespace tagwright::window
