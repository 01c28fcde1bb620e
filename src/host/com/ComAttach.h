#pragma once

#include "host/HostRoles.h"
#include "host/com/BusyEditorWait.h"

#include <string_view>

namespace tagwright::host::com {

// The application object that a running program registered under `progId`. Starts nothing:
// an unknown ProgID fails with CO_E_CLASSSTRING, a known one that is not running with
// MK_E_UNAVAILABLE. Every call through it and the objects it hands out waits up to `wait`'s
// patience for an editor that is busy with a dialog.
HostApplication attachRunningObject(std::u16string_view progId,
                                    BusyEditorWait wait = BusyEditorWait());

} // namespace tagwright::host::com
