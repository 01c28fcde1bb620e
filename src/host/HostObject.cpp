#include "host/HostObject.h"

#include "host/Failure.h"

namespace tagwright::host {

std::unique_ptr<HostEnumerator> HostObject::enumerate() {
    throw Failure::memberNotSupported(u"_NewEnum");
}

} // namespace tagwright::host
