#include "host/Failure.h"
#include "host/com/ComFailure.h"
#include "host/com/DispatchObject.h"
#include "host/com/VariantConversion.h"
#include "host/com/server/HostDispatch.h"
#include "host/memory/MemoryHost.h"

#include <gtest/gtest.h>

#include <functional>

using namespace tagwright::host;
using namespace tagwright::host::com;

namespace {

const WrapDispatch noObjects = [](ComPtr<IDispatch> d) -> ObjectRef {
    EXPECT_FALSE(d) << "an object where none was expected";
    return nullptr;
};
const UnwrapObject serveObjects = [](const ObjectRef& o) { return HostDispatch::serve(o); };

TEST(VariantConversion, EachValueTravelsAsTheAutomationTypeOfTheInterface) {
    struct Case {
        const char* what;
        Value value;
        VARTYPE type;
        std::function<bool(const VARIANT&)> payload;
    };
    const Case cases[] = {
        {"empty", Value(), VT_EMPTY, [](auto&) { return true; }},
        {"true is -1", Value(true), VT_BOOL, [](auto& v) { return V_BOOL(&v) == -1; }},
        {"false", Value(false), VT_BOOL, [](auto& v) { return V_BOOL(&v) == 0; }},
        {"16-bit index", Value(std::int16_t{-7}), VT_I2, [](auto& v) { return V_I2(&v) == -7; }},
        {"32-bit", Value(std::int32_t{70000}), VT_I4, [](auto& v) { return V_I4(&v) == 70000; }},
        {"double", Value(2.5), VT_R8, [](auto& v) { return V_R8(&v) == 2.5; }},
        {"wide text with a NUL inside", Value(std::u16string(u"网\0络", 3)), VT_BSTR,
         [](auto& v) { return SysStringLen(V_BSTR(&v)) == 3; }},
        {"nothing", Value(ObjectRef()), VT_DISPATCH,
         [](auto& v) { return V_DISPATCH(&v) == nullptr; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        Variant variant = toVariant(c.value, serveObjects);
        EXPECT_EQ(V_VT(variant.get()), c.type);
        EXPECT_TRUE(c.payload(*variant.get()));
        EXPECT_EQ(fromVariant(*variant.get(), noObjects), c.value);
    }
}

TEST(VariantConversion, ObjectsCrossAsDispatchAndComeBackAsTheSameObject) {
    ObjectRef application = memory::makeApplication(nullptr);
    Variant variant = toVariant(Value(application), serveObjects);
    ASSERT_EQ(V_VT(variant.get()), VT_DISPATCH);
    Value back = fromVariant(
        *variant.get(), [](ComPtr<IDispatch> d) { return HostDispatch::servedObject(d.get()); });
    EXPECT_EQ(back.toObject(), application);
}

// What other automation clients send: by reference, other widths, omitted arguments.
TEST(VariantConversion, AcceptsTheOtherShapesClientsSend) {
    LONG referenced = 42;
    struct Case {
        const char* what;
        std::function<void(VARIANT&)> make;
        std::optional<Value> expected; // none: fails
        std::int32_t failure = 0;
    };
    const Case cases[] = {
        {"by reference",
         [&](VARIANT& v) {
             V_VT(&v) = VT_I4 | VT_BYREF;
             V_I4REF(&v) = &referenced;
         },
         Value(std::int32_t{42})},
        {"byte", [](VARIANT& v) { V_VT(&v) = VT_UI1, V_UI1(&v) = 200; }, Value(std::int16_t{200})},
        {"64-bit that fits", [](VARIANT& v) { V_VT(&v) = VT_I8, V_I8(&v) = -3; },
         Value(std::int32_t{-3})},
        {"64-bit that does not fit", [](VARIANT& v) { V_VT(&v) = VT_I8, V_I8(&v) = 1LL << 40; },
         std::nullopt, Failure::Overflow},
        {"single", [](VARIANT& v) { V_VT(&v) = VT_R4, V_R4(&v) = 0.5f; }, Value(0.5)},
        {"omitted argument",
         [](VARIANT& v) { V_VT(&v) = VT_ERROR, V_ERROR(&v) = DISP_E_PARAMNOTFOUND; }, Value()},
        {"null", [](VARIANT& v) { V_VT(&v) = VT_NULL; }, Value()},
        {"null string", [](VARIANT& v) { V_VT(&v) = VT_BSTR, V_BSTR(&v) = nullptr; }, Value(u"")},
        {"any nonzero boolean is true", [](VARIANT& v) { V_VT(&v) = VT_BOOL, V_BOOL(&v) = 1; },
         Value(true)},
        {"an error code", [](VARIANT& v) { V_VT(&v) = VT_ERROR, V_ERROR(&v) = E_FAIL; },
         std::nullopt, Failure::TypeMismatch},
        {"an array",
         [](VARIANT& v) {
             V_VT(&v) = VT_ARRAY | VT_I4;
             V_ARRAY(&v) = nullptr;
         },
         std::nullopt, Failure::TypeMismatch},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VARIANT v;
        VariantInit(&v);
        c.make(v);
        if (c.expected) {
            EXPECT_EQ(fromVariant(v, noObjects), *c.expected);
        } else {
            try {
                fromVariant(v, noObjects);
                ADD_FAILURE() << "converted";
            } catch (const Failure& failure) {
                EXPECT_EQ(failure.number(), c.failure);
            }
        }
    }
}

// A server's failure, packed into EXCEPINFO and unpacked by the client, is the one raised.
TEST(ComFailure, ExceptionsCarryTheServersNumberAndDescription) {
    const Failure raised[] = {
        {440, u"找不到对象: U9"},
        {Failure::SubscriptOutOfRange, u"下标越界: 99"},
        {static_cast<std::int32_t>(E_ACCESSDENIED), u"denied"},
    };
    for (const Failure& failure : raised) {
        SCOPED_TRACE(failure.what());
        EXCEPINFO info{};
        ASSERT_EQ(exceptionFromFailure(failure, &info), DISP_E_EXCEPTION);
        Failure received = failureFromException(info);
        EXPECT_EQ(received.number(), failure.number());
        EXPECT_EQ(received.description(), failure.description());
        EXPECT_EQ(info.bstrDescription, nullptr) << "strings are freed";
    }

    EXCEPINFO byCode{};
    byCode.wCode = 1001;
    byCode.bstrDescription = SysAllocString(L"from wCode");
    Failure fromCode = failureFromException(byCode);
    EXPECT_EQ(fromCode.number(), 1001);
    EXPECT_EQ(fromCode.description(), u"from wCode");

    EXCEPINFO bare{};
    bare.scode = E_OUTOFMEMORY;
    EXPECT_EQ(failureFromException(bare).description(), systemMessage(E_OUTOFMEMORY));
}

TEST(ComFailure, HresultsMapToTheProgramsNumbersOrStayAsTheyAre) {
    EXPECT_EQ(failureFromHresult(DISP_E_UNKNOWNNAME, u"Foo").description(),
              Failure::memberNotSupported(u"Foo").description());
    EXPECT_EQ(failureFromHresult(DISP_E_MEMBERNOTFOUND, u"Foo").number(),
              Failure::MemberNotSupported);
    EXPECT_EQ(failureFromHresult(DISP_E_TYPEMISMATCH, u"Foo").number(), Failure::TypeMismatch);
    EXPECT_EQ(failureFromHresult(DISP_E_OVERFLOW, u"Foo").number(), Failure::Overflow);

    const HRESULT gone = HRESULT_FROM_WIN32(RPC_S_SERVER_UNAVAILABLE);
    Failure editorGone = failureFromHresult(gone, u"Name");
    EXPECT_EQ(editorGone.number(), static_cast<std::int32_t>(gone));
    EXPECT_NE(editorGone.description().find(u"RPC"), std::u16string::npos)
        << "the system's own text, not a bare number";
}

// An automation object that knows one member, "Name", under an id of its own.
class NamedObject : public IDispatch {
  public:
    NamedObject(DISPID id, const wchar_t* name) : id_(id), name_(name) {}
    HRESULT STDMETHODCALLTYPE QueryInterface(REFIID iid, void** out) override {
        *out = iid == IID_IUnknown || iid == IID_IDispatch ? this : nullptr;
        return *out ? S_OK : E_NOINTERFACE;
    }
    ULONG STDMETHODCALLTYPE AddRef() override { return 1; }
    ULONG STDMETHODCALLTYPE Release() override { return 1; }
    HRESULT STDMETHODCALLTYPE GetTypeInfoCount(UINT* count) override {
        *count = 0;
        return S_OK;
    }
    HRESULT STDMETHODCALLTYPE GetTypeInfo(UINT, LCID, ITypeInfo**) override { return E_NOTIMPL; }
    HRESULT STDMETHODCALLTYPE GetIDsOfNames(REFIID, LPOLESTR* names, UINT, LCID,
                                            DISPID* ids) override {
        ++lookups;
        *ids = _wcsicmp(names[0], L"Name") == 0 ? id_ : DISPID_UNKNOWN;
        return *ids == id_ ? S_OK : DISP_E_UNKNOWNNAME;
    }
    HRESULT STDMETHODCALLTYPE Invoke(DISPID id, REFIID, LCID, WORD, DISPPARAMS*, VARIANT* result,
                                     EXCEPINFO*, UINT*) override {
        if (id != id_) {
            return DISP_E_MEMBERNOTFOUND;
        }
        V_VT(result) = VT_BSTR;
        V_BSTR(result) = SysAllocString(name_);
        return S_OK;
    }
    int lookups = 0;

  private:
    DISPID id_;
    const wchar_t* name_;
};

TEST(DispatchObject, AnObjectOfAnotherKindThanItsSiblingsIsAskedForItsOwnIds) {
    NamedObject first(5, L"U1"), other(7, L"J1"), third(5, L"R1");
    auto siblings = std::make_shared<DispatchKind>();
    auto read = [&](NamedObject& object) {
        DispatchObject wrapped(ComPtr<IDispatch>::share(&object), siblings);
        return wrapped.invoke(u"Name", CallKind::Get, {}).toString();
    };
    EXPECT_EQ(read(first), u"U1");
    EXPECT_EQ(read(other), u"J1");
    EXPECT_EQ(read(third), u"R1");
    EXPECT_EQ(read(third), u"R1");
    // One lookup whenever the id learnt last does not fit, none when it does.
    EXPECT_EQ(first.lookups + other.lookups + third.lookups, 3);
}

} // namespace
