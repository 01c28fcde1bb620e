#include "host/com/VariantConversion.h"

#include "host/Failure.h"

#include <limits>
#include <utility>

namespace tagwright::host::com {

namespace {

template <class T> Value int32From(T value) {
    if (std::cmp_less(value, std::numeric_limits<std::int32_t>::min()) ||
        std::cmp_greater(value, std::numeric_limits<std::int32_t>::max())) {
        throw Failure::overflow();
    }
    return static_cast<std::int32_t>(value);
}

} // namespace

Variant toVariant(const Value& value, const UnwrapObject& unwrap) {
    Variant out;
    VARIANT& v = *out.get();
    switch (value.type()) {
    case Value::Type::Empty:
        break;
    case Value::Type::Bool:
        v.vt = VT_BOOL;
        v.boolVal = value.toBool() ? VARIANT_TRUE : VARIANT_FALSE;
        break;
    case Value::Type::Int16:
        v.vt = VT_I2;
        v.iVal = value.toInt16();
        break;
    case Value::Type::Int32:
        v.vt = VT_I4;
        v.lVal = value.toInt32();
        break;
    case Value::Type::Double:
        v.vt = VT_R8;
        v.dblVal = value.toDouble();
        break;
    case Value::Type::String:
        v.bstrVal = Bstr(value.toString()).release();
        v.vt = VT_BSTR;
        break;
    case Value::Type::Object: {
        ObjectRef object = value.toObject();
        v.pdispVal = object ? unwrap(object).release() : nullptr;
        v.vt = VT_DISPATCH;
        break;
    }
    }
    return out;
}

Value fromVariant(const VARIANT& variant, const WrapDispatch& wrap) {
    if (V_VT(&variant) & VT_BYREF) {
        // A reference to nothing is no value of its type; the system would read through it.
        if (!V_BYREF(&variant)) {
            throw Failure::typeMismatch();
        }
        Variant direct;
        if (FAILED(VariantCopyInd(direct.get(), const_cast<VARIANT*>(&variant)))) {
            throw Failure::typeMismatch();
        }
        return fromVariant(*direct.get(), wrap);
    }
    switch (V_VT(&variant)) {
    case VT_EMPTY:
    case VT_NULL:
        return {};
    case VT_ERROR:
        // How an omitted optional argument travels.
        if (V_ERROR(&variant) == DISP_E_PARAMNOTFOUND) {
            return {};
        }
        throw Failure::typeMismatch();
    case VT_BOOL:
        return V_BOOL(&variant) != VARIANT_FALSE;
    case VT_I2:
        return static_cast<std::int16_t>(V_I2(&variant));
    case VT_UI1:
        return static_cast<std::int16_t>(V_UI1(&variant));
    case VT_I4:
        return static_cast<std::int32_t>(V_I4(&variant));
    case VT_INT:
        return static_cast<std::int32_t>(V_INT(&variant));
    case VT_R8:
        return V_R8(&variant);
    case VT_R4:
        return static_cast<double>(V_R4(&variant));
    case VT_BSTR: {
        BSTR text = V_BSTR(&variant);
        return text ? fromWide(text, SysStringLen(text)) : std::u16string();
    }
    case VT_DISPATCH:
        return wrap(ComPtr<IDispatch>::share(V_DISPATCH(&variant)));
    case VT_UNKNOWN: {
        IUnknown* unknown = V_UNKNOWN(&variant);
        ComPtr<IDispatch> dispatch;
        if (unknown && FAILED(unknown->QueryInterface(IID_IDispatch,
                                                      reinterpret_cast<void**>(dispatch.put())))) {
            throw Failure::typeMismatch();
        }
        return wrap(std::move(dispatch));
    }
    // Range checked here: a conversion that copies the bits would turn 3,000,000,000 into a
    // negative number.
    case VT_I1:
        return static_cast<std::int32_t>(V_I1(&variant));
    case VT_UI2:
        return static_cast<std::int32_t>(V_UI2(&variant));
    case VT_UI4:
        return int32From(V_UI4(&variant));
    case VT_UINT:
        return int32From(V_UINT(&variant));
    case VT_I8:
        return int32From(V_I8(&variant));
    case VT_UI8:
        return int32From(V_UI8(&variant));
    case VT_DATE:
        // The day count, as a script reads a date assigned to a number.
        return static_cast<double>(V_DATE(&variant));
    case VT_CY:
        return static_cast<double>(V_CY(&variant).int64) / 10000.0;
    case VT_DECIMAL: {
        double value = 0;
        if (FAILED(VarR8FromDec(const_cast<DECIMAL*>(&V_DECIMAL(&variant)), &value))) {
            throw Failure::typeMismatch();
        }
        return value;
    }
    default:
        throw Failure::typeMismatch();
    }
}

} // namespace tagwright::host::com
