#pragma once

#include "host/CallRecorder.h"
#include "host/Failure.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "support/TestDesign.h"
#include "window/frmTagwright.h"

#include <QAbstractButton>
#include <QString>

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <utility>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

namespace tagwright::test {

struct Message {
    QString text, title;
    friend bool operator==(const Message&, const Message&) = default;
    friend void PrintTo(const Message& m, std::ostream* out) {
        *out << "[" << m.title.toStdString() << "] " << m.text.toStdString();
    }
};
using MessageLog = std::vector<Message>;

// Records every message the window shows; each counts as dismissed at once.
class RecordedMessages : public window::Messages {
  public:
    explicit RecordedMessages(std::shared_ptr<MessageLog> shown) : shown_(std::move(shown)) {}
    void show(const QString& text, const QString& title) override {
        shown_->push_back({text, title});
    }

  private:
    std::shared_ptr<MessageLog> shown_;
};

// The window attached to an in-memory design through a recording decorator, with its messages
// and the program's end observed instead of acted on.
struct WindowHarness {
    std::shared_ptr<host::memory::Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    std::shared_ptr<MessageLog> messages = std::make_shared<MessageLog>();
    int programEnds = 0;
    bool designOpen = true;
    std::function<void()> onAttach; // runs at each attach, before the editor is reached
    std::unique_ptr<window::frmTagwright> window;

    explicit WindowHarness(const std::string& json = smallBoard)
        : design(std::make_shared<host::memory::Design>(host::memory::parseDesign(json, "test"))) {
        window = std::make_unique<window::frmTagwright>([this] {
            if (onAttach)
                onAttach();
            return host::HostApplication(host::recordCalls(
                host::memory::makeApplication(designOpen ? design : nullptr), log));
        });
        window->setMessages(std::make_unique<RecordedMessages>(messages));
        window->setProgramEnd([this] { ++programEnds; });
    }

    template <class Widget = QWidget> Widget* control(const QString& name) const {
        auto* widget = window->objectName() == name ? qobject_cast<Widget*>(window.get())
                                                    : window->findChild<Widget*>(name);
        if (widget == nullptr)
            throw std::runtime_error("no control " + name.toStdString());
        return widget;
    }
    void click(const char* name) const { control<QAbstractButton>(name)->click(); }
    MessageLog takeMessages() { return std::exchange(*messages, {}); }
};

} // namespace tagwright::test
