#include "standin-com/HostDispatch.h"

#include "host/Failure.h"
#include "host/Text.h"
#include "host/com/ComFailure.h"
#include "host/com/DispatchObject.h"
#include "host/com/VariantConversion.h"

#include <array>
#include <exception>
#include <string>
#include <vector>

namespace tagwright::host::com {

namespace {

// Identifies our own objects inside this process; never crosses to another one.
constexpr IID servedObjectIid = {
    0x5d0c7a41, 0x93e2, 0x4c1b, {0x8f, 0x6d, 0x2a, 0x47, 0xb1, 0x0e, 0x9c, 0x33}};

// The members of the editor's interface. Host objects match names exactly, automation
// clients send them in any case, so a name is mapped to its spelling here; the id is the
// position in this table, the same for every object. When a client sends both read and call
// flags, `call` says which the member is.
struct Member {
    std::u16string_view name;
    bool call = false;
};
constexpr std::array members{
    Member{u"ActiveDocument"}, Member{u"View"},          Member{u"Unit"},
    Member{u"LayerName"},      Member{u"LayerCount"},    Member{u"Components"},
    Member{u"Nets"},           Member{u"Vias"},          Member{u"NetClasses"},
    Member{u"Texts"},          Member{u"AddText", true}, Member{u"ShowSelection", true},
    Member{u"Item"},           Member{u"Count"},         Member{u"Name"},
    Member{u"NetClass"},       Member{u"Pins"},          Member{u"Selected"},
    Member{u"PositionX"},      Member{u"PositionY"},     Member{u"Net"},
    Member{u"Number"},         Member{u"TextString"},    Member{u"Delete", true},
};
constexpr DISPID firstMemberId = 1;

bool sameName(std::u16string_view a, const wchar_t* b) {
    auto fold = [](char16_t c) {
        return c >= u'A' && c <= u'Z' ? static_cast<char16_t>(c - u'A' + u'a') : c;
    };
    std::size_t i = 0;
    for (; i < a.size(); ++i) {
        if (b[i] == 0 || fold(a[i]) != fold(static_cast<char16_t>(b[i]))) {
            return false;
        }
    }
    return b[i] == 0;
}

const Member* memberById(DISPID id) {
    if (id < firstMemberId || id >= firstMemberId + static_cast<DISPID>(members.size())) {
        return nullptr;
    }
    return &members[static_cast<std::size_t>(id - firstMemberId)];
}

// What the editor's objects are, as its type descriptions name them. An object's role follows
// from how it was reached: the application is registered, everything else is handed out by a
// member of an object whose role is known. Untyped objects (served by hand, or reached through
// a member the descriptions leave open) all share one description without members.
struct Declared {
    std::u16string_view member;
    ServedRole returns = ServedRole::Untyped;
    short params = 0;
    bool call = false;
};
struct RoleDescription {
    ServedRole role;
    const wchar_t* name;
    GUID guid;
    std::vector<Declared> members;
};

// The interfaces of the editor's automation server; each kind of collection has one of its
// own here, so that its Item can say what it holds.
const std::vector<RoleDescription>& roleDescriptions() {
    using R = ServedRole;
    constexpr auto editorIid = [](unsigned long first) {
        return GUID{first, 0xB880, 0x11CF, {0x82, 0x68, 0x00, 0x20, 0xAF, 0x93, 0x79, 0x87}};
    };
    constexpr auto laterIid = [](unsigned long first) {
        return GUID{first, 0xE608, 0x11D3, {0x93, 0xB5, 0x32, 0x82, 0xA8, 0x00, 0x00, 0x00}};
    };
    constexpr auto collectionIid = [](unsigned char kind) {
        return GUID{0x3c8a51e8, 0x2b94, 0x4f06, {0xa1, 0x7d, 0x5e, 0x90, 0xc4, 0x23, 0x6b, kind}};
    };
    auto collection = [&](R role, const wchar_t* name, unsigned char kind, R item) {
        return RoleDescription{role, name, collectionIid(kind), {{u"Item", item, 1}, {u"Count"}}};
    };
    static const std::vector<RoleDescription> all = {
        {R::Untyped,
         L"TestEditorObject",
         {0x3c8a51e7, 0x2b94, 0x4f06, {0xa1, 0x7d, 0x5e, 0x90, 0xc4, 0x23, 0x6b, 0xf8}},
         {}},
        {R::Application,
         L"HostApplication",
         editorIid(0x0821EF02),
         {{u"ActiveDocument", R::Document}}},
        {R::Document,
         L"HostDocument",
         editorIid(0x0821EF04),
         {{u"View", R::View},
          {u"Unit"},
          {u"LayerName", R::Untyped, 1},
          {u"LayerCount"},
          {u"Components", R::Components},
          {u"Nets", R::Nets},
          {u"Vias", R::Vias},
          {u"NetClasses", R::NetClasses},
          {u"Texts", R::Texts},
          {u"AddText", R::Untyped, 9, true}}},
        {R::View, L"HostView", editorIid(0x0821EF06), {{u"ShowSelection", R::Untyped, 0, true}}},
        collection(R::Components, L"HostComponents", 1, R::Component),
        collection(R::Nets, L"HostNets", 2, R::Net),
        collection(R::Vias, L"HostVias", 3, R::Via),
        collection(R::NetClasses, L"HostNetClasses", 4, R::NetClass),
        collection(R::Texts, L"HostTexts", 5, R::Text),
        collection(R::Pins, L"HostPins", 6, R::Pin),
        {R::Component,
         L"HostComponent",
         editorIid(0x0821EF09),
         {{u"Name"}, {u"Pins", R::Pins}, {u"Selected"}}},
        {R::Net,
         L"HostNet",
         editorIid(0x0821EF0A),
         {{u"Name"}, {u"NetClass", R::NetClass}, {u"Selected"}}},
        {R::Pin,
         L"HostPin",
         editorIid(0x0821EF0B),
         {{u"Name"},
          {u"PositionX", R::Untyped, 1},
          {u"PositionY", R::Untyped, 1},
          {u"Net", R::Net},
          {u"Number"},
          {u"NetClass"}}},
        {R::Via,
         L"HostVia",
         editorIid(0x0821EF0C),
         {{u"PositionX", R::Untyped, 1}, {u"PositionY", R::Untyped, 1}, {u"Net", R::Net}}},
        {R::NetClass, L"HostNetClass", laterIid(0x20A2BB66), {{u"Name"}}},
        {R::Text,
         L"HostText",
         laterIid(0x20A2BB70),
         {{u"TextString"}, {u"Delete", R::Untyped, 0, true}}},
    };
    return all;
}

const RoleDescription& describe(ServedRole role) {
    for (const RoleDescription& description : roleDescriptions()) {
        if (description.role == role) {
            return description;
        }
    }
    return roleDescriptions().front();
}

// The role of what `member` of an object in `role` hands out.
ServedRole roleReturned(ServedRole role, std::u16string_view member) {
    for (const Declared& declared : describe(role).members) {
        if (declared.member == member) {
            return declared.returns;
        }
    }
    return ServedRole::Untyped;
}

DISPID idOf(std::u16string_view name) {
    for (std::size_t i = 0; i < members.size(); ++i) {
        if (members[i].name == name) {
            return firstMemberId + static_cast<DISPID>(i);
        }
    }
    return DISPID_UNKNOWN;
}

// One description per role, in one library, made once and kept for the life of the process.
// With `typedReturns` a member that hands out an object declares its interface, as a typed
// automation server does; without, every such member returns a plain IDispatch and a client
// must ask each object what it is.
class ServedTypes {
  public:
    explicit ServedTypes(bool typedReturns) {
        ComPtr<ICreateTypeLib2> library;
        if (FAILED(CreateTypeLib2(sizeof(void*) == 8 ? SYS_WIN64 : SYS_WIN32,
                                  const_cast<LPOLESTR>(L"tagwright-test-editor.tlb"),
                                  library.put()))) {
            return;
        }
        const auto& descriptions = roleDescriptions();
        std::vector<ComPtr<ICreateTypeInfo>> created(descriptions.size());
        for (std::size_t i = 0; i < descriptions.size(); ++i) {
            if (FAILED(library->CreateTypeInfo(const_cast<LPOLESTR>(descriptions[i].name),
                                               TKIND_DISPATCH, created[i].put())) ||
                FAILED(created[i]->SetGuid(descriptions[i].guid))) {
                return;
            }
            ITypeInfo* info = nullptr;
            created[i]->QueryInterface(IID_ITypeInfo, reinterpret_cast<void**>(&info));
            if (!info) {
                return;
            }
            types_[static_cast<std::size_t>(descriptions[i].role)] = ComPtr<ITypeInfo>::adopt(info);
        }
        for (std::size_t i = 0; i < descriptions.size(); ++i) {
            UINT index = 0;
            for (const Declared& declared : descriptions[i].members) {
                declare(*created[i].get(), index++, declared, typedReturns);
            }
            created[i]->LayOut();
        }
    }

