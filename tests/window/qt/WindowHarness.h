#pragma once

#include "host/CallDelay.h"
#include "host/Failure.h"
#include "host/memory/DesignFile.h"
#include "host/memory/MemoryHost.h"
#include "support/CallRecorder.h"
#include "support/TestDesign.h"
#include "window/qt/FormWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QString>

#include <chrono>
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
    QString text, title = "Tagwright";
    friend bool operator==(const Message&, const Message&) = default;
    friend void PrintTo(const Message& m, std::ostream* out) {
        *out << "[" << m.title.toStdString() << "] " << m.text.toStdString();
    }
};
using MessageLog = std::vector<Message>;

// Records every message the window shows; each counts as dismissed at once.
struct RecordedMessages : window::qt::Messages {
    explicit RecordedMessages(std::shared_ptr<MessageLog> shown) : shown(std::move(shown)) {}
    void show(const QString& text, const QString& title) override {
        shown->push_back({text, title});
    }
    std::shared_ptr<MessageLog> shown;
};

// A window with its messages and the program's end observed instead of acted on, and what a
// user does to it.
struct WindowUnderTest {
    std::shared_ptr<MessageLog> messages = std::make_shared<MessageLog>();
    int programEnds = 0;
    std::unique_ptr<window::qt::FormWindow> window;

    explicit WindowUnderTest(host::AttachFunction attach)
        : window(std::make_unique<window::qt::FormWindow>(std::move(attach))) {
        window->setMessages(std::make_unique<RecordedMessages>(messages));
        window->setProgramEnd([this] { ++programEnds; });
    }

    window::frmTagwright& form() const { return window->form(); }
    template <class Widget = QWidget> Widget* control(const QString& name) const {
        auto* widget = window->objectName() == name ? qobject_cast<Widget*>(window.get())
                                                    : window->findChild<Widget*>(name);
        if (widget == nullptr) {
            throw std::runtime_error("no control " + name.toStdString());
        }
        return widget;
    }
    void click(const char* name) const { control<QAbstractButton>(name)->click(); }
    void tick(const char* name) const { control<QAbstractButton>(name)->setChecked(true); }
    void select(const char* list, int row) const {
        control<QListWidget>(list)->item(row)->setSelected(true);
    }
    void setText(const char* field, const char* text) const {
        if (auto* combo = window->findChild<QComboBox*>(field)) {
            combo->setEditText(text);
        } else {
            control<QLineEdit>(field)->setText(text);
        }
    }
    MessageLog takeMessages() { return std::exchange(*messages, {}); }
};

// The window attached to an in-memory design through a recording decorator; the host can wait
// `delay` at each call.
struct WindowHarness : WindowUnderTest {
    std::shared_ptr<host::memory::Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();

    explicit WindowHarness(const std::string& json = smallBoard)
        : WindowHarness(host::memory::parseDesign(json, "test")) {}
    explicit WindowHarness(host::memory::Design board, std::chrono::microseconds delay = {})
        : WindowUnderTest([this, delay] {
              return host::HostApplication(host::recordCalls(
                  host::delayCalls(host::memory::makeApplication(design), delay), log));
          }),
          design(std::make_shared<host::memory::Design>(std::move(board))) {}
};

} // namespace tagwright::test
