#pragma once

#include "host/HostObject.h"
#include "host/memory/Design.h"

#include <memory>

namespace tagwright::host::memory {

// The editor's application object over an in-memory design. With no design it plays an
// editor that has nothing open: "ActiveDocument" fails.
ObjectRef makeApplication(std::shared_ptr<Design> design);
ObjectRef makeDocument(std::shared_ptr<Design> design);

} // namespace tagwright::host::memory
