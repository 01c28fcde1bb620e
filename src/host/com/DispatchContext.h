#pragma once

#include "host/com/BusyEditorWait.h"
#include "host/com/ComHandles.h"
#include "host/com/MemberIds.h"

#include <map>
#include <memory>
#include <utility>
#include <vector>

namespace tagwright::host::com {

// What every object reached from one attach shares: how long calls wait for a busy editor,
// and the member ids learnt per type of object. Only the type fixes the numbering of members:
// objects handed out by the same property may be of different kinds, so objects that do not
// say their type never share ids. Out of process every GetIDsOfNames is a full round trip, so
// a walk over a thousand pins of one type asks for "PositionX" once.
class DispatchContext {
  public:
    explicit DispatchContext(BusyEditorWait wait = BusyEditorWait()) : wait_(wait) {}

    const BusyEditorWait& wait() const { return wait_; }

    // The ids shared by every object of the type `info` describes; null when it does not name
    // its type. Asks the type for its GUID once per type description seen, so a server that
    // hands out one description per type costs one round trip per type, not per object.
    std::shared_ptr<MemberIds> idsOfType(ITypeInfo& info);

  private:
    struct GuidLess {
        bool operator()(const GUID& a, const GUID& b) const;
    };
    // Held, so that the same pointer keeps meaning the same description; bounded, for servers
    // that make a new description for every call.
    static constexpr std::size_t heldDescriptions = 16;

    BusyEditorWait wait_;
    std::map<GUID, std::shared_ptr<MemberIds>, GuidLess> byType_;
    std::vector<std::pair<ComPtr<ITypeInfo>, std::shared_ptr<MemberIds>>> descriptions_;
};

} // namespace tagwright::host::com
