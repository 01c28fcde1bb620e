#pragma once

#include "host/HostObject.h"
#include "host/com/ComHandles.h"
#include "host/com/DispatchContext.h"
#include "host/com/DispatchKind.h"

#include <memory>
#include <string>

namespace tagwright::host::com {

// A host object living in another program (or this one) behind IDispatch.
class DispatchObject : public HostObject {
  public:
    // `type`: what the object is, when whoever handed it out declared it; null to ask the
    // object itself on its first call.
    DispatchObject(ComPtr<IDispatch> dispatch, std::shared_ptr<DispatchContext> context,
                   std::shared_ptr<DispatchKind> kind,
                   std::shared_ptr<DispatchType> type = nullptr);

    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override;
    std::unique_ptr<HostEnumerator> enumerate() override;

    IDispatch* dispatch() const { return dispatch_.get(); }

    // The first object of an attach: everything reached from it shares one context.
    static ObjectRef attach(ComPtr<IDispatch> dispatch, BusyEditorWait wait = BusyEditorWait());
    // Wraps an incoming reference; a null one is "nothing".
    static ObjectRef wrap(ComPtr<IDispatch> dispatch, std::shared_ptr<DispatchContext> context,
                          std::shared_ptr<DispatchKind> kind,
                          std::shared_ptr<DispatchType> type = nullptr);

  private:
    // Asked on the first call, so an object that is only passed along costs no round trip; not
    // asked at all when the type is known already.
    MemberIds& ids();
    // The declared type of what `member` (with id `id`) hands out, if this object's type is
    // known and declares it.
    std::shared_ptr<DispatchType> returnedType(DISPID id);
    DISPID resolve(std::u16string_view member);
    HRESULT call(DISPID id, CallKind kind, std::span<const Value> args, Variant& result,
                 EXCEPINFO& exception);

    ComPtr<IDispatch> dispatch_;
    std::shared_ptr<DispatchContext> context_;
    std::shared_ptr<DispatchKind> kind_;
    std::shared_ptr<DispatchType> type_;
    std::unique_ptr<MemberIds> ownIds_; // an object that does not say its type has ids alone
};

} // namespace tagwright::host::com