    ITypeInfo* of(ServedRole role) const { return types_[static_cast<std::size_t>(role)].get(); }

  private:
    void declare(ICreateTypeInfo& type, UINT index, const Declared& declared, bool typedReturns) {
        std::vector<ELEMDESC> params(static_cast<std::size_t>(declared.params));
        for (ELEMDESC& param : params) {
            param.tdesc.vt = VT_VARIANT;
            param.paramdesc.wParamFlags = PARAMFLAG_FIN;
        }
        FUNCDESC function{};
        function.memid = idOf(declared.member);
        function.funckind = FUNC_DISPATCH;
        function.invkind = declared.call ? INVOKE_FUNC : INVOKE_PROPERTYGET;
        function.callconv = CC_STDCALL;
        function.cParams = declared.params;
        function.lprgelemdescParam = params.empty() ? nullptr : params.data();
        TYPEDESC returned{};
        HREFTYPE reference = 0;
        ITypeInfo* target = of(declared.returns);
        if (declared.returns == ServedRole::Untyped) {
            function.elemdescFunc.tdesc.vt = VT_VARIANT;
        } else if (typedReturns && target && SUCCEEDED(type.AddRefTypeInfo(target, &reference))) {
            returned.vt = VT_USERDEFINED;
            returned.hreftype = reference;
            function.elemdescFunc.tdesc.vt = VT_PTR;
            function.elemdescFunc.tdesc.lptdesc = &returned;
        } else {
            function.elemdescFunc.tdesc.vt = VT_DISPATCH;
        }
        if (SUCCEEDED(type.AddFuncDesc(index, &function))) {
            std::wstring name(declared.member.begin(), declared.member.end());
            LPOLESTR names[] = {name.data()};
            type.SetFuncAndParamNames(index, names, 1);
        }
    }

