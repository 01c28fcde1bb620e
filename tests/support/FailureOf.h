#pragma once

#include "host/Failure.h"

#include <functional>
#include <optional>

namespace tagwright::test {

// The failure `body` ends with, or none when it ends normally.
inline std::optional<host::Failure> failureOf(const std::function<void()>& body) {
    try {
        body();
    } catch (const host::Failure& failure) {
        return failure;
    }
    return std::nullopt;
}

// The number of the failure `body` ends with; 0 when it ends normally.
inline std::int32_t failureNumber(const std::function<void()>& body) {
    const auto failure = failureOf(body);
    return failure ? failure->number() : 0;
}

} // namespace tagwright::test
