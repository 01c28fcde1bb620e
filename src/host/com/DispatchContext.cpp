#include "host/com/DispatchContext.h"

#include "host/com/ComFailure.h"

#include <cstring>

namespace tagwright::host::com {

bool DispatchContext::GuidLess::operator()(const GUID& a, const GUID& b) const {
    return std::memcmp(&a, &b, sizeof(GUID)) < 0;
}

HRESULT DispatchContext::run(const std::function<HRESULT()>& call) {
    if (endedBy_) {
        throw *endedBy_;
    }
    const HRESULT hr = wait_.run(call);
    if (hr == RPC_E_CALL_CANCELED && BusyEditorWait::unanswered().count() > 0) {
        endedBy_ = Failure::editorNotAnswering(BusyEditorWait::unanswered());
    } else if (isEditorGone(hr)) {
        endedBy_ = failureFromHresult(hr, {});
    } else {
        return hr;
    }
    throw *endedBy_;
}

std::shared_ptr<DispatchType> DispatchContext::typeOf(ITypeInfo& info) {
    for (const auto& [held, type] : descriptions_) {
        if (held.get() == &info) {
            return type;
        }
    }
    TYPEATTR* attributes = nullptr;
    HRESULT hr = run([&] { return info.GetTypeAttr(&attributes); });
    if (FAILED(hr) || !attributes) {
        return nullptr;
    }
    GUID guid = attributes->guid;
    info.ReleaseTypeAttr(attributes);
    if (IsEqualGUID(guid, GUID_NULL)) {
        return nullptr;
    }
    auto& type = byType_[guid];
    if (!type) {
        type = std::make_shared<DispatchType>();
        type->description = ComPtr<ITypeInfo>::share(&info);
    }
    if (descriptions_.size() < heldDescriptions) {
        descriptions_.emplace_back(ComPtr<ITypeInfo>::share(&info), type);
    }
    return type;
}

void DispatchContext::readDeclarations(DispatchType& type) {
    type.declared.emplace();
    ITypeInfo* info = type.description.get();
    TYPEATTR* attributes = nullptr;
    if (FAILED(run([&] { return info->GetTypeAttr(&attributes); })) || !attributes) {
        return;
    }
    const WORD functions = attributes->cFuncs;
    info->ReleaseTypeAttr(attributes);
    for (WORD i = 0; i < functions; ++i) {
        FUNCDESC* function = nullptr;
        if (FAILED(run([&] { return info->GetFuncDesc(i, &function); })) || !function) {
            continue;
        }
        if (function->invkind & (INVOKE_PROPERTYGET | INVOKE_FUNC)) {
            // An interface pointer (or the interface itself) names what comes back; anything
            // else, IDispatch and VARIANT among them, leaves it open.
            const TYPEDESC* returned = &function->elemdescFunc.tdesc;
            if (returned->vt == VT_PTR && returned->lptdesc) {
                returned = returned->lptdesc;
            }
            std::optional<HREFTYPE> reference;
            if (returned->vt == VT_USERDEFINED) {
                reference = returned->hreftype;
            }
            auto [it, added] = type.declared->emplace(function->memid, reference);
            // A member declared twice with different returns is trusted with neither.
            if (!added && it->second != reference) {
                it->second.reset();
            }
        }
        info->ReleaseFuncDesc(function);
    }
}

std::shared_ptr<DispatchType> DispatchContext::declaredReturn(DispatchType& type, DISPID member) {
    if (auto known = type.returns.find(member); known != type.returns.end()) {
        return known->second;
    }
    if (!type.declared) {
        readDeclarations(type);
    }
    std::shared_ptr<DispatchType> returned;
    auto declared = type.declared->find(member);
    if (declared != type.declared->end() && declared->second) {
        ComPtr<ITypeInfo> reference;
        ITypeInfo* info = type.description.get();
        if (SUCCEEDED(
                run([&] { return info->GetRefTypeInfo(*declared->second, reference.put()); })) &&
            reference) {
            TYPEATTR* attributes = nullptr;
            bool objectType = false;
            if (SUCCEEDED(run([&] { return reference->GetTypeAttr(&attributes); })) && attributes) {
                objectType = attributes->typekind == TKIND_DISPATCH ||
                             (attributes->typekind == TKIND_INTERFACE &&
                              (attributes->wTypeFlags & TYPEFLAG_FDUAL));
                reference->ReleaseTypeAttr(attributes);
            }
            if (objectType) {
                returned = typeOf(*reference.get());
            }
        }
    }
    type.returns.emplace(member, returned);
    return returned;
}

} // namespace tagwright::host::com
