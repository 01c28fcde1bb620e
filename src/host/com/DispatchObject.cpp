#include "host/com/DispatchObject.h"

#include "host/Failure.h"
#include "host/com/ComFailure.h"
#include "host/com/VariantConversion.h"

#include <algorithm>
#include <vector>

namespace tagwright::host::com {

namespace {

std::u16string folded(std::u16string_view member) {
    std::u16string key(member);
    for (char16_t& c : key) {
        if (c >= u'A' && c <= u'Z') {
            c = static_cast<char16_t>(c - u'A' + u'a');
        }
    }
    return key;
}

// One round trip brings this many members of a collection.
constexpr ULONG enumerationBatch = 64;

class DispatchEnumerator : public HostEnumerator {
  public:
    DispatchEnumerator(ComPtr<IEnumVARIANT> members, std::shared_ptr<DispatchKind> kind)
        : members_(std::move(members)), kind_(std::move(kind)) {}

    bool next(Value& member) override {
        if (position_ == batch_.size()) {
            if (finished_ || !fetch()) {
                return false;
            }
        }
        member = fromVariant(*batch_[position_++].get(), [this](ComPtr<IDispatch> d) {
            return DispatchObject::wrap(std::move(d), kind_);
        });
        return true;
    }

  private:
    bool fetch() {
        batch_.clear();
        position_ = 0;
        std::vector<VARIANT> raw(enumerationBatch);
        for (VARIANT& v : raw) {
            VariantInit(&v);
        }
        ULONG fetched = 0;
        HRESULT hr = members_->Next(enumerationBatch, raw.data(), &fetched);
        if (FAILED(hr)) {
            for (VARIANT& v : raw) {
                VariantClear(&v);
            }
            throw failureFromHresult(hr, u"_NewEnum");
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
    std::shared_ptr<DispatchKind> kind_;
    std::vector<Variant> batch_;
    std::size_t position_ = 0;
    bool finished_ = false;
};

} // namespace

const DISPID* DispatchKind::find(std::u16string_view member) const {
    auto it = ids_.find(folded(member));
    return it == ids_.end() ? nullptr : &it->second;
}

void DispatchKind::remember(std::u16string_view member, DISPID id) {
    ids_[folded(member)] = id;
}

void DispatchKind::forget(std::u16string_view member) {
    ids_.erase(folded(member));
}

std::shared_ptr<DispatchKind> DispatchKind::child(std::u16string_view member) {
    auto& kind = children_[folded(member)];
    if (!kind) {
        kind = std::make_shared<DispatchKind>();
    }
    return kind;
}

DispatchObject::DispatchObject(ComPtr<IDispatch> dispatch, std::shared_ptr<DispatchKind> kind)
    : dispatch_(std::move(dispatch)), kind_(std::move(kind)) {}

ObjectRef DispatchObject::wrap(ComPtr<IDispatch> dispatch, std::shared_ptr<DispatchKind> kind) {
    if (!dispatch) {
        return nullptr;
    }
    return std::make_shared<DispatchObject>(std::move(dispatch), std::move(kind));
}

DISPID DispatchObject::resolve(std::u16string_view member) {
    if (const DISPID* cached = kind_->find(member)) {
        return *cached;
    }
    std::u16string name(member);
    LPOLESTR names[] = {reinterpret_cast<LPOLESTR>(name.data())};
    DISPID id = DISPID_UNKNOWN;
    HRESULT hr = dispatch_->GetIDsOfNames(IID_NULL, names, 1, LOCALE_USER_DEFAULT, &id);
    if (FAILED(hr)) {
        throw failureFromHresult(hr, member);
    }
    kind_->remember(member, id);
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
    exception = EXCEPINFO{};
    UINT argError = 0;
    return dispatch_->Invoke(id, IID_NULL, LOCALE_USER_DEFAULT, flags, &params,
                             kind == CallKind::Put ? nullptr : result.get(), &exception, &argError);
}

Value DispatchObject::invoke(std::u16string_view member, CallKind kind,
                             std::span<const Value> args) {
    if (kind == CallKind::Put && args.empty()) {
        throw Failure::memberNotSupported(member);
    }
    bool wasCached = kind_->find(member) != nullptr;
    DISPID id = resolve(member);
    Variant result;
    EXCEPINFO exception{};
    HRESULT hr = call(id, kind, args, result, exception);
    if (hr == DISP_E_MEMBERNOTFOUND && wasCached) {
        // An object of another kind than its siblings: learn its own id and try once more.
        kind_->forget(member);
        DISPID fresh = resolve(member);
        if (fresh != id) {
            hr = call(fresh, kind, args, result, exception);
        }
    }
    if (hr == DISP_E_EXCEPTION) {
        throw failureFromException(exception);
    }
    if (FAILED(hr)) {
        throw failureFromHresult(hr, member);
    }
    auto childKind = kind_->child(member);
    return fromVariant(*result.get(),
                       [&childKind](ComPtr<IDispatch> d) { return wrap(std::move(d), childKind); });
}

std::unique_ptr<HostEnumerator> DispatchObject::enumerate() {
    constexpr std::u16string_view member = u"_NewEnum";
    DISPPARAMS none{};
    Variant result;
    EXCEPINFO exception{};
    UINT argError = 0;
    HRESULT hr = dispatch_->Invoke(DISPID_NEWENUM, IID_NULL, LOCALE_USER_DEFAULT,
                                   DISPATCH_METHOD | DISPATCH_PROPERTYGET, &none, result.get(),
                                   &exception, &argError);
    if (hr == DISP_E_EXCEPTION) {
        throw failureFromException(exception);
    }
    if (FAILED(hr)) {
        throw failureFromHresult(hr, member);
    }
    VARIANT& v = *result.get();
    IUnknown* unknown = nullptr;
    if (V_VT(&v) == VT_UNKNOWN) {
        unknown = V_UNKNOWN(&v);
    } else if (V_VT(&v) == VT_DISPATCH) {
        unknown = V_DISPATCH(&v);
    }
    ComPtr<IEnumVARIANT> members;
    if (!unknown || FAILED(unknown->QueryInterface(IID_IEnumVARIANT,
                                                   reinterpret_cast<void**>(members.put())))) {
        throw Failure::memberNotSupported(member);
    }
    return std::make_unique<DispatchEnumerator>(std::move(members), kind_->child(member));
}

} // namespace tagwright::host::com
