#pragma once

#include "host/memory/Design.h"

namespace tagwright::fuzz {

// The design written and read back, which must give the same design again; a fault when it
// does not.
void checkSavesAndReloads(const host::memory::Design& design);

} // namespace tagwright::fuzz
