#pragma once

#include <QString>

class QWidget;

namespace tagwright::window::qt {

// Every message the window shows goes through here, so tests can read and dismiss them.
class Messages {
  public:
    virtual ~Messages() = default;
    // Modal, OK only, no icon; returns once the user has dismissed it.
    virtual void show(const QString& text, const QString& title) = 0;
};

// The real thing: a modal message box over `owner` once the owner is on screen.
class MessageBoxes : public Messages {
  public:
    explicit MessageBoxes(QWidget* owner) : owner_(owner) {}
    void show(const QString& text, const QString& title) override;

  private:
    QWidget* owner_;
};

} // namespace tagwright::window::qt
