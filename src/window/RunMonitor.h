#pragma once

#include "host/EditorWait.h"
#include "run/RunProgress.h"
#include "window/ProgressControls.h"

#include <array>
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

namespace tagwright::window {

// Keeps the window answering through one long run, and is the one record that a run is going:
// it lives as long as the run. From its start to its end the window's input is blocked (and,
// for a handler's run, the busy cursor is up); every little while the toolkit gets a turn of
// its event loop, and once the run has taken long enough a progress window shows what it is
// doing and, where the run can be stopped, lets the user cancel it. A message the run shows
// goes through it, under the ordinary cursor.
//
// Reading the clock can cost as much as a tenth of a fast step, so it is read only every so
// many steps: as many as take about a millisecond at the pace of the steps just before, at
// most twice as many as the last time and never more than a few dozen, so a host that slows
// down is noticed soon.
//
// A single call can keep the editor waiting far longer than any step: for its life the monitor
// is the thread's editor-wait watcher, so the window answers during such a call as between
// steps, says why nothing moves, and the user can cancel the wait too.
class RunMonitor final : public run::RunProgress, public host::EditorWaitWatcher {
  public:
    // A run that ends sooner shows no progress window at all.
    static constexpr std::chrono::milliseconds showAfter{500};
    // The least time between two turns of the event loop. A turn comes at the first step after
    // it, so the window waits at most this plus one step: well within what a user notices, and
    // far within the seconds after which a system calls a window not responding.
    static constexpr std::chrono::milliseconds eventInterval{25};

    // Whether the busy cursor is up while the run works: a handler's run has it; the lists'
    // fill, at start-up and at a refresh, keeps the ordinary cursor.
    enum class Cursor { Ordinary, Busy };

    RunMonitor(ProgressControls& controls, bool cancellable, Cursor cursor = Cursor::Ordinary);
    // Gives the window its input back, closes the progress window and the busy cursor.
    ~RunMonitor() override;
    RunMonitor(const RunMonitor&) = delete;
    RunMonitor& operator=(const RunMonitor&) = delete;

    bool proceed(run::RunStage stage, std::size_t done, std::size_t total) override;
    bool editorWaiting(host::EditorWaitReason reason, std::chrono::milliseconds waited,
                       std::chrono::milliseconds left) override;

    // The user asked to stop; the run stops at its next step, and a call that waits for the
    // editor meanwhile gives up at once. Ignored by a run that cannot be cancelled.
    void cancel();
    bool cancelled() const { return cancelled_; }
    // The window was asked to close: the run goes on to its end (only cancelling stops it), and
    // the window closes then.
    void requestClose() { closeRequested_ = true; }
    bool closeRequested() const { return closeRequested_; }
    // A modal message while the run works: the user is asked to read and click, so the
    // ordinary cursor while it is up.
    void showMessage(const std::u16string& text, const std::u16string& title);

  private:
    struct Step {
        run::RunStage stage;
        std::size_t done, total;
    };

    bool atReading();
    // The toolkit ran its event loop elsewhere (a message box was up): the next turn is due
    // only an interval from now.
    void eventsHandled();
    void showWhenDue(ProgressControls::Clock::time_point now);
    void show();
    std::u16string describe(const Step& step) const;

    ProgressControls& controls_;
    const bool cancellable_;
    const Cursor cursor_;
    bool cancelled_ = false;
    bool closeRequested_ = false;
    bool shown_ = false;
    ProgressControls::Clock::time_point started_;
    ProgressControls::Clock::time_point lastTurn_;
    ProgressControls::Clock::time_point lastReading_;
    // Steps between two readings of the clock, and the steps left until the next one.
    int stride_ = 1;
    int countdown_ = 1;
    // Members read so far into the component, net and net class lists.
    std::array<std::size_t, 3> listed_{};
    // The step the run is at, none before its first.
    std::optional<Step> step_;
    // The progress window tells of a wait for the editor, not of the run.
    bool toldWait_ = false;
    host::EditorWaitScope waitScope_{*this};
};

} // namespace tagwright::window
