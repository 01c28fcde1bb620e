#pragma once

#include "host/Attach.h"
#include "window/FormControls.h"
#include "window/frmTagwright.h"
#include "window/qt/Messages.h"

#include <QWidget>

#include <functional>
#include <memory>

class QCheckBox;
class QLineEdit;
class QListWidget;
class QRadioButton;

namespace Ui {
class frmTagwright;
}

namespace tagwright::window::qt {

// The window in Qt Widgets: builds the controls from the Designer form and gives them to the
// neutral form as FormControls; every Qt event that the window description handles is passed
// on to the form's handler. Controls carry the names of the window description as object
// names; an indexed group member name(i) is named name_i (optLabelType_0 .. optLabelType_2,
// Label4_0 .. Label4_3, Label5_0 .. Label5_3), and the tab pages are tabObjListPage_0 .. _2.
class FormWindow : public QWidget, public FormControls {
  public:
    explicit FormWindow(host::AttachFunction attach, QWidget* parent = nullptr);
    ~FormWindow() override;

    frmTagwright& form() { return form_; }

    // What ends the program; the default closes the window and leaves the event loop. Tests
    // observe it instead, and read the messages instead of dismissing boxes.
    void setProgramEnd(std::function<void()> end) { endProgram_ = std::move(end); }
    void setMessages(std::unique_ptr<Messages> messages) { messages_ = std::move(messages); }

    void listClear(ListBox list) override;
    void listAppend(ListBox list, const std::u16string& text) override;
    int listCount(ListBox list) const override;
    std::u16string listText(ListBox list, int index) const override;
    bool listSelected(ListBox list, int index) const override;
    void layerClear() override;
    void layerAppend(const std::u16string& text) override;
    int layerCount() const override;
    int layerIndex() const override;
    void setLayerIndex(int index) override;
    std::u16string rotationText() const override;
    void setRotationIndex(int index) override;
    bool checked(CheckBox box) const override;
    using QWidget::setEnabled;
    void setEnabled(CheckBox box, bool enabled) override;
    std::u16string text(TextBox box) const override;
    void chooseOption(int index) override;
    std::u16string optionCaption(int index) const override;
    void focusChosenOption() override;
    int currentPage() const override;
    void setCurrentPage(int page) override;
    void setPageAvailable(int page, bool available) override;
    void showMessage(const std::u16string& text, const std::u16string& title) override;
    void setBusy(bool busy) override;
    void endProgram() override;

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

  private:
    void applyFonts();
    void connectHandlers();
    // Only the chosen option is a Tab stop: the Tab cycle enters the group there.
    void keepChosenOptionTabStop();
    QListWidget* list(ListBox list) const;
    QCheckBox* box(CheckBox box) const;
    QLineEdit* field(TextBox box) const;
    QRadioButton* option(int index) const;

    std::unique_ptr<Ui::frmTagwright> ui_;
    std::unique_ptr<Messages> messages_;
    std::function<void()> endProgram_;
    bool busy_ = false;
    frmTagwright form_;
};

} // namespace tagwright::window::qt
