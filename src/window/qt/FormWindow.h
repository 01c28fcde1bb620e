#pragma once

#include "host/Attach.h"
#include "window/FormControls.h"
#include "window/WindowDescription.h"
#include "window/frmTagwright.h"
#include "window/qt/InputBlocker.h"
#include "window/qt/Messages.h"
#include "window/qt/ProgressWindow.h"

#include <QWidget>

#include <functional>
#include <memory>
#include <vector>

class QCheckBox;
class QComboBox;
class QKeyEvent;
class QLineEdit;
class QListWidget;
class QRadioButton;
class QTabWidget;

namespace tagwright::window::qt {

// The window in Qt Widgets: builds every control from the window description and gives them to
// the neutral form as FormControls; the clicks and key presses of a control reach the handler the
// description binds to it. Controls carry the names of the description as object names; an
// indexed group member name(i) is named name_i (optLabelType_0 .. optLabelType_2, Label4_0 ..
// Label4_3, Label5_0 .. Label5_3), and the tab pages are tabObjListPage_0 .. _2.
class FormWindow : public QWidget, public FormControls {
  public:
    explicit FormWindow(host::AttachFunction attach, QWidget* parent = nullptr);
    ~FormWindow() override;

    frmTagwright& form() { return form_; }
    // The widget built for a control of the description.
    QWidget* control(ControlId id) const { return controls_.at(static_cast<std::size_t>(id)); }

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
    bool pageAvailable(int page) const override;
    void showMessage(const std::u16string& text, const std::u16string& title) override;
    void setBusy(bool busy) override;
    void endProgram() override;
    void blockInput(bool blocked) override;
    void processEvents() override;
    void showProgress(bool cancellable) override;
    void setProgress(const std::u16string& text, int value, int maximum) override;
    void closeProgress() override;

    // The progress window while a run shows one.
    ProgressWindow* progressWindow() const { return progress_.get(); }

  protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    bool nativeEvent(const QByteArray& eventType, void* message, qintptr* result) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    // Keys pressed anywhere in the window go to the form before the control with the focus.
    bool formKeyDown(QKeyEvent* event);

  private:
    void build();
    QWidget* create(const ControlDescription& control);
    void dispatchEvents();
    // Page controls stand where the description puts them in the tab control's coordinates,
    // whatever height the style and font give the tab strip.
    void placePageControls();
    // Only the chosen option is a Tab stop: the Tab cycle enters the group there.
    void keepChosenOptionTabStop();
    template <class Widget> Widget* control(ControlId id) const {
        return static_cast<Widget*>(control(id));
    }
    QListWidget* list(ListBox list) const;
    QCheckBox* box(CheckBox box) const;
    QLineEdit* field(TextBox box) const;
    QRadioButton* option(int index) const;
    QComboBox* layers() const;
    QComboBox* rotation() const;
    QTabWidget* tabs() const;

    // By ControlId.
    std::vector<QWidget*> controls_;
    std::unique_ptr<Messages> messages_;
    std::function<void()> endProgram_;
    std::unique_ptr<InputBlocker> inputBlocker_;
    std::unique_ptr<ProgressWindow> progress_;
    frmTagwright form_;
};

} // namespace tagwright::window::qt
