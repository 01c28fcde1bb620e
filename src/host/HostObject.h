#pragma once

#include "host/Value.h"

#include <cstddef>
#include <memory>
#include <span>
#include <string_view>

namespace tagwright::host {

enum class CallKind { Get, Put, Method };

// Walks the members of a host collection once, in the host's order.
class HostEnumerator {
  public:
    virtual ~HostEnumerator() = default;
    // Stores the next member in `member` and returns true, or returns false at the end.
    virtual bool next(Value& member) = 0;

    // What the walk keeps alive besides itself, so that a server can bound what one client
    // holds: `bytes` in one `block`, which walks that started alike may share.
    struct Footprint {
        const void* block = nullptr;
        std::size_t bytes = 0;
    };
    virtual Footprint footprint() const { return {}; }
};

// An object of the editor's automation server, reached late-bound by member name. Every
// backend (in-memory, D-Bus, COM) implements exactly this, so decorators and tests can sit
// between the logic and any of them.
class HostObject {
  public:
    virtual ~HostObject() = default;

    virtual Value invoke(std::u16string_view member, CallKind kind,
                         std::span<const Value> args) = 0;

    // Objects that are not collections refuse enumeration with 438.
    virtual std::unique_ptr<HostEnumerator> enumerate();
};

} // namespace tagwright::host
