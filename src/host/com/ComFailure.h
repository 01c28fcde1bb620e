#pragma once

#include "host/Failure.h"

#include <oaidl.h>

#include <string>
#include <string_view>

namespace tagwright::host::com {

// The system's text for an HRESULT, or its hexadecimal form when the system has none.
std::u16string systemMessage(HRESULT hr);

// A failed call on `member`. The automation errors that have a number of the program's own
// (unknown member, type mismatch, overflow) take it; any other HRESULT stays as it is, so the
// user sees for example that the editor has gone away.
Failure failureFromHresult(HRESULT hr, std::u16string_view member);

// DISP_E_EXCEPTION: the server's own number and description. Frees the strings in `info`.
Failure failureFromException(EXCEPINFO& info);

// The reverse, for a server: fills `info` so that failureFromException gives back `failure`.
// Returns the HRESULT that Invoke must return.
HRESULT exceptionFromFailure(const Failure& failure, EXCEPINFO* info);

} // namespace tagwright::host::com
