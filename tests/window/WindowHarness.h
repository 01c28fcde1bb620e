#pragma once

#include "host/CallRecorder.h"
#include "host/Failure.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "support/TestDesign.h"
#include "window/frmTagwright.h"

#include <QRect>
#include <QString>
#include <QWidget>

#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <utility>
#include <vector>

// Readable failure output for Qt strings.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QRect& r, std::ostream* out) {
    *out << "(" << r.x() << ", " << r.y() << ") " << r.width() << "x" << r.height();
}

namespace tagwright::test {

struct Message {
    QString text;
    QString title;
    friend bool operator==(const Message&, const Message&) = default;
    friend void PrintTo(const Message& m, std::ostream* out) {
        *out << "[" << m.title.toStdString() << "] " << m.text.toStdString();
    }
};

// Records every message the window shows; each counts as dismissed at once.
class RecordedMessages : public window::Messages {
  public:
    explicit RecordedMessages(std::shared_ptr<std::vector<Message>> shown)
        : shown_(std::move(shown)) {}
    void show(const QString& text, const QString& title) override {
        shown_->push_back({text, title});
    }

  private:
    std::shared_ptr<std::vector<Message>> shown_;
};

// The window attached to an in-memory design through a recording decorator, with its
// messages and its program end observed instead of acted on.
struct WindowHarness {
    std::shared_ptr<host::memory::Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    std::shared_ptr<std::vector<Message>> messages = std::make_shared<std::vector<Message>>();
    int programEnds = 0;
    bool editorRunning = true;
    bool designOpen = true;
    // Runs at each attach, before the editor is reached.
    std::function<void()> onAttach;
    std::unique_ptr<window::frmTagwright> window;

    explicit WindowHarness(const std::string& json = smallBoard)
        : design(std::make_shared<host::memory::Design>(host::memory::parseDesign(json, "test"))) {
        window = std::make_unique<window::frmTagwright>([this] {
            if (onAttach)
                onAttach();
            if (!editorRunning)
                throw host::Failure(429, u"ActiveX 部件不能创建对象");
            return host::HostApplication(host::recordCalls(
                host::memory::makeApplication(designOpen ? design : nullptr), log));
        });
        window->setMessages(std::make_unique<RecordedMessages>(messages));
        window->setProgramEnd([this] { ++programEnds; });
    }

    template <class Widget = QWidget> Widget* control(const char* name) const {
        if (window->objectName() == QLatin1String(name))
            return qobject_cast<Widget*>(window.get());
        auto* widget = window->findChild<Widget*>(QString::fromLatin1(name));
        if (widget == nullptr)
            throw std::runtime_error(std::string("no control ") + name);
        return widget;
    }

    // Takes the messages shown so far.
    std::vector<Message> takeMessages() { return std::exchange(*messages, {}); }
};

} // namespace tagwright::test
