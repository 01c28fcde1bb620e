#include "host/com/DispatchObject.h"

#include "host/Failure.h"
#include "host/com/ComFailure.h"
#include "host/com/VariantConversion.h"

#include <algorithm>
#include <vector>

namespace tagwright::host::com {

namespace {

// One round trip brings this many members of a collection.
constexpr ULONG enumerationBatch = 64;

// Only the system's proxies answer IClientSecurity: the object lives in another apartment,
// usually another process.
bool isProxy(IUnknown* object) {
    ComPtr<IClientSecurity> security;
    return SUCCEEDED(
        object->QueryInterface(IID_IClientSecurity, reinterpret_cast<void**>(security.put())));
}

bool supportsErrorInfo(IUnknown* object, REFIID iid) {
    ComPtr<ISupportErrorInfo> support;
    return SUCCEEDED(object->QueryInterface(IID_ISupportErrorInfo,
                                            reinterpret_cast<void**>(support.put()))) &&
           support->InterfaceSupportsErrorInfo(iid) == S_OK;
}

void clear(EXCEPINFO& exception) {
    SysFreeString(exception.bstrSource);
    SysFreeString(exception.bstrDescription);
    SysFreeString(exception.bstrHelpFile);
    exception = EXCEPINFO{};
}

// The failure of a call on `object` through `iid` that returned `hr`.
Failure failureOf(HRESULT hr, EXCEPINFO* exception, IUnknown* object, REFIID iid,
                  std::u16string_view member) {
    if (hr == DISP_E_EXCEPTION && exception) {
        bool mayFillIn = exception->pfnDeferredFillIn && !isProxy(object);
        return failureFromException(*exception, member, mayFillIn);
    }
    if (exception) {
        clear(*exception);
    }
    // Taken whether it is used or not, so that it cannot describe a later failure.
    ComPtr<IErrorInfo> info;
    if (GetErrorInfo(0, info.put()) == S_OK && info && supportsErrorInfo(object, iid)) {
        return failureFromErrorInfo(hr, *info.get(), member);
    }
    return failureFromHresult(hr, member);
}

class DispatchEnumerator : public HostEnumerator {
  public:
    DispatchEnumerator(ComPtr<IEnumVARIANT> members, std::shared_ptr<DispatchContext> context,
                       std::shared_ptr<DispatchKind> kind, std::shared_ptr<DispatchType> type)
        : members_(std::move(members)), context_(std::move(context)), kind_(std::move(kind)),
          type_(std::move(type)) {}

    bool next(Value& member) override {
        if (position_ == batch_.size()) {
            if (finished_ || !fetch()) {
                return false;
            }
        }
        member = fromVariant(*batch_[position_++].get(), [this](ComPtr<IDispatch> d) {
            return DispatchObject::wrap(std::move(d), context_, kind_, type_);
        });
        return true;
    }

  private:
    bool fetch() {
        batch_.clear();
        position_ = 0;
        std::vector<VARIANT> raw(enumerationBatch);
        ULONG fetched = 0;
        HRESULT hr = context_->run([&] {
            for (VARIANT& v : raw) {
                VariantInit(&v);
            }
            fetched = 0;
            return members_->Next(enumerationBatch, raw.data(), &fetched);
        });
        if (FAILED(hr)) {
            for (VARIANT& v : raw) {
                VariantClear(&v);
            }
            throw failureOf(hr, nullptr, members_.get(), IID_IEnumVARIANT, u"_NewEnum");
        }
        fetched = std::min(fetched, enumerationBatch);
        for (ULONG i = 0; i < fetched; ++i) {
            batch_.emplace_back();
            *batch_.back().get() = raw[i];
        }
        finished_ = hr == S_FALSE || fetched < enumerationBatch;
        return fetched > 0;
    }

    ComPtr<IEnumVARIANT> members_;
    std::shared_ptr<DispatchContext> context_;
    std::shared_ptr<DispatchKind> kind_;
    std::shared_ptr<DispatchType> type_;
    std::vector<Variant> batch_;
    std::size_t position_ = 0;
    bool finished_ = false;
};

} // namespace

DispatchObject::DispatchObject(ComPtr<IDispatch> dispatch, std::shared_ptr<DispatchContext> context,
                               std::shared_ptr<DispatchKind> kind,
                               std::shared_ptr<DispatchType> type)
    : dispatch_(std::move(dispatch)), context_(std::move(context)), kind_(std::move(kind)),
      type_(std::move(type)) {}

ObjectRef DispatchObject::attach(ComPtr<IDispatch> dispatch, BusyEditorWait wait) {
    return wrap(std::move(dispatch), std::make_shared<DispatchContext>(wait),
                std::make_shared<DispatchKind>());
}

ObjectRef DispatchObject::wrap(ComPtr<IDispatch> dispatch, std::shared_ptr<DispatchContext> context,
                               std::shared_ptr<DispatchKind> kind,
                               std::shared_ptr<DispatchType> type) {
    if (!dispatch) {
        return nullptr;
    }
    return std::make_shared<DispatchObject>(std::move(dispatch), std::move(context),
                                            std::move(kind), std::move(type));
}

MemberIds& DispatchObject::ids() {
    if (type_) {
        return type_->ids;
    }
    if (!ownIds_) {
        if (kind_->typed != false) {
            ComPtr<ITypeInfo> info;
            HRESULT hr = context_->run(
                [&] { return dispatch_->GetTypeInfo(0, LOCALE_USER_DEFAULT, info.put()); });
            if (SUCCEEDED(hr) && info) {
                type_ = context_->typeOf(*info.get());
            }
            if (!kind_->typed) {
                kind_->typed = type_ != nullptr;
            }
            if (type_) {
                return type_->ids;
            }
        }
        ownIds_ = std::make_unique<MemberIds>();
    }
    return *ownIds_;
}

std::shared_ptr<DispatchType> DispatchObject::returnedType(DISPID id) {
    return type_ ? context_->declaredReturn(*type_, id) : nullptr;
}

DISPID DispatchObject::resolve(std::u16string_view member) {
    MemberIds& known = ids();
    if (const DISPID* cached = known.find(member)) {
        return *cached;
    }
    std::u16string name(member);
    LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(name.data())};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = context_->run(
        [&] { return dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id); });
    if (FAILED(hr)) {
        throw failureOf(hr, nullptr, dispatch_.get(), IID_IDispatch, member);
    }
    known.remember(member, id);
    return id;
}

