#include "host/CallTrace.h"

#include "host/Failure.h"
#include "host/Text.h"

#include <atomic>
#include <cerrno>
#include <charconv>
#include <ctime>
#include <fstream>
#include <mutex>
#include <string>
#include <system_error>
#include <vector>

namespace tagwright::host {

namespace {

// Enough of a name to recognise it; a whole netlist pasted into one text would swamp the file.
constexpr std::size_t shownCharacters = 40;

template <class Number> void appendNumber(std::string& line, Number number) {
    char digits[32];
    auto end = std::to_chars(digits, digits + sizeof digits, number).ptr;
    line.append(digits, end);
}

void appendTwoDigits(std::string& line, long long number) {
    line += static_cast<char>('0' + number / 10 % 10);
    line += static_cast<char>('0' + number % 10);
}

void appendHex(std::string& line, std::uint32_t number) {
    static constexpr char digits[] = "0123456789ABCDEF";
    line += "0x";
    for (int shift = 28; shift >= 0; shift -= 4) {
        line += digits[(number >> shift) & 0xF];
    }
}

// Quoted, on one line whatever the text holds, cut after `shownCharacters` code points.
void appendText(std::string& line, std::u16string_view text) {
    std::size_t cut = 0;
    for (std::size_t shown = 0; cut < text.size() && shown < shownCharacters; ++shown) {
        const bool pair = text[cut] >= 0xD800 && text[cut] <= 0xDBFF && cut + 1 < text.size() &&
                          text[cut + 1] >= 0xDC00 && text[cut + 1] <= 0xDFFF;
        cut += pair ? 2 : 1;
    }
    line += '"';
    for (char c : toUtf8(text.substr(0, cut))) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '"' || c == '\\') {
            line += '\\';
            line += c;
        } else if (byte < 0x20 || byte == 0x7F) {
            static constexpr char digits[] = "0123456789abcdef";
            line += "\\x";
            line += digits[byte >> 4];
            line += digits[byte & 0xF];
        } else {
            line += c;
        }
    }
    line += '"';
    if (cut < text.size()) {
        line += "…";
    }
}

// What the system said about the file just used; streams keep no reason of their own.
std::system_error lastSystemError() {
    const int error = errno;
    return error != 0 ? std::system_error(error, std::generic_category())
                      : std::system_error(std::make_error_code(std::errc::io_error));
}

} // namespace

class CallTrace {
  public:
    CallTrace(std::unique_ptr<std::ostream> out, TraceClock clock,
              std::chrono::microseconds timeOfDay)
        : out_(std::move(out)), clock_(std::move(clock)), origin_(clock_()), timeOfDay_(timeOfDay) {
    }

    std::chrono::microseconds now() const { return clock_(); }
    std::uint64_t nextObjectTag() { return ++objects_; }
    std::uint64_t nextEnumeratorTag() { return ++enumerators_; }

    // One line, started with the time of `start`; `compose` appends the rest. Never throws: a
    // trace that cannot be written is given up, and the call it describes goes on.
    template <class Compose> void write(std::chrono::microseconds start, Compose&& compose) {
        std::lock_guard lock(mutex_);
        if (broken_) {
            return;
        }
        try {
            line_.clear();
            appendTime(start);
            compose(line_);
            line_ += '\n';
            out_->write(line_.data(), static_cast<std::streamsize>(line_.size()));
            // Each line reaches the system at once, so a crash loses none of them.
            out_->flush();
            broken_ = !*out_;
        } catch (...) {
            broken_ = true;
        }
    }

  private:
    void appendTime(std::chrono::microseconds start) {
        using namespace std::chrono;
        const auto day = duration_cast<microseconds>(days(1)).count();
        const auto time = ((timeOfDay_ + start - origin_).count() % day + day) % day;
        const auto seconds = time / 1000000;
        appendTwoDigits(line_, seconds / 3600);
        line_ += ':';
        appendTwoDigits(line_, seconds / 60 % 60);
        line_ += ':';
        appendTwoDigits(line_, seconds % 60);
        line_ += '.';
        const auto fraction = time % 1000000;
        for (long long unit = 100000; unit > 0; unit /= 10) {
            line_ += static_cast<char>('0' + fraction / unit % 10);
        }
        line_ += ' ';
    }

