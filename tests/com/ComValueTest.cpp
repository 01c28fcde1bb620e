#include "FakeDispatch.h"
#include "support/FailureOf.h"

#include "host/Failure.h"
#include "host/com/VariantConversion.h"
#include "host/memory/MemoryHost.h"
#include "standin-com/HostDispatch.h"

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
        {"null by reference",
         [](VARIANT& v) { V_VT(&v) = VT_I4 | VT_BYREF, V_BYREF(&v) = nullptr; }, std::nullopt,
         Failure::TypeMismatch},
        {"null variant by reference",
         [](VARIANT& v) { V_VT(&v) = VT_VARIANT | VT_BYREF, V_BYREF(&v) = nullptr; }, std::nullopt,
         Failure::TypeMismatch},
        {"byte", [](VARIANT& v) { V_VT(&v) = VT_UI1, V_UI1(&v) = 200; }, Value(std::int16_t{200})},
        {"64-bit that fits", [](VARIANT& v) { V_VT(&v) = VT_I8, V_I8(&v) = -3; },
         Value(std::int32_t{-3})},
        {"64-bit that does not fit", [](VARIANT& v) { V_VT(&v) = VT_I8, V_I8(&v) = 1LL << 40; },
         std::nullopt, Failure::Overflow},
        {"unsigned that fits", [](VARIANT& v) { V_VT(&v) = VT_UI4, V_UI4(&v) = 2147483647u; },
         Value(std::int32_t{2147483647})},
        {"unsigned past the signed range",
         [](VARIANT& v) { V_VT(&v) = VT_UI4, V_UI4(&v) = 3000000000u; }, std::nullopt,
         Failure::Overflow},
        {"unsigned int past the signed range",
         [](VARIANT& v) { V_VT(&v) = VT_UINT, V_UINT(&v) = 4294967295u; }, std::nullopt,
         Failure::Overflow},
        {"unsigned 64-bit past the signed range",
         [](VARIANT& v) { V_VT(&v) = VT_UI8, V_UI8(&v) = 1ULL << 31; }, std::nullopt,
         Failure::Overflow},
        {"unsigned 16-bit", [](VARIANT& v) { V_VT(&v) = VT_UI2, V_UI2(&v) = 65535; },
         Value(std::int32_t{65535})},
        {"date as its day count", [](VARIANT& v) { V_VT(&v) = VT_DATE, V_DATE(&v) = 45000.5; },
         Value(45000.5)},
        {"currency", [](VARIANT& v) { V_VT(&v) = VT_CY, V_CY(&v).int64 = 25000; }, Value(2.5)},
        {"decimal",
         [](VARIANT& v) {
             // The decimal covers the whole variant, its type field too.
             VarDecFromR8(-1.25, &V_DECIMAL(&v));
             V_VT(&v) = VT_DECIMAL;
         },
         Value(-1.25)},
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
            EXPECT_EQ(tagwright::test::failureNumber([&] { fromVariant(v, noObjects); }),
                      c.failure);
        }
    }
}

// Objects arrive as IDispatch, as IUnknown that answers IDispatch, or by reference; each keeps
// exactly the references it took, and gives them back.
TEST(VariantConversion, ObjectsArriveInEveryShapeAndGiveBackTheirReferences) {
    tagwright::test::FakeDispatch fake;
    IDispatch* dispatch = &fake;
    IUnknown* unknown = static_cast<IDispatch*>(&fake);
    VARIANT inner;
    VariantInit(&inner);
    V_VT(&inner) = VT_DISPATCH;
    V_DISPATCH(&inner) = &fake;
    struct Case {
        const char* what;
        std::function<void(VARIANT&)> make;
    };
    const Case cases[] = {
        {"dispatch", [&](VARIANT& v) { V_VT(&v) = VT_DISPATCH, V_DISPATCH(&v) = dispatch; }},
        {"unknown", [&](VARIANT& v) { V_VT(&v) = VT_UNKNOWN, V_UNKNOWN(&v) = unknown; }},
        {"dispatch by reference",
         [&](VARIANT& v) { V_VT(&v) = VT_DISPATCH | VT_BYREF, V_DISPATCHREF(&v) = &dispatch; }},
        {"unknown by reference",
         [&](VARIANT& v) { V_VT(&v) = VT_UNKNOWN | VT_BYREF, V_UNKNOWNREF(&v) = &unknown; }},
        {"variant by reference",
         [&](VARIANT& v) { V_VT(&v) = VT_VARIANT | VT_BYREF, V_VARIANTREF(&v) = &inner; }},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        VARIANT v;
        VariantInit(&v);
        c.make(v);
        IDispatch* arrived = nullptr;
        Value value = fromVariant(v, [&](ComPtr<IDispatch> d) -> ObjectRef {
            arrived = d.get();
            return memory::makeApplication(nullptr);
        });
        EXPECT_EQ(arrived, dispatch);
        EXPECT_TRUE(value.toObject());
        EXPECT_EQ(fake.references, 1u);
    }

    // An object that is no automation object is no value.
    fake.answersDispatch = false;
    VARIANT v;
    VariantInit(&v);
    V_VT(&v) = VT_UNKNOWN;
    V_UNKNOWN(&v) = unknown;
    EXPECT_EQ(tagwright::test::failureNumber([&] { fromVariant(v, noObjects); }),
              Failure::TypeMismatch);
    EXPECT_EQ(fake.references, 1u);
}

} // namespace
