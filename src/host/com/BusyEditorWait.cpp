#include "host/com/BusyEditorWait.h"

#include <windows.h>

namespace tagwright::host::com {

namespace {

using Clock = std::chrono::steady_clock;

thread_local const std::chrono::milliseconds* patienceOfCall = nullptr;

// Keeps the thread answering the system (sent messages) and its windows painted for `length`,
// and leaves input and posted messages queued for the window's own loop after the call.
void pauseHoldingInput(std::chrono::milliseconds length) {
    const auto until = Clock::now() + length;
    for (;;) {
        auto left = std::chrono::ceil<std::chrono::milliseconds>(until - Clock::now());
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

} // namespace

HRESULT BusyEditorWait::run(const std::function<HRESULT()>& call) const {
    const std::chrono::milliseconds* outer = patienceOfCall;
    patienceOfCall = &patience_;
    struct Restore {
        const std::chrono::milliseconds* outer;
        ~Restore() { patienceOfCall = outer; }
    } restore{outer};

    const auto start = Clock::now();
    for (;;) {
        HRESULT hr = call();
        if (!isRejection(hr)) {
            return hr;
        }
        if (Clock::now() - start + pause > patience_) {
            throw busyFailure(hr);
        }
        pauseHoldingInput(pause);
    }
}

Failure BusyEditorWait::busyFailure(HRESULT rejection) {
    return Failure::editorBusy(static_cast<std::int32_t>(rejection));
}

std::chrono::milliseconds BusyEditorWait::currentPatience() {
    return patienceOfCall ? *patienceOfCall : defaultPatience;
}

} // namespace tagwright::host::com
