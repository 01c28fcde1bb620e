#include "host/com/ComAttach.h"

#include "host/Attach.h"
#include "host/com/ComFailure.h"
#include "host/com/DispatchObject.h"

namespace tagwright::host::com {

HostApplication attachRunningObject(std::u16string_view progId) {
    std::u16string name(progId);
    CLSID clsid{};
    HRESULT hr = CLSIDFromProgID(wide(name), &clsid);
    if (FAILED(hr)) {
        throw failureFromHresult(hr, progId);
    }
    ComPtr<IUnknown> running;
    hr = GetActiveObject(clsid, nullptr, running.put());
    if (FAILED(hr)) {
        throw failureFromHresult(hr, progId);
    }
    ComPtr<IDispatch> dispatch;
    hr = running.queryInterface(dispatch);
    if (FAILED(hr)) {
        throw failureFromHresult(hr, progId);
    }
    return HostApplication(
        DispatchObject::wrap(std::move(dispatch), std::make_shared<DispatchKind>()));
}

} // namespace tagwright::host::com

namespace tagwright::host {

HostApplication attachRunningEditor() {
    return com::attachRunningObject(editorProgId);
}

} // namespace tagwright::host
