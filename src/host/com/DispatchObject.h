#pragma once

#include "host/HostObject.h"
#include "host/com/ComHandles.h"

#include <map>
#include <memory>
#include <string>

namespace tagwright::host::com {

// DISPIDs learnt for one kind of object. Objects reached the same way (the same member of
// the same kind of parent, or the members of one collection) are of one kind and share their
// ids, so a walk over a thousand pins asks for "PositionX" once instead of a thousand times:
// out of process every GetIDsOfNames is a full round trip.
class DispatchKind {
  public:
    // Names are matched case-insensitively, as automation does.
    const DISPID* find(std::u16string_view member) const;
    void remember(std::u16string_view member, DISPID id);
    void forget(std::u16string_view member);
    // The kind of the objects that `member` hands out.
    std::shared_ptr<DispatchKind> child(std::u16string_view member);

  private:
    std::map<std::u16string, DISPID> ids_;
    std::map<std::u16string, std::shared_ptr<DispatchKind>> children_;
};

// A host object living in another program (or this one) behind IDispatch.
class DispatchObject : public HostObject {
  public:
    DispatchObject(ComPtr<IDispatch> dispatch, std::shared_ptr<DispatchKind> kind);

    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override;
    std::unique_ptr<HostEnumerator> enumerate() override;

    IDispatch* dispatch() const { return dispatch_.get(); }

    // Wraps an incoming reference; a null one is "nothing".
    static ObjectRef wrap(ComPtr<IDispatch> dispatch, std::shared_ptr<DispatchKind> kind);

  private:
    DISPID resolve(std::u16string_view member);
    HRESULT call(DISPID id, CallKind kind, std::span<const Value> args, Variant& result,
                 EXCEPINFO& exception);

    ComPtr<IDispatch> dispatch_;
    std::shared_ptr<DispatchKind> kind_;
};

} // namespace tagwright::host::com
