#pragma once

#include <QObject>

class QWidget;

namespace tagwright::window::qt {

// Drops whatever the user does to one window (keys, mouse, wheel, shortcuts) for as long as it
// lives, so that turns of the event loop inside a handler can repaint the window without
// starting another handler. The input is dropped, not kept for later: a click made during a run
// never acts after it. A request to close is no such input: the window hears of it and the form
// keeps it for the run's end.
class InputBlocker : public QObject {
  public:
    explicit InputBlocker(QWidget* window);
    ~InputBlocker() override;

  protected:
    bool eventFilter(QObject* receiver, QEvent* event) override;

  private:
    QWidget* window_;
};

} // namespace tagwright::window::qt
