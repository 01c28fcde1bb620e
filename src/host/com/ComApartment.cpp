#include "host/com/ComApartment.h"

#include "host/com/BusyEditorFilter.h"
#include "host/com/ComFailure.h"

namespace tagwright::host::com {

ComApartment::ComApartment() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (hr == RPC_E_CHANGED_MODE) {
        return;
    }
    if (FAILED(hr)) {
        throw failureFromHresult(hr, u"CoInitializeEx");
    }
    joined_ = true;
    filtered_ =
        SUCCEEDED(CoRegisterMessageFilter(BusyEditorFilter::create().get(), previousFilter_.put()));
}

ComApartment::~ComApartment() {
    if (filtered_) {
        IMessageFilter* ours = nullptr;
        CoRegisterMessageFilter(previousFilter_.get(), &ours);
        if (ours) {
            ours->Release();
        }
    }
    previousFilter_.reset();
    if (joined_) {
        CoUninitialize();
    }
}

} // namespace tagwright::host::com
