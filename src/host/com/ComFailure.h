#pragma once

#include "host/Failure.h"

#include <oaidl.h>

#include <string>
#include <string_view>

namespace tagwright::host::com {

// The system's text for an HRESULT, or "自动化错误" and its hexadecimal form when the system
// has none.
std::u16string systemMessage(HRESULT hr);

// The editor has gone, or its link broke: the process ended, crashed, or was disconnected
// from its objects. A scripting client reports all of these as 462, and so does this link.
bool isEditorGone(HRESULT hr);

// A failed call on `member`, numbered the way a scripting client numbers it: the automation
// errors that have a number of their own (438, 13, 9, 6, 450) take it, a scripting error
// carried as 0x800Axxxx is error xxxx, and any other HRESULT stays as it is, so the user sees
// for example that the editor has gone away. The description is never empty.
Failure failureFromHresult(HRESULT hr, std::u16string_view member);

// DISP_E_EXCEPTION: the server's own number (wCode, else scode numbered as above) and its
// description, or the text for that number when it gave none. The server's deferred fill-in
// runs only when `mayFillIn`: its address means something only inside the server's process.
// Frees the strings in `info`.
Failure failureFromException(EXCEPINFO& info, std::u16string_view member, bool mayFillIn);

// A failed call that brought no EXCEPINFO but left its description in IErrorInfo.
Failure failureFromErrorInfo(HRESULT hr, IErrorInfo& info, std::u16string_view member);

// The reverse, for a server: fills `info` so that failureFromException gives back `failure`.
// Returns the HRESULT that Invoke must return.
HRESULT exceptionFromFailure(const Failure& failure, EXCEPINFO* info);

} // namespace tagwright::host::com
