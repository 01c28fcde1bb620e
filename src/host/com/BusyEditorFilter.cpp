#include "host/com/BusyEditorFilter.h"

#include "host/com/BusyEditorWait.h"

namespace tagwright::host::com {

ComPtr<IMessageFilter> BusyEditorFilter::create() {
    return ComPtr<IMessageFilter>::adopt(new BusyEditorFilter);
}

HRESULT BusyEditorFilter::QueryInterface(REFIID iid, void** out) {
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IMessageFilter) {
        *out = static_cast<IMessageFilter*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG BusyEditorFilter::AddRef() {
    return ++references_;
}

ULONG BusyEditorFilter::Release() {
    ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

DWORD BusyEditorFilter::HandleInComingCall(DWORD, HTASK, DWORD, INTERFACEINFO*) {
    return SERVERCALL_ISHANDLED;
}

DWORD BusyEditorFilter::RetryRejectedCall(HTASK, DWORD elapsed, DWORD rejection) {
    if (rejection != SERVERCALL_REJECTED && rejection != SERVERCALL_RETRYLATER) {
        return static_cast<DWORD>(-1);
    }
    // Giving up here makes the call return the rejection; BusyEditorWait then fails it.
    if (std::chrono::milliseconds(elapsed) + BusyEditorWait::pause >
            BusyEditorWait::currentPatience() ||
        !BusyEditorWait::keepWaitingWhileBusy(std::chrono::milliseconds(elapsed))) {
        return static_cast<DWORD>(-1);
    }
    return static_cast<DWORD>(BusyEditorWait::pause.count());
}

DWORD BusyEditorFilter::MessagePending(HTASK, DWORD, DWORD) {
    // Input stays queued for the window's own loop (or the run's watcher, which handles the
    // progress window's 取消); painting goes on. Windows ends the call when told to cancel it;
    // Wine goes on waiting (it logs "call canceled" and waits on), which is why the program
    // makes its calls from a thread of their own (LinkThread).
    return BusyEditorWait::keepWaitingForAnswer() ? PENDINGMSG_WAITDEFPROCESS
                                                  : PENDINGMSG_CANCELCALL;
}

} // namespace tagwright::host::com