    std::array<ComPtr<ITypeInfo>, static_cast<std::size_t>(ServedRole::Text) + 1> types_;
};

ITypeInfo* servedType(ServedRole role, bool typedReturns) {
    static const ServedTypes typed(true);
    static const ServedTypes untyped(false);
    return (typedReturns ? typed : untyped).of(role);
}

ObjectRef wrapIncoming(ComPtr<IDispatch> dispatch) {
    if (!dispatch) {
        return nullptr;
    }
    if (ObjectRef own = HostDispatch::servedObject(dispatch.get())) {
        return own;
    }
    return DispatchObject::attach(std::move(dispatch));
}

UnwrapObject unwrapOutgoing(ServingOptions options, ServedRole role) {
    return [options, role](const ObjectRef& object) {
        if (auto* foreign = dynamic_cast<DispatchObject*>(object.get())) {
            return ComPtr<IDispatch>::share(foreign->dispatch());
        }
        return HostDispatch::serve(object, options, role);
    };
}

// What a deferred fill-in hands over; it runs on the thread that raised the exception.
thread_local std::u16string deferredDescription;

HRESULT STDAPICALLTYPE fillInDeferred(EXCEPINFO* info) {
    info->bstrSource = Bstr(u"Tagwright").release();
    info->bstrDescription = Bstr(deferredDescription).release();
    return S_OK;
}

// Failures must not leave as C++ exceptions through a COM interface.
HRESULT failed(const std::exception& e, EXCEPINFO* exception, ServingOptions options) {
    auto* failure = dynamic_cast<const Failure*>(&e);
    HRESULT hr = exceptionFromFailure(
        failure ? *failure : Failure(static_cast<std::int32_t>(E_UNEXPECTED), fromUtf8(e.what())),
        exception);
    if (hr == DISP_E_EXCEPTION && exception && options.deferredFillIn) {
        deferredDescription = Bstr::adopt(exception->bstrDescription).text();
        SysFreeString(exception->bstrSource);
        exception->bstrSource = exception->bstrDescription = nullptr;
        exception->pfnDeferredFillIn = fillInDeferred;
    }
    return hr;
}

// A collection's members for a client, fetched from the host enumerator as they are asked for.
class HostEnumVariant : public IEnumVARIANT {
  public:
    HostEnumVariant(ObjectRef collection, std::unique_ptr<HostEnumerator> members,
                    ServingOptions options, ServedRole memberRole)
        : collection_(std::move(collection)), members_(std::move(members)), options_(options),
          memberRole_(memberRole) {}

    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        if (!out) {
            return E_POINTER;
        }
        if (iid == IID_IUnknown || iid == IID_IEnumVARIANT) {
            *out = static_cast<IEnumVARIANT*>(this);
            AddRef();
            return S_OK;
        }
        *out = nullptr;
        return E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return ++references_; }
    ULONG STDMETHODCALLTYPE Release() override {
        ULONG left = --references_;
        if (left == 0) {
            delete this;
        }
        return left;
    }

