#pragma once

#include "host/Text.h"
#include "host/memory/MemoryHost.h"
#include "support/CallRecorder.h"
#include "window/FormControls.h"
#include "window/frmTagwright.h"

#include <array>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

namespace tagwright::test {

struct FormMessage {
    std::u16string text, title = u"Tagwright";
    friend bool operator==(const FormMessage&, const FormMessage&) = default;
    friend void PrintTo(const FormMessage& m, std::ostream* out) {
        *out << "[" << host::toUtf8(m.title) << "] " << host::toUtf8(m.text);
    }
};

// The window's controls as plain state: what the form sets, and what a user sets before
// raising an event. Behaves like a toolkit where the form could tell: disabling the current page
// brings the next available one to the front, and the focus moves only when asked to. What no
// toolkit would let the form do (a second progress window, events while the window takes
// input) throws.
class FakeControls : public window::FormControls {
  public:
    struct Entry {
        std::u16string text;
        bool selected = false;
    };
    struct Box {
        bool ticked = false, enabled = true;
    };

    // As the window is created, before the form loads.
    std::array<std::vector<Entry>, 3> lists;
    std::vector<std::u16string> layers;
    int layer = -1;
    std::u16string rotation;
    std::array<Box, 5> boxes;
    std::array<std::u16string, 4> texts{u"", u"", u"15", u"1"};
    int chosenOption = -1, focusedOption = -1;
    int page = window::netsPage;
    std::array<bool, 3> available{true, true, true};
    // Lists between listFillBegin and listFillEnd, and entries appended outside such a fill.
    std::array<bool, 3> filling{};
    int appendsOutsideFill = 0;

    std::vector<FormMessage> messages;
    // Busy changes and messages in order: "busy", "idle", "message".
    std::vector<std::string> trace;
    bool busy = false;
    int programEnds = 0;

    // Long runs. The clock stands still unless a test moves it (from a host call, say), so
    // every run is instant until then.
    Clock::time_point clock{};
    bool inputBlocked = false;
    // What the user does while the toolkit has its turn.
    std::function<void()> onEvents;
    std::vector<Clock::time_point> eventTurns;
    struct Progress {
        bool shown = false, cancellable = false;
        std::u16string text;
        Clock::time_point shownAt{};
    } progress;
    // Each text the progress window showed, with its bar's value and maximum, and when.
    struct ProgressText {
        std::u16string text;
        int value, maximum;
        Clock::time_point at;
    };
    std::vector<ProgressText> progressTexts;
    int progressWindows = 0;
    int messagesOverProgress = 0;

    template <class Items, class Index> static auto& at(Items&& items, Index index) {
        return items.at(static_cast<std::size_t>(index));
    }
    Box& box(window::CheckBox b) { return at(boxes, b); }
    std::vector<Entry>& list(window::ListBox l) { return at(lists, l); }
    std::u16string& field(window::TextBox t) { return at(texts, t); }
    std::vector<std::u16string> listTexts(window::ListBox l) const {
        std::vector<std::u16string> out;
        for (const Entry& e : at(lists, l)) {
            out.push_back(e.text);
        }
        return out;
    }

    void listClear(window::ListBox l) override { list(l).clear(); }
    void listAppend(window::ListBox l, const std::u16string& text) override {
        appendsOutsideFill += at(filling, l) ? 0 : 1;
        list(l).push_back({text});
    }
    void listFillBegin(window::ListBox l) override { at(filling, l) = true; }
    void listFillEnd(window::ListBox l) override { at(filling, l) = false; }
    int listCount(window::ListBox l) const override { return int(at(lists, l).size()); }
    std::u16string listText(window::ListBox l, int i) const override {
        return at(at(lists, l), i).text;
    }
    bool listSelected(window::ListBox l, int i) const override {
        return at(at(lists, l), i).selected;
    }

    void layerClear() override { layers.clear(), layer = -1; }
    void layerAppend(const std::u16string& text) override { layers.push_back(text); }
    int layerCount() const override { return int(layers.size()); }
    int layerIndex() const override { return layer; }
    // As a toolkit does, an index past the end picks nothing and says nothing.
    void setLayerIndex(int index) override { layer = index < layerCount() ? index : -1; }

    std::u16string rotationText() const override { return rotation; }
    void setRotationIndex(int index) override {
        rotation = at(std::array{u"00", u"90", u"180", u"270"}, index);
    }

    bool checked(window::CheckBox b) const override { return at(boxes, b).ticked; }
    void setEnabled(window::CheckBox b, bool enabled) override { box(b).enabled = enabled; }
    std::u16string text(window::TextBox t) const override { return at(texts, t); }

    void chooseOption(int index) override { chosenOption = index; }
    std::u16string optionCaption(int index) const override {
        return at(std::array{u"网络名称", u"管脚号", u"网络类型"}, index);
    }
    void focusChosenOption() override { focusedOption = chosenOption; }

    int currentPage() const override { return page; }
    void setCurrentPage(int p) override { page = p; }
    bool pageAvailable(int p) const override { return at(available, p); }
    void setPageAvailable(int p, bool isAvailable) override {
        at(available, p) = isAvailable;
        for (int next = 1; p == page && !isAvailable && next < 3; ++next) {
            if (at(available, (page + next) % 3)) {
                page = (page + next) % 3;
            }
        }
    }

    void showMessage(const std::u16string& text, const std::u16string& title) override {
        messages.push_back({text, title});
        trace.push_back("message");
        messagesOverProgress += progress.shown ? 1 : 0;
    }
    void setBusy(bool isBusy) override {
        busy = isBusy;
        trace.push_back(isBusy ? "busy" : "idle");
    }
    void endProgram() override { ++programEnds; }

    Clock::time_point now() const override { return clock; }
    void blockInput(bool blocked) override {
        require(blocked != inputBlocked, "input blocked or unblocked twice");
        inputBlocked = blocked;
    }
    void processEvents() override {
        require(inputBlocked, "events processed with the window taking input");
        eventTurns.push_back(clock);
        if (onEvents) {
            onEvents();
        }
    }
    void showProgress(bool cancellable) override {
        require(!progress.shown, "a second progress window");
        progress = {true, cancellable, {}, clock};
        ++progressWindows;
    }
    void setProgress(const std::u16string& text, int value, int maximum) override {
        require(progress.shown, "progress without its window");
        progress.text = text;
        progressTexts.push_back({text, value, maximum, clock});
    }
    void closeProgress() override {
        require(progress.shown, "closing a progress window that is not shown");
        progress.shown = false;
    }

  private:
    static void require(bool holds, const char* broken) {
        if (!holds) {
            throw std::logic_error(broken);
        }
    }
};

// The form over fake controls, attached to an in-memory design through a call recorder.
struct FormSession {
    std::shared_ptr<host::memory::Design> design;
    std::shared_ptr<host::CallLog> log = std::make_shared<host::CallLog>();
    bool designOpen = true;
    std::function<void()> onAttach; // runs at each attach, before the editor is reached
    FakeControls controls;
    window::frmTagwright form{
        controls, [this] {
            if (onAttach) {
                onAttach();
            }
            return host::HostApplication(host::recordCalls(
                host::memory::makeApplication(designOpen ? design : nullptr), log));
        }};

    // On a design of its own, texts included, so that sessions on one design never meet.
    explicit FormSession(const host::memory::Design& d) : design(host::memory::separateCopy(d)) {}
    // What a user does: the toolkit changes the control, then raises the event.
    void choose(std::int16_t option) {
        controls.chooseOption(option);
        form.optLabelType_Click(option);
    }
};

} // namespace tagwright::test
