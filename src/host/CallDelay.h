#pragma once

#include "host/HostObject.h"

#include <chrono>

namespace tagwright::host {

// Wraps `target` so that every call on it, and on every object reached through it, waits
// `delay` before it is passed on: a small design then behaves like a large one across a slow
// process boundary, so that long runs can be watched and tested. Enumeration costs one call
// when it starts; walking the members is free, as a batched enumerator makes it.
ObjectRef delayCalls(ObjectRef target, std::chrono::microseconds delay);

} // namespace tagwright::host
