#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <variant>

namespace tagwright::host {

class HostObject;
using ObjectRef = std::shared_ptr<HostObject>;

// What crosses the host boundary in either direction: the handful of automation types the
// editor's interface uses. An empty ObjectRef is the editor's "nothing".
class Value {
  public:
    enum class Type { Empty, Bool, Int16, Int32, Double, String, Object };

    Value() = default;
    Value(bool v) : data_(v) {}
    Value(std::int16_t v) : data_(v) {}
    Value(std::int32_t v) : data_(v) {}
    Value(double v) : data_(v) {}
    Value(std::u16string v) : data_(std::move(v)) {}
    Value(const char16_t* v) : data_(std::u16string(v)) {}
    Value(ObjectRef v) : data_(std::move(v)) {}
    template <class T>
    requires std::is_base_of_v<HostObject, T> Value(std::shared_ptr<T> v)
        : data_(ObjectRef(std::move(v))) {}

    Type type() const { return static_cast<Type>(data_.index()); }
    bool isEmpty() const { return type() == Type::Empty; }

    // Conversions follow the editor's scripting rules: numbers widen freely, anything else
    // is a type mismatch (13) and a number that does not fit is an overflow (6).
    bool toBool() const;
    std::int16_t toInt16() const;
    std::int32_t toInt32() const;
    double toDouble() const;
    const std::u16string& toString() const;
    // An object reference, possibly "nothing"; an empty value is "nothing" too.
    ObjectRef toObject() const;

    // Exact equality; only the tests compare values.
    friend bool operator==(const Value& a, const Value& b) = default;

  private:
    std::variant<std::monostate, bool, std::int16_t, std::int32_t, double, std::u16string,
                 ObjectRef>
        data_;
};

} // namespace tagwright::host
