#pragma once

#include "host/memory/Design.h"

#include <cstdint>

namespace tagwright::host::memory {

struct BoardShape {
    std::int32_t components = 100;
    std::int32_t pinsPerComponent = 10;
    std::int32_t nets = 200;
    std::int32_t netClasses = 4;
    std::int32_t vias = 100;
    std::int32_t texts = 0; // marked labels already on the board
    // Components that repeat the name of the one before them, spread evenly over the board:
    // editors allow equal names, and lookups by name must stay fast when they occur.
    std::int32_t repeatedNames = 0;
    std::uint32_t seed = 1;
};

// The same shape and seed always give the same board: tests and benchmarks can rely on it.
// Every tenth net has no class and every twentieth pin is on no net, so every pin rule
// meets both cases.
Design generateBoard(const BoardShape& shape);

} // namespace tagwright::host::memory