    std::mutex mutex_;
    std::unique_ptr<std::ostream> out_;
    std::string line_;
    bool broken_ = false;
    TraceClock clock_;
    std::chrono::microseconds origin_;
    std::chrono::microseconds timeOfDay_;
    std::atomic<std::uint64_t> objects_ = 0;
    std::atomic<std::uint64_t> enumerators_ = 0;
};

namespace {

class TracingObject;

Value wrap(Value value, const std::shared_ptr<CallTrace>& trace) {
    if (value.type() == Value::Type::Object && value.toObject()) {
        return traceCalls(value.toObject(), trace);
    }
    return value;
}

class TracingEnumerator : public HostEnumerator {
  public:
    TracingEnumerator(std::unique_ptr<HostEnumerator> inner, std::shared_ptr<CallTrace> trace)
        : inner_(std::move(inner)), trace_(std::move(trace)), tag_(trace_->nextEnumeratorTag()) {}

    bool next(Value& member) override;
    std::uint64_t tag() const { return tag_; }

  private:
    std::unique_ptr<HostEnumerator> inner_;
    std::shared_ptr<CallTrace> trace_;
    std::uint64_t tag_;
};

class TracingObject : public HostObject {
  public:
    TracingObject(ObjectRef target, std::shared_ptr<CallTrace> trace)
        : target_(std::move(target)), trace_(std::move(trace)), tag_(trace_->nextObjectTag()) {}

    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override;
    std::unique_ptr<HostEnumerator> enumerate() override;

    std::uint64_t tag() const { return tag_; }
    const ObjectRef& target() const { return target_; }

  private:
    ObjectRef target_;
    std::shared_ptr<CallTrace> trace_;
    std::uint64_t tag_;
};

void appendObject(std::string& line, const ObjectRef& object) {
    if (!object) {
        line += "nothing";
    } else if (auto* traced = dynamic_cast<const TracingObject*>(object.get())) {
        line += "obj";
        appendNumber(line, traced->tag());
    } else {
        line += "object";
    }
}

void appendValue(std::string& line, const Value& value) {
    switch (value.type()) {
    case Value::Type::Empty:
        line += "empty";
        break;
    case Value::Type::Bool:
        line += value.toBool() ? "true" : "false";
        break;
    case Value::Type::Int16:
        line += "int16:";
        appendNumber(line, value.toInt16());
        break;
    case Value::Type::Int32:
        line += "int32:";
        appendNumber(line, value.toInt32());
        break;
    case Value::Type::Double:
        line += "double:";
        appendNumber(line, value.toDouble());
        break;
    case Value::Type::String:
        appendText(line, value.toString());
        break;
    case Value::Type::Object:
        appendObject(line, value.toObject());
        break;
    }
}

void appendFailure(std::string& line, std::exception_ptr thrown) {
    line += " failed: ";
    try {
        std::rethrow_exception(thrown);
    } catch (const Failure& failure) {
        appendNumber(line, failure.number());
        line += ' ';
        appendText(line, failure.description());
        if (auto hresult = failure.hresult()) {
            line += " HRESULT ";
            appendHex(line, static_cast<std::uint32_t>(*hresult));
        }
    } catch (const std::exception& other) {
        line += other.what();
    } catch (...) {
        line += "unknown exception";
    }
}

// Runs `call` and writes its line: `describe` names the call, `describeResult` what came back.
template <class Call, class Describe, class DescribeResult>
auto traced(CallTrace& trace, Describe describe, Call call, DescribeResult describeResult) {
    const auto start = trace.now();
    std::chrono::microseconds end{};
    auto appendDuration = [&](std::string& line) {
        line += " (";
        appendNumber(line, (end - start).count());
        line += " µs)";
    };
    try {
        auto result = call();
        end = trace.now();
        trace.write(start, [&](std::string& line) {
            describe(line);
            line += " -> ";
            describeResult(line, result);
            appendDuration(line);
        });
        return result;
    } catch (...) {
        end = trace.now();
        trace.write(start, [&](std::string& line) {
            describe(line);
            appendFailure(line, std::current_exception());
            appendDuration(line);
        });
        throw;
    }
}

constexpr const char* kindName(CallKind kind) {
    switch (kind) {
    case CallKind::Get:
        return "get";
    case CallKind::Put:
        return "put";
    case CallKind::Method:
        return "call";
    }
    return "?";
}

bool TracingEnumerator::next(Value& member) {
    return traced(
        *trace_,
        [&](std::string& line) {
            line += "enum";
            appendNumber(line, tag_);
            line += " next";
        },
        [&] {
            if (!inner_->next(member)) {
                return false;
            }
            member = wrap(std::move(member), trace_);
            return true;
        },
        [&](std::string& line, bool more) {
            if (more) {
                appendValue(line, member);
            } else {
                line += "end";
            }
        });
}

Value TracingObject::invoke(std::u16string_view member, CallKind kind,
                            std::span<const Value> args) {
    // Objects handed back to the host are its own again: it cannot know our wrappers.
    std::vector<Value> unwrapped;
    std::span<const Value> passed = args;
    for (std::size_t i = 0; i < args.size(); ++i) {
        if (args[i].type() != Value::Type::Object) {
            continue;
        }
        if (auto* traced = dynamic_cast<const TracingObject*>(args[i].toObject().get())) {
            if (unwrapped.empty()) {
                unwrapped.assign(args.begin(), args.end());
            }
            unwrapped[i] = traced->target();
            passed = unwrapped;
        }
    }
    return traced(
        *trace_,
        [&](std::string& line) {
            line += "obj";
            appendNumber(line, tag_);
            line += ' ';
            line += kindName(kind);
            line += ' ';
            line += toUtf8(member);
            line += '(';
            for (std::size_t i = 0; i < args.size(); ++i) {
                if (i > 0) {
                    line += ", ";
                }
                appendValue(line, args[i]);
            }
            line += ')';
        },
        [&] { return wrap(target_->invoke(member, kind, passed), trace_); },
        [](std::string& line, const Value& result) { appendValue(line, result); });
}

std::unique_ptr<HostEnumerator> TracingObject::enumerate() {
    return traced(
        *trace_,
        [&](std::string& line) {
            line += "obj";
            appendNumber(line, tag_);
            line += " enumerate";
        },
        [&]() -> std::unique_ptr<HostEnumerator> {
            return std::make_unique<TracingEnumerator>(target_->enumerate(), trace_);
        },
        [](std::string& line, const std::unique_ptr<HostEnumerator>& result) {
            line += "enum";
            appendNumber(line, static_cast<const TracingEnumerator&>(*result).tag());
        });
}

} // namespace

