#pragma once

#include "host/Failure.h"
#include "host/com/BusyEditorWait.h"
#include "host/com/ComHandles.h"
#include "host/com/MemberIds.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

namespace tagwright::host::com {

// What a type description says of the objects of one type, learnt once per type: the ids of
// its members, and which type each member hands out, where the description declares it.
struct DispatchType {
    ComPtr<ITypeInfo> description;
    MemberIds ids;
    // Members by id: the description of the interface a member returns, or none when the
    // description leaves the return open (IDispatch, VARIANT). Read on first need.
    std::map<DISPID, std::shared_ptr<DispatchType>> returns;
    std::optional<std::map<DISPID, std::optional<HREFTYPE>>> declared;
};

// What every object reached from one attach shares: how long calls wait for a busy editor,
// whether the editor is still there, and what was learnt per type of object. Only the type
// fixes the numbering of members: objects handed out by the same property may be of different
// kinds, so objects whose type is not known never share ids. Out of process every question is
// a full round trip, so a walk over a thousand pins of one type asks for "PositionX" once,
// and a collection whose description declares what its Item returns tells the type of every
// member without asking each.
class DispatchContext {
  public:
    explicit DispatchContext(BusyEditorWait wait = BusyEditorWait()) : wait_(wait) {}

    // Makes one call into the editor. Once the editor has not answered (in time, or the user
    // stopped waiting) or has gone, the link is dead: that call and every later one fail with
    // 462 at once, until the window attaches anew.
    HRESULT run(const std::function<HRESULT()>& call);

    // The type `info` describes; null when it does not name its type. Asks the description
    // for its GUID once per description seen, so a server that hands out one description per
    // type costs one round trip per type, not per object.
    std::shared_ptr<DispatchType> typeOf(ITypeInfo& info);

    // The type of the objects that `member` of an object of `type` returns, when its
    // description declares an interface; null when it leaves that open.
    std::shared_ptr<DispatchType> declaredReturn(DispatchType& type, DISPID member);

  private:
    struct GuidLess {
        bool operator()(const GUID& a, const GUID& b) const;
    };
    // Held, so that the same pointer keeps meaning the same description; bounded, for servers
    // that make a new description for every call.
    static constexpr std::size_t heldDescriptions = 64;

    void readDeclarations(DispatchType& type);

    BusyEditorWait wait_;
    std::optional<Failure> endedBy_;
    std::map<GUID, std::shared_ptr<DispatchType>, GuidLess> byType_;
    std::vector<std::pair<ComPtr<ITypeInfo>, std::shared_ptr<DispatchType>>> descriptions_;
};

} // namespace tagwright::host::com
