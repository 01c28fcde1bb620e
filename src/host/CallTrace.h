#pragma once

#include "host/Attach.h"

#include <chrono>
#include <filesystem>
#include <functional>
#include <iosfwd>
#include <memory>

namespace tagwright::host {

// Where the lines of a trace go, shared by every object a traced attach hands out, so one file
// shows a whole session in call order. Nobody here can run the user's editor: what it answered,
// written down as it happened, is all the evidence there is when it behaves unlike ours.
class CallTrace;

// Microseconds from any fixed point; only differences are used.
using TraceClock = std::function<std::chrono::microseconds()>;

// A trace into `out`, one flushed line per host call. `timeOfDay` is the local time, since
// midnight, at which `clock` reads its current value: lines show the time of day without
// asking the time zone at every call. Once `out` fails, the trace writes nothing more and the
// calls go on.
std::shared_ptr<CallTrace> traceInto(std::unique_ptr<std::ostream> out, TraceClock clock,
                                     std::chrono::microseconds timeOfDay);

// A trace into `file`, replaced if it exists, as UTF-8 with a byte order mark (so Notepad
// reads the names right) and a first line with the date. Throws std::system_error when the
// file cannot be written.
std::shared_ptr<CallTrace> openTraceFile(const std::filesystem::path& file);

// Wraps `target` so that every call on it, and on every object reached through it, is written
// to `trace` once it has been answered: the time it started, the object, the call kind,
// member and arguments (long texts shortened), the result or the failure, and how long it took.
ObjectRef traceCalls(ObjectRef target, std::shared_ptr<CallTrace> trace);

// `attach`, traced: a line for the attach itself, and everything reached from what it returns.
AttachFunction traceAttach(AttachFunction attach, std::shared_ptr<CallTrace> trace);

} // namespace tagwright::host