std::shared_ptr<CallTrace> traceInto(std::unique_ptr<std::ostream> out, TraceClock clock,
                                     std::chrono::microseconds timeOfDay) {
    return std::make_shared<CallTrace>(std::move(out), std::move(clock), timeOfDay);
}

std::shared_ptr<CallTrace> openTraceFile(const std::filesystem::path& file) {
    using namespace std::chrono;
    auto out = std::make_unique<std::ofstream>(file, std::ios::binary | std::ios::trunc);
    if (!*out) {
        throw lastSystemError();
    }
    const auto wallClock = system_clock::now();
    const std::time_t seconds = system_clock::to_time_t(wallClock);
    const std::tm local = *std::localtime(&seconds);
    char date[32];
    std::strftime(date, sizeof date, "%Y-%m-%d %H:%M:%S", &local);
    *out << "\xEF\xBB\xBF# Tagwright trace, started " << date << " local time\n"
         << "# time, object, call kind, member(arguments) -> result or failed: number "
            "description HRESULT, duration\n";
    out->flush();
    if (!*out) {
        throw lastSystemError();
    }
    const auto timeOfDay = hours(local.tm_hour) + minutes(local.tm_min) +
                           std::chrono::seconds(local.tm_sec) +
                           duration_cast<microseconds>(wallClock.time_since_epoch()) % 1s;
    auto steady = [] {
        return duration_cast<microseconds>(steady_clock::now().time_since_epoch());
    };
    return traceInto(std::move(out), steady, timeOfDay);
}

ObjectRef traceCalls(ObjectRef target, std::shared_ptr<CallTrace> trace) {
    if (!target) {
        return target;
    }
    return std::make_shared<TracingObject>(std::move(target), std::move(trace));
}

AttachFunction traceAttach(AttachFunction attach, std::shared_ptr<CallTrace> trace) {
    return [attach = std::move(attach), trace = std::move(trace)] {
        return traced(
            *trace, [](std::string& line) { line += "attach"; },
            [&] { return HostApplication(traceCalls(attach().object(), trace)); },
            [](std::string& line, const HostApplication& application) {
                appendObject(line, application.object());
            });
    };
}

} // namespace tagwright::host
