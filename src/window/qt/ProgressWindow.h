#pragma once

#include <QDialog>

#include <functional>

class QLabel;
class QProgressBar;
class QPushButton;

namespace tagwright::window::qt {

// The progress window of a long run: a line of text, a bar, and a "取消" button where the run
// can be cancelled. Modal over its owner, which takes no input while it is up, or over the
// whole program while the window has not been shown yet. It has no close box: Escape is the
// cancel button's key, and does nothing when there is no button.
class ProgressWindow : public QDialog {
  public:
    ProgressWindow(QWidget* owner, const QFont& font, bool cancellable,
                   std::function<void()> cancel);

    // A busy bar when `maximum` is 0.
    void setProgress(const QString& text, int value, int maximum);

    QPushButton* cancelButton() const { return cancel_; }

  protected:
    void reject() override;
    void closeEvent(QCloseEvent* event) override;

  private:
    QLabel* text_;
    QProgressBar* bar_;
    QPushButton* cancel_;
    std::function<void()> onCancel_;
};

} // namespace tagwright::window::qt
