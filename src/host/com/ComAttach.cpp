#include "host/com/ComAttach.h"

#include "host/Attach.h"
#include "host/com/ComFailure.h"
#include "host/com/DispatchObject.h"
#include "host/com/LinkThread.h"

namespace tagwright::host::com {

HostApplication attachRunningObject(std::u16string_view progId, BusyEditorWait wait) {
    std::u16string name(progId);
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(wide(name), &clsid);
    if (FAILED(hr)) {
        throw failureFromHresult(hr, progId);
    }
    // Out of process both ask the editor, which may be busy already.
    ComPtr<IUnknown> running;
    hr = wait.run([&] { return GetActiveObject(clsid, nullptr, running.put()); });
    if (FAILED(hr)) {
        throw failureFromHresult(hr, progId);
    }
    ComPtr<IDispatch> dispatch;
    hr = wait.run([&] { return running.queryInterface(dispatch); });
    if (FAILED(hr)) {
        throw failureFromHresult(hr, progId);
    }
    return HostApplication(DispatchObject::attach(std::move(dispatch), wait));
}

} // namespace tagwright::host::com

namespace tagwright::host {

HostApplication attachRunningEditor() {
    return com::attachOnLinkThread(editorProgId);
}

} // namespace tagwright::host
