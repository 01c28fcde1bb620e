#pragma once

#include "host/com/ComHandles.h"

#include <atomic>

namespace tagwright::host::com {

// The window thread's message filter. Where COM itself learns that the editor rejected a call
// (on Windows, before the call returns), it asks here whether to try again: yes, every
// BusyEditorWait::pause, for as long as the call's patience lasts and the user does not stop
// it. While a call is pending, every message that arrives asks here whether to go on waiting:
// BusyEditorWait knows for how long the editor has not answered. Input is not dispatched
// meanwhile (the default handling: painting and activation only).
class BusyEditorFilter : public IMessageFilter {
  public:
    static ComPtr<IMessageFilter> create();

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override;
    ULONG STDMETHODCALLTYPE AddRef() override;
    ULONG STDMETHODCALLTYPE Release() override;

    DWORD STDMETHODCALLTYPE HandleInComingCall(DWORD type, HTASK caller, DWORD elapsed,
                                               INTERFACEINFO* info) override;
    DWORD STDMETHODCALLTYPE RetryRejectedCall(HTASK callee, DWORD elapsed,
                                              DWORD rejection) override;
    DWORD STDMETHODCALLTYPE MessagePending(HTASK callee, DWORD elapsed, DWORD pending) override;

  private:
    BusyEditorFilter() = default;
    virtual ~BusyEditorFilter() = default;

    std::atomic<ULONG> references_{1};
};

} // namespace tagwright::host::com