    HRESULT STDMETHODCALLTYPE Next(ULONG wanted, VARIANT* out, ULONG* fetched) override {
        ++HostDispatch::counts.batches;
        HostDispatch::served();
        ULONG count = 0;
        try {
            Value member;
            while (count < wanted && members_->next(member)) {
                out[count] = toVariant(member, unwrapOutgoing(options_, memberRole_)).release();
                ++count;
            }
        } catch (const std::exception&) {
            for (ULONG i = 0; i < count; ++i) {
                VariantClear(&out[i]);
            }
            if (fetched) {
                *fetched = 0;
            }
            return E_FAIL;
        }
        if (fetched) {
            *fetched = count;
        }
        return count == wanted ? S_OK : S_FALSE;
    }
    HRESULT STDMETHODCALLTYPE Skip(ULONG count) override {
        try {
            Value member;
            for (ULONG i = 0; i < count; ++i) {
                if (!members_->next(member)) {
                    return S_FALSE;
                }
            }
            return S_OK;
        } catch (const std::exception&) {
            return E_FAIL;
        }
    }
    HRESULT STDMETHODCALLTYPE Reset() override {
        try {
            members_ = collection_->enumerate();
            return S_OK;
        } catch (const std::exception&) {
            return E_FAIL;
        }
    }
    HRESULT STDMETHODCALLTYPE Clone(IEnumVARIANT** out) override {
        if (out) {
            *out = nullptr;
        }
        return E_NOTIMPL;
    }

  private:
    virtual ~HostEnumVariant() = default;

    std::atomic<ULONG> references_{1};
    ObjectRef collection_;
    std::unique_ptr<HostEnumerator> members_;
    ServingOptions options_;
    ServedRole memberRole_;
};

} // namespace

HostDispatch::Counts HostDispatch::counts;
std::atomic<long long> HostDispatch::hangAfter{-1};

ComPtr<IDispatch> HostDispatch::serve(ObjectRef object, ServingOptions options, ServedRole role) {
    return ComPtr<IDispatch>::adopt(new HostDispatch(std::move(object), options, role));
}

void HostDispatch::served() {
    if (hangAfter.load() < 0) {
        return;
    }
    if (hangAfter-- == 0) {
        // Takes the call and never answers, nor serves anything else: the thread that would
        // pump the next call's message sleeps for good.
        hangAfter = 0;
        for (;;) {
            Sleep(INFINITE);
        }
    }
}

bool HostDispatch::hung() {
    return hangAfter.load() == 0;
}

ObjectRef HostDispatch::servedObject(IDispatch* dispatch) {
    HostDispatch* own = nullptr;
    if (dispatch &&
        SUCCEEDED(dispatch->QueryInterface(servedObjectIid, reinterpret_cast<void**>(&own)))) {
        ObjectRef object = own->object_;
        own->Release();
        return object;
    }
    return nullptr;
}

HRESULT HostDispatch::QueryInterface(REFIID iid, void** out) {
    if (!out) {
        return E_POINTER;
    }
    if (iid == IID_IUnknown || iid == IID_IDispatch || iid == servedObjectIid) {
        *out = static_cast<IDispatch*>(this);
        AddRef();
        return S_OK;
    }
    *out = nullptr;
    return E_NOINTERFACE;
}

ULONG HostDispatch::AddRef() {
    return ++references_;
}

ULONG HostDispatch::Release() {
    ULONG left = --references_;
    if (left == 0) {
        delete this;
    }
    return left;
}

