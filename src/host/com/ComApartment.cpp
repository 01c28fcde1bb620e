#include "host/com/ComApartment.h"

#include "host/com/ComFailure.h"

#include <objbase.h>

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
}

ComApartment::~ComApartment() {
    if (joined_) {
        CoUninitialize();
    }
}

} // namespace tagwright::host::com
