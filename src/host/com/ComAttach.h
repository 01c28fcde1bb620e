#pragma once

#include "host/HostRoles.h"

#include <string_view>

namespace tagwright::host::com {

// The application object that a running program registered under `progId`. Starts nothing:
// an unknown ProgID fails with CO_E_CLASSSTRING, a known one that is not running with
// MK_E_UNAVAILABLE.
HostApplication attachRunningObject(std::u16string_view progId);

} // namespace tagwright::host::com
