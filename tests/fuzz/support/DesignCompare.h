#pragma once

#include "host/memory/Design.h"

#include <string>

namespace tagwright::fuzz {

// Empty when the two designs hold the same content (live texts only, numbers to the bit);
// otherwise the first difference, in words.
std::string differenceBetween(const host::memory::Design& a, const host::memory::Design& b);

// The design written and read back, which must give the same design again; a fault when it
// does not.
void checkSavesAndReloads(const host::memory::Design& design);

} // namespace tagwright::fuzz
