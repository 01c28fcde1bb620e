#include "host/com/BusyEditorWait.h"

#include "host/EditorWait.h"

#include <windows.h>

#include <atomic>
#include <cstdint>

namespace tagwright::host::com {

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::milliseconds;

// What the filter needs to know of the call this thread is making.
struct PendingCall {
    const BusyEditorWait* wait = nullptr;
    Clock::time_point started;
    bool cancelled = false;
};

thread_local PendingCall* pendingCall = nullptr;
// Seen from other threads: whether a call is being rejected, and whether to stop asking.
std::atomic<bool> rejectedNow{false};
std::atomic<bool> stopAsked{false};
thread_local milliseconds lastUnanswered{0};

milliseconds since(Clock::time_point start) {
    return std::chrono::duration_cast<milliseconds>(Clock::now() - start);
}

// Keeps the thread answering the system (sent messages) and its windows painted for `length`,
// and leaves input and posted messages queued for the window's own loop after the call.
void pauseHoldingInput(milliseconds length) {
    const auto until = Clock::now() + length;
    for (;;) {
        auto left = std::chrono::ceil<milliseconds>(until - Clock::now());
        if (left.count() <= 0) {
            return;
        }
        MsgWaitForMultipleObjectsEx(0, nullptr, static_cast<DWORD>(left.count()),
                                    QS_SENDMESSAGE | QS_PAINT, 0);
        MSG message;
        while (PeekMessageW(&message, nullptr, 0, 0, PM_REMOVE | PM_QS_PAINT)) {
            DispatchMessageW(&message);
        }
    }
}

// A pause between two tries of a rejected call, in ticks, so the watcher can show why nothing
// moves and let the user stop. False when the user stopped.
bool pauseWhileBusy(milliseconds length, Clock::time_point started, milliseconds patience) {
    EditorWaitWatcher* watcher = EditorWaitScope::current();
    if (!watcher) {
        pauseHoldingInput(length);
        return !stopAsked.load();
    }
    const auto until = Clock::now() + length;
    while (Clock::now() < until) {
        const milliseconds waited = since(started);
        if (!watcher->editorWaiting(EditorWaitReason::Busy, waited, patience - waited)) {
            return false;
        }
        pauseHoldingInput(
            std::min(BusyEditorWait::tick, std::chrono::ceil<milliseconds>(until - Clock::now())));
    }
    return true;
}

// Posts a message to the calling thread every tick while one of its calls has been pending for
// longer than a tick. COM's modal loop asks the message filter only when a message arrives, and
// Wine's wakes only for sent and posted messages (not for timers), so the messages are posted,
// from a thread of their own. A call that comes back within a tick, as nearly all do, costs
// the calling thread no system call and leaves no message behind.
class CallTicker {
  public:
    static CallTicker& instance() {
        static CallTicker ticker;
        return ticker;
    }

    void begin(DWORD thread) {
        thread_.store(thread);
        ++calls_;
        ++pending_;
    }
    void end() { --pending_; }

  private:
    CallTicker() {
        HANDLE thread = CreateThread(nullptr, 0, &CallTicker::run, this, 0, nullptr);
        if (thread) {
            CloseHandle(thread);
        }
    }

    static DWORD WINAPI run(void* self) {
        auto& ticker = *static_cast<CallTicker*>(self);
        std::uint64_t seen = 0;
        for (;;) {
            Sleep(static_cast<DWORD>(BusyEditorWait::tick.count()));
            const std::uint64_t calls = ticker.calls_.load();
            if (ticker.pending_.load() > 0 && calls == seen) {
                PostThreadMessageW(ticker.thread_.load(), WM_NULL, 0, 0);
            }
            seen = calls;
        }
    }

    std::atomic<DWORD> thread_{0};
    std::atomic<std::uint64_t> calls_{0};
    std::atomic<int> pending_{0};
};

// Keeps the ticks coming for as long as one call is pending.
class Ticking {
  public:
    Ticking() { CallTicker::instance().begin(GetCurrentThreadId()); }
    ~Ticking() { CallTicker::instance().end(); }
    Ticking(const Ticking&) = delete;
    Ticking& operator=(const Ticking&) = delete;
};

} // namespace

milliseconds BusyEditorWait::defaultUnansweredLimit() {
    return unansweredCallLimit;
}

HRESULT BusyEditorWait::run(const std::function<HRESULT()>& call) const {
    PendingCall* outer = pendingCall;
    PendingCall pending{this, Clock::now()};
    pendingCall = &pending;
    if (!outer) {
        stopAsked = false;
    }
    struct Restore {
        PendingCall* outer;
        ~Restore() {
            pendingCall = outer;
            rejectedNow = false;
        }
    } restore{outer};
    lastUnanswered = milliseconds{0};

    const auto start = pending.started;
    for (;;) {
        HRESULT hr;
        {
            const Ticking ticking;
            pending.started = Clock::now();
            pending.cancelled = false;
            hr = call();
        }
        if (hr == RPC_E_CALL_CANCELED && pending.cancelled) {
            lastUnanswered = since(pending.started);
            return hr;
        }
        if (!isRejection(hr)) {
            return hr;
        }
        rejectedNow = true;
        if (Clock::now() - start + pause > patience_) {
            throw busyFailure(hr);
        }
        if (!pauseWhileBusy(pause, start, patience_)) {
            throw busyFailure(hr);
        }
    }
}

Failure BusyEditorWait::busyFailure(HRESULT rejection) {
    return Failure::editorBusy(static_cast<std::int32_t>(rejection));
}

milliseconds BusyEditorWait::currentPatience() {
    return pendingCall ? pendingCall->wait->patience_ : defaultPatience;
}

bool BusyEditorWait::keepWaitingForAnswer() {
    if (!pendingCall) {
        return true;
    }
    const milliseconds waited = since(pendingCall->started);
    const milliseconds limit = pendingCall->wait->unansweredLimit_;
    bool keep = waited < limit;
    if (EditorWaitWatcher* watcher = EditorWaitScope::current()) {
        // The watcher may run the event loop; the call it watches is still this thread's.
        PendingCall* mine = pendingCall;
        keep =
            watcher->editorWaiting(EditorWaitReason::NotAnswering, waited, limit - waited) && keep;
        pendingCall = mine;
    }
    if (!keep) {
        pendingCall->cancelled = true;
    }
    return keep;
}

bool BusyEditorWait::keepWaitingWhileBusy(milliseconds elapsed) {
    rejectedNow = true;
    EditorWaitWatcher* watcher = EditorWaitScope::current();
    if (!watcher) {
        return !stopAsked.load();
    }
    const milliseconds patience = currentPatience();
    return watcher->editorWaiting(EditorWaitReason::Busy, elapsed, patience - elapsed);
}

bool BusyEditorWait::rejecting() {
    return rejectedNow.load();
}

void BusyEditorWait::stopWaiting() {
    stopAsked = true;
}

milliseconds BusyEditorWait::unanswered() {
    return lastUnanswered;
}

} // namespace tagwright::host::com
