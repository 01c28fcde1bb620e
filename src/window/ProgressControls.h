#pragma once

#include <chrono>
#include <string>

namespace tagwright::window {

// What a long run asks of a toolkit so that the window keeps answering while it works: a
// clock, a turn of the event loop now and then, a small progress window, the busy cursor, and
// the messages the run shows. The form drives them through its run monitor (RunMonitor), which
// alone knows that a run is going; each front end implements them natively.
class ProgressControls {
  public:
    using Clock = std::chrono::steady_clock;

    virtual ~ProgressControls() = default;

    // The time runs are measured by; tests put a clock of their own here.
    virtual Clock::time_point now() const { return Clock::now(); }

    // While a run works, nothing the user does reaches the window, so no handler can start
    // inside another: its input is dropped, not kept for later. It still repaints.
    virtual void blockInput(bool blocked) = 0;
    // Handles the events that are waiting (repaint, the progress window and its button) and
    // returns at once; never waits for more.
    virtual void processEvents() = 0;

    // The progress window: modal, titled "Tagwright", owned by the window, or standing alone
    // while the window has not been shown yet. When the run can be cancelled it has a "取消"
    // button, which Escape presses too and which raises the form's cmdCancelRun_Click.
    virtual void showProgress(bool cancellable) = 0;
    // Its one line of text, and its bar at `value` of `maximum`, or a busy bar when
    // `maximum` is 0.
    virtual void setProgress(const std::u16string& text, int value, int maximum) = 0;
    virtual void closeProgress() = 0;

    // The busy cursor over the window while a run works; set once and cleared once, with the
    // ordinary cursor between while a message is up.
    virtual void setBusy(bool busy) = 0;
    // A modal message box, OK only, no icon, owned by the window; returns once dismissed.
    virtual void showMessage(const std::u16string& text, const std::u16string& title) = 0;
};

} // namespace tagwright::window
