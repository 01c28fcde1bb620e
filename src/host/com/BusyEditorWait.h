#pragma once

#include "host/Failure.h"

#include <objbase.h>

#include <chrono>
#include <functional>

namespace tagwright::host::com {

// Keeps one automation call from waiting on the editor without a way out.
//
// An editor that shows a modal dialog rejects calls until the dialog closes
// (RPC_E_CALL_REJECTED, RPC_E_SERVERCALL_RETRYLATER). A call then waits, asking again, for up
// to its patience counted from the first try, and fails with a failure that tells the user
// what to do.
//
// An editor that took the call and does not answer is worse: nothing comes back at all. While
// such a call is pending, COM runs a modal loop on this thread and asks the message filter
// (BusyEditorFilter) about every message; a timer keeps messages coming, so the filter can
// tell the run's watcher how long the call has waited and cancel it when the user asks to or
// when unansweredCallLimit has passed. The call then returns RPC_E_CALL_CANCELED.
//
// Either way the window is repainted but gets no input, so no second handler can start inside
// the call.
class BusyEditorWait {
  public:
    static constexpr std::chrono::milliseconds defaultPatience{10000};
    // Between two tries; also what the message filter asks COM to wait.
    static constexpr std::chrono::milliseconds pause{100};
    // How often a pending call hears from the clock, and the watcher from the call.
    static constexpr std::chrono::milliseconds tick{25};

    explicit BusyEditorWait(std::chrono::milliseconds patience = defaultPatience,
                            std::chrono::milliseconds unansweredLimit = defaultUnansweredLimit())
        : patience_(patience), unansweredLimit_(unansweredLimit) {}

    // Makes `call` and returns what it returned, unless the editor rejected it for longer than
    // the patience (or the user stopped waiting): then throws busyFailure(). A call that was
    // cancelled for not answering returns RPC_E_CALL_CANCELED, and unanswered() says so.
    HRESULT run(const std::function<HRESULT()>& call) const;

    static bool isRejection(HRESULT hr) {
        return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER;
    }
    static Failure busyFailure(HRESULT rejection);

    // The patience of the call this thread is making, for the message filter that COM asks
    // while the call is rejected; the default one outside any call.
    static std::chrono::milliseconds currentPatience();

    // For the message filter, while a call of this thread is pending: false when the call is
    // to be cancelled (the user asked, or the editor has not answered in time).
    static bool keepWaitingForAnswer();
    // For the filter while COM retries a rejected call itself: false when the user asked to
    // stop.
    static bool keepWaitingWhileBusy(std::chrono::milliseconds elapsed);

    // How long the last call of this thread waited, when keepWaitingForAnswer() cancelled it;
    // zero when it was not cancelled.
    static std::chrono::milliseconds unanswered();

    std::chrono::milliseconds unansweredLimit() const { return unansweredLimit_; }

    // For a thread that waits on another one's call (LinkThread): whether that call is being
    // rejected by a busy editor right now, and a way to make it give up at its next try.
    static bool rejecting();
    static void stopWaiting();

  private:
    static std::chrono::milliseconds defaultUnansweredLimit();

    std::chrono::milliseconds patience_;
    std::chrono::milliseconds unansweredLimit_;
};

} // namespace tagwright::host::com
