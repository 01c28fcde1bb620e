#pragma once

#include "host/HostRoles.h"

#include <functional>

namespace tagwright::host {

// How the window reaches the editor; tests hand it an in-memory design instead.
using AttachFunction = std::function<HostApplication()>;

inline constexpr char16_t editorProgId[] = u"PowerPCB.Application";

// The running editor registered as "PowerPCB.Application", found the platform's way (D-Bus
// session bus on Linux, the running object table on Windows). Never starts an editor; throws
// a Failure when none is running.
HostApplication attachRunningEditor();

} // namespace tagwright::host