HRESULT HostDispatch::GetTypeInfoCount(UINT* count) {
    if (!count) {
        return E_POINTER;
    }
    *count = options_.typeInfo && servedType(role_, options_.typedReturns) ? 1 : 0;
    return S_OK;
}

HRESULT HostDispatch::GetTypeInfo(UINT index, LCID, ITypeInfo** info) {
    ++counts.typeInfos;
    served();
    if (!info) {
        return E_POINTER;
    }
    *info = nullptr;
    ITypeInfo* type = servedType(role_, options_.typedReturns);
    if (index != 0 || !options_.typeInfo || !type) {
        return DISP_E_BADINDEX;
    }
    *info = type;
    (*info)->AddRef();
    return S_OK;
}

HRESULT HostDispatch::GetIDsOfNames(REFIID, LPOLESTR* names, UINT count, LCID, DISPID* ids) {
    if (!names || !ids) {
        return E_POINTER;
    }
    ++counts.nameLookups;
    served();
    HRESULT hr = S_OK;
    for (UINT n = 0; n < count; ++n) {
        ids[n] = DISPID_UNKNOWN;
        // Named arguments are not part of the interface.
        if (n == 0 && names[0]) {
            if (sameName(u"_NewEnum", names[0])) {
                ids[0] = DISPID_NEWENUM;
            }
            for (std::size_t i = 0; i < members.size(); ++i) {
                if (sameName(members[i].name, names[0])) {
                    ids[0] = firstMemberId + static_cast<DISPID>(i);
                }
            }
        }
        if (ids[n] == DISPID_UNKNOWN) {
            hr = DISP_E_UNKNOWNNAME;
        }
    }
    return hr;
}

HRESULT HostDispatch::Invoke(DISPID id, REFIID, LCID, WORD flags, DISPPARAMS* params,
                             VARIANT* result, EXCEPINFO* exception, UINT* argError) {
    ++counts.invokes;
    served();
    if (!params) {
        return E_POINTER;
    }
    if (result) {
        VariantInit(result);
    }
    try {
        if (id == DISPID_NEWENUM) {
            if (params->cArgs != 0) {
                return DISP_E_BADPARAMCOUNT;
            }
            auto* members = new HostEnumVariant(object_, object_->enumerate(), options_,
                                                roleReturned(role_, u"Item"));
            if (result) {
                V_VT(result) = VT_UNKNOWN;
                V_UNKNOWN(result) = members;
            } else {
                members->Release();
            }
            return S_OK;
        }
        const Member* member = memberById(id);
        if (!member) {
            return DISP_E_MEMBERNOTFOUND;
        }

        CallKind kind;
        UINT named = 0;
        if (flags & (DISPATCH_PROPERTYPUT | DISPATCH_PROPERTYPUTREF)) {
            if (params->cNamedArgs != 1 || params->rgdispidNamedArgs[0] != DISPID_PROPERTYPUT ||
                params->cArgs < 1) {
                return DISP_E_PARAMNOTOPTIONAL;
            }
            kind = CallKind::Put;
            named = 1;
        } else if (params->cNamedArgs != 0) {
            return DISP_E_NONAMEDARGS;
        } else if ((flags & DISPATCH_METHOD) && (flags & DISPATCH_PROPERTYGET)) {
            kind = member->call ? CallKind::Method : CallKind::Get;
        } else if (flags & DISPATCH_METHOD) {
            kind = CallKind::Method;
        } else {
            kind = CallKind::Get;
        }

        // Positional arguments arrive last first, after the named value of a put.
        std::vector<Value> args;
        args.reserve(params->cArgs);
        for (UINT i = params->cArgs; i > named; --i) {
            try {
                args.push_back(fromVariant(params->rgvarg[i - 1], wrapIncoming));
            } catch (const Failure&) {
                if (argError) {
                    *argError = i - 1;
                }
                throw;
            }
        }
        if (named) {
            args.push_back(fromVariant(params->rgvarg[0], wrapIncoming));
        }

        Value answer = object_->invoke(member->name, kind, args);
        if (result && kind != CallKind::Put) {
            *result = toVariant(answer, unwrapOutgoing(options_, roleReturned(role_, member->name)))
                          .release();
        }
        return S_OK;
    } catch (const std::exception& e) {
        return failed(e, exception, options_);
    }
}

} // namespace tagwright::host::com
