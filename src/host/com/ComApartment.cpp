#include "host/com/ComApartment.h"

#include "host/com/ComFailure.h"

#include <objbase.h>

namespace tagwright::host::com {

ComApartment::ComApartment() {
    HRESULT hr = CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
    if (FAILED(hr)) {
        throw failureFromHresult(hr, u"CoInitializeEx");
    }
}

ComApartment::~ComApartment() {
    CoUninitialize();
}

} // namespace tagwright::host::com
