#pragma once

#include "host/HostObject.h"

#include <cstddef>
#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace tagwright::host {

struct RecordedCall {
    std::u16string member; // "_NewEnum" for an enumeration
    CallKind kind;
    std::vector<Value> args;
};

// Shared by every object a recorder hands out, so one log sees a whole run in call order.
class CallLog {
  public:
    std::vector<RecordedCall> calls;
    // Runs before each call reaches the host; throwing a Failure from it makes that call fail,
    // which is how tests inject host errors at an exact point of a run.
    std::function<void(const RecordedCall&)> beforeCall;

    std::size_t count(std::u16string_view member) const;
    std::vector<std::u16string> members() const;
    void clear() { calls.clear(); }
};

// Wraps `target` so that every call on it, and on every object reached through it, is
// recorded in `log` before it is passed on unchanged.
ObjectRef recordCalls(ObjectRef target, std::shared_ptr<CallLog> log);

} // namespace tagwright::host
