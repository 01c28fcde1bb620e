#include "support/CallRecorder.h"

#include <algorithm>

namespace tagwright::host {

namespace {

Value wrap(Value value, const std::shared_ptr<CallLog>& log) {
    if (value.type() == Value::Type::Object && value.toObject()) {
        return recordCalls(value.toObject(), log);
    }
    return value;
}

class RecordingEnumerator : public HostEnumerator {
  public:
    RecordingEnumerator(std::unique_ptr<HostEnumerator> inner, std::shared_ptr<CallLog> log)
        : inner_(std::move(inner)), log_(std::move(log)) {}

    bool next(Value& member) override {
        if (!inner_->next(member)) {
            return false;
        }
        member = wrap(std::move(member), log_);
        return true;
    }

    Footprint footprint() const override { return inner_->footprint(); }

  private:
    std::unique_ptr<HostEnumerator> inner_;
    std::shared_ptr<CallLog> log_;
};

class RecordingObject : public HostObject {
  public:
    RecordingObject(ObjectRef target, std::shared_ptr<CallLog> log)
        : target_(std::move(target)), log_(std::move(log)) {}

    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        note({std::u16string(member), kind, {args.begin(), args.end()}});
        return wrap(target_->invoke(member, kind, args), log_);
    }

    std::unique_ptr<HostEnumerator> enumerate() override {
        note({u"_NewEnum", CallKind::Get, {}});
        return std::make_unique<RecordingEnumerator>(target_->enumerate(), log_);
    }

  private:
    void note(RecordedCall call) {
        log_->calls.push_back(std::move(call));
        if (log_->beforeCall) {
            log_->beforeCall(log_->calls.back());
        }
    }

    ObjectRef target_;
    std::shared_ptr<CallLog> log_;
};

} // namespace

std::size_t CallLog::count(std::u16string_view member) const {
    return static_cast<std::size_t>(std::count_if(
        calls.begin(), calls.end(), [&](const RecordedCall& c) { return c.member == member; }));
}

std::vector<std::u16string> CallLog::members() const {
    std::vector<std::u16string> names;
    names.reserve(calls.size());
    for (const auto& c : calls) {
        names.push_back(c.member);
    }
    return names;
}

ObjectRef recordCalls(ObjectRef target, std::shared_ptr<CallLog> log) {
    return std::make_shared<RecordingObject>(std::move(target), std::move(log));
}

} // namespace tagwright::host
