#include "host/CallDelay.h"

#include <thread>

namespace tagwright::host {

namespace {

class DelayingEnumerator : public HostEnumerator {
  public:
    DelayingEnumerator(std::unique_ptr<HostEnumerator> inner, std::chrono::microseconds delay)
        : inner_(std::move(inner)), delay_(delay) {}

    bool next(Value& member) override {
        if (!inner_->next(member)) {
            return false;
        }
        if (member.type() == Value::Type::Object && member.toObject()) {
            member = delayCalls(member.toObject(), delay_);
        }
        return true;
    }

    Footprint footprint() const override { return inner_->footprint(); }

  private:
    std::unique_ptr<HostEnumerator> inner_;
    std::chrono::microseconds delay_;
};

class DelayingObject : public HostObject {
  public:
    DelayingObject(ObjectRef target, std::chrono::microseconds delay)
        : target_(std::move(target)), delay_(delay) {}

    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        std::this_thread::sleep_for(delay_);
        Value result = target_->invoke(member, kind, args);
        if (result.type() == Value::Type::Object && result.toObject()) {
            return delayCalls(result.toObject(), delay_);
        }
        return result;
    }

    std::unique_ptr<HostEnumerator> enumerate() override {
        std::this_thread::sleep_for(delay_);
        return std::make_unique<DelayingEnumerator>(target_->enumerate(), delay_);
    }

  private:
    ObjectRef target_;
    std::chrono::microseconds delay_;
};

} // namespace

ObjectRef delayCalls(ObjectRef target, std::chrono::microseconds delay) {
    return std::make_shared<DelayingObject>(std::move(target), delay);
}

} // namespace tagwright::host
