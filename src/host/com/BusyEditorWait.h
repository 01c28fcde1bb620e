#pragma once

#include "host/Failure.h"

#include <objbase.h>

#include <chrono>
#include <functional>

namespace tagwright::host::com {

// An editor that shows a modal dialog rejects automation calls until the dialog closes
// (RPC_E_CALL_REJECTED, RPC_E_SERVERCALL_RETRYLATER). A call then waits, asking again, for up
// to its patience counted from the first try, and fails with a failure that tells the user
// what to do. While it waits the window is repainted but gets no input, so no second handler
// can start inside the call.
class BusyEditorWait {
  public:
    static constexpr std::chrono::milliseconds defaultPatience{10000};
    // Between two tries; also what the message filter asks COM to wait.
    static constexpr std::chrono::milliseconds pause{100};

    explicit BusyEditorWait(std::chrono::milliseconds patience = defaultPatience)
        : patience_(patience) {}

    // Makes `call` and returns what it returned, unless the editor rejected it for longer than
    // the patience: then throws busyFailure().
    HRESULT run(const std::function<HRESULT()>& call) const;

    static bool isRejection(HRESULT hr) {
        return hr == RPC_E_CALL_REJECTED || hr == RPC_E_SERVERCALL_RETRYLATER;
    }
    static Failure busyFailure(HRESULT rejection);

    // The patience of the call this thread is making, for the message filter that COM asks
    // while the call is rejected; the default one outside any call.
    static std::chrono::milliseconds currentPatience();

  private:
    std::chrono::milliseconds patience_;
};

} // namespace tagwright::host::com
