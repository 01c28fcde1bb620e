#include "host/Value.h"

#include "host/Failure.h"

#include <cmath>
#include <limits>

namespace tagwright::host {

bool Value::toBool() const {
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(data_);
    case Type::Int16:
    case Type::Int32:
    case Type::Double:
        return toDouble() != 0.0;
    default:
        throw Failure::typeMismatch();
    }
}

std::int32_t Value::toInt32() const {
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(data_) ? -1 : 0;
    case Type::Int16:
        return std::get<std::int16_t>(data_);
    case Type::Int32:
        return std::get<std::int32_t>(data_);
    case Type::Double: {
        double rounded = std::nearbyint(std::get<double>(data_));
        if (!(rounded >= std::numeric_limits<std::int32_t>::min() &&
              rounded <= std::numeric_limits<std::int32_t>::max())) {
            throw Failure::overflow();
        }
        return static_cast<std::int32_t>(rounded);
    }
    default:
        throw Failure::typeMismatch();
    }
}

std::int16_t Value::toInt16() const {
    std::int32_t wide = toInt32();
    if (wide < std::numeric_limits<std::int16_t>::min() ||
        wide > std::numeric_limits<std::int16_t>::max()) {
        throw Failure::overflow();
    }
    return static_cast<std::int16_t>(wide);
}

double Value::toDouble() const {
    switch (type()) {
    case Type::Bool:
        return std::get<bool>(data_) ? -1.0 : 0.0;
    case Type::Int16:
        return std::get<std::int16_t>(data_);
    case Type::Int32:
        return std::get<std::int32_t>(data_);
    case Type::Double:
        return std::get<double>(data_);
    default:
        throw Failure::typeMismatch();
    }
}

const std::u16string& Value::toString() const {
    if (type() != Type::String) {
        throw Failure::typeMismatch();
    }
    return std::get<std::u16string>(data_);
}

ObjectRef Value::toObject() const {
    if (type() == Type::Empty) {
        return nullptr;
    }
    if (type() != Type::Object) {
        throw Failure::typeMismatch();
    }
    return std::get<ObjectRef>(data_);
}

} // namespace tagwright::host
