#pragma once

#include "host/Value.h"
#include "host/com/ComHandles.h"

#include <functional>

namespace tagwright::host::com {

// How object references cross: the client wraps an incoming IDispatch in a host object and
// unwraps its own objects going out; a server does the reverse. Both returned references are
// owned by the caller; a null IDispatch is "nothing".
using WrapDispatch = std::function<ObjectRef(ComPtr<IDispatch>)>;
using UnwrapObject = std::function<ComPtr<IDispatch>(const ObjectRef&)>;

// The automation types of the editor's interface: 16-bit integers as VT_I2 (an `Item` index,
// a layer), VT_BOOL with true = -1, "nothing" as a null VT_DISPATCH.
Variant toVariant(const Value& value, const UnwrapObject& unwrap);

// Accepts what other automation clients and servers send too: references (VT_BYREF), other
// integer types when they fit (an overflow, 6, when not), dates, currency and decimals as
// doubles, VT_UNKNOWN that answers IDispatch, and an omitted argument as empty. Anything else
// is a type mismatch (13).
Value fromVariant(const VARIANT& variant, const WrapDispatch& wrap);

} // namespace tagwright::host::com