HRESULT DispatchObject::call(DISPID id, CallKind kind, std::span<const Value> args, Variant& result,
                             EXCEPINFO& exception) {
    static_assert(sizeof(Variant) == sizeof(VARIANT));
    UnwrapObject unwrap = [](const ObjectRef& object) {
        auto* own = dynamic_cast<DispatchObject*>(object.get());
        if (!own) {
            // Only the editor's own objects can be handed back to it.
            throw Failure::typeMismatch();
        }
        return ComPtr<IDispatch>::share(own->dispatch());
    };
    // Automation passes arguments last first.
    std::vector<Variant> packed;
    packed.reserve(args.size());
    for (auto it = args.rbegin(); it != args.rend(); ++it) {
        packed.push_back(toVariant(*it, unwrap));
    }
    DISPID putId = DISPID_PROPERTYPUT;
    DISPPARAMS params{};
    params.rgvarg = packed.empty() ? nullptr : packed.front().get();
    params.cArgs = static_cast<UINT>(packed.size());
    // Reads and method calls go with both flags, as scripting clients send them: the editor
    // may declare a member either way.
    WORD flags = DISPATCH_METHOD | DISPATCH_PROPERTYGET;
    if (kind == CallKind::Put) {
        params.rgdispidNamedArgs = &putId;
        params.cNamedArgs = 1;
        flags = DISPATCH_PROPERTYPUT;
    }
    return context_->run([&] {
        clear(exception);
        VariantClear(result.get());
        UINT argError = 0;
        return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                                 kind == CallKind::Put ? nullptr : result.get(), &exception,
                                 &argError);
    });
}

Value DispatchObject::invoke(std::u16string_view member, CallKind kind,
                             std::span<const Value> args) {
    if (kind == CallKind::Put && args.empty()) {
        throw Failure::memberNotSupported(member);
    }
    DISPID id = resolve(member);
    Variant result;
    EXCEPINFO exception{};
    HRESULT hr = call(id, kind, args, result, exception);
    if (FAILED(hr)) {
        throw failureOf(hr, &exception, dispatch_.get(), IID_IDispatch, member);
    }
    clear(exception);
    auto childKind = kind_->child(member);
    std::shared_ptr<DispatchType> childType;
    if (V_VT(result.get()) == VT_DISPATCH && V_DISPATCH(result.get())) {
        childType = returnedType(id);
    }
    return fromVariant(*result.get(), [this, &childKind, &childType](ComPtr<IDispatch> d) {
        return wrap(std::move(d), context_, childKind, childType);
    });
}

std::unique_ptr<HostEnumerator> DispatchObject::enumerate() {
    constexpr std::u16string_view member = u"_NewEnum";
    DISPPARAMS none{};
    Variant result;
    EXCEPINFO exception{};
    HRESULT hr = context_->run([&] {
        clear(exception);
        VariantClear(result.get());
        UINT argError = 0;
        return dispatch_->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                 DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, result.get(),
                                 &exception, &argError);
    });
    if (FAILED(hr)) {
        throw failureOf(hr, &exception, dispatch_.get(), IID_IDispatch, member);
    }
    clear(exception);
    VARIANT& v = *result.get();
    IUnknown* unknown = nullptr;
    if (V_VT(&v) == VT_UNKNOWN) {
        unknown = V_UNKNOWN(&v);
    } else if (V_VT(&v) == VT_DISPATCH) {
        unknown = V_DISPATCH(&v);
    }
    ComPtr<IEnumVARIANT> members;
    if (unknown) {
        hr = context_->run([&] {
            return unknown->QueryInterface(IID_IEnumVARIANT,
                                           reinterpret_cast<void**>(members.put()));
        });
    }
    if (!members) {
        throw Failure::memberNotSupported(member);
    }
    // What Item hands out is what the walk hands out: worth asking the collection its type
    // once, when that spares asking every member. Its id comes from the object, as a type
    // description cannot look up names across processes.
    std::shared_ptr<DispatchType> memberType;
    ids();
    if (type_) {
        try {
            memberType = context_->declaredReturn(*type_, resolve(u"Item"));
        } catch (const Failure& failure) {
            // A collection without Item still walks; its members are asked what they are.
            if (failure.number() == Failure::EditorUnavailable || failure.isEditorBusy()) {
                throw;
            }
        }
    }
    return std::make_unique<DispatchEnumerator>(std::move(members), context_, kind_->child(member),
                                                std::move(memberType));
}

} // namespace tagwright::host::com
