#include "host/dbus/Protocol.h"

#include <QDBusMetaType>
#include <QDBusVariant>

namespace tagwright::host::dbus {

QDBusArgument& operator<<(QDBusArgument& argument, const ObjectHandle& handle) {
    argument.beginStructure();
    argument << handle.id;
    argument.endStructure();
    return argument;
}

const QDBusArgument& operator>>(const QDBusArgument& argument, ObjectHandle& handle) {
    argument.beginStructure();
    argument >> handle.id;
    argument.endStructure();
    return argument;
}

void registerTypes() {
    static const bool registered = [] {
        qDBusRegisterMetaType<ObjectHandle>();
        return true;
    }();
    (void)registered;
}

QString toQString(std::u16string_view text) {
    QString result(reinterpret_cast<const QChar*>(text.data()),
                   static_cast<qsizetype>(text.size()));
    // QtDBus would send an unpaired surrogate as "?"; the usual replacement character says
    // more plainly that something was lost.
    for (qsizetype i = 0; i < result.size(); ++i) {
        const QChar c = result[i];
        if (c.isHighSurrogate() && i + 1 < result.size() && result[i + 1].isLowSurrogate()) {
            ++i;
        } else if (c.isSurrogate()) {
            result[i] = QChar::ReplacementCharacter;
        }
    }
    return result;
}

std::u16string toU16(const QString& text) {
    return std::u16string(reinterpret_cast<const char16_t*>(text.utf16()),
                          static_cast<std::size_t>(text.size()));
}

QVariant encodeValue(const Value& value, const std::function<ObjectId(const ObjectRef&)>& idOf) {
    switch (value.type()) {
    case Value::Type::Empty:
        return QVariant::fromValue(uchar(0));
    case Value::Type::Bool:
        return QVariant::fromValue(value.toBool());
    case Value::Type::Int16:
        return QVariant::fromValue(static_cast<short>(value.toInt16()));
    case Value::Type::Int32:
        return QVariant::fromValue(static_cast<int>(value.toInt32()));
    case Value::Type::Double:
        return QVariant::fromValue(value.toDouble());
    case Value::Type::String:
        return QVariant::fromValue(toQString(value.toString()));
    case Value::Type::Object: {
        const ObjectRef object = value.toObject();
        return QVariant::fromValue(ObjectHandle{object ? idOf(object) : nothingId});
    }
    }
    return {};
}

namespace {

ObjectRef objectFor(ObjectId id, const std::function<ObjectRef(ObjectId)>& objectOf) {
    return id == nothingId ? ObjectRef() : objectOf(id);
}

} // namespace

Value decodeValue(const QVariant& wire, const std::function<ObjectRef(ObjectId)>& objectOf) {
    if (wire.metaType() == QMetaType::fromType<QDBusVariant>()) {
        // One variant carries each value; one inside another is no value of this protocol,
        // and unwrapping any depth a client sends would let it choose the server's recursion.
        const QVariant inner = wire.value<QDBusVariant>().variant();
        if (inner.metaType() == QMetaType::fromType<QDBusVariant>()) {
            throw MalformedValue{QStringLiteral("a variant within a variant")};
        }
        return decodeValue(inner, objectOf);
    }
    if (wire.metaType() == QMetaType::fromType<ObjectHandle>()) {
        return objectFor(wire.value<ObjectHandle>().id, objectOf);
    }
    if (wire.metaType() == QMetaType::fromType<QDBusArgument>()) {
        const auto argument = wire.value<QDBusArgument>();
        if (argument.currentSignature() != QLatin1String("(t)")) {
            throw MalformedValue{
                QStringLiteral("unsupported value of type %1").arg(argument.currentSignature())};
        }
        ObjectHandle handle;
        argument >> handle;
        return objectFor(handle.id, objectOf);
    }
    switch (wire.metaType().id()) {
    case QMetaType::Bool:
        return Value(wire.toBool());
    case QMetaType::Short:
        return Value(static_cast<std::int16_t>(wire.value<short>()));
    case QMetaType::Int:
        return Value(static_cast<std::int32_t>(wire.toInt()));
    case QMetaType::Double:
        return Value(wire.toDouble());
    case QMetaType::QString:
        return Value(toU16(wire.toString()));
    case QMetaType::UChar:
        if (wire.value<uchar>() == 0) {
            return Value();
        }
        break;
    default:
        break;
    }
    throw MalformedValue{
        QStringLiteral("unsupported value of type %1").arg(QLatin1String(wire.metaType().name()))};
}

QVariantList variantList(const QVariant& wire) {
    if (wire.metaType() == QMetaType::fromType<QVariantList>()) {
        return wire.toList();
    }
    if (wire.metaType() != QMetaType::fromType<QDBusArgument>()) {
        throw MalformedValue{QStringLiteral("expected a list of values")};
    }
    const auto argument = wire.value<QDBusArgument>();
    if (argument.currentSignature() != QLatin1String("av")) {
        throw MalformedValue{
            QStringLiteral("expected a list of values, got %1").arg(argument.currentSignature())};
    }
    QVariantList list;
    argument.beginArray();
    while (!argument.atEnd()) {
        QDBusVariant item;
        argument >> item;
        list.append(QVariant::fromValue(item));
    }
    argument.endArray();
    return list;
}

} // namespace tagwright::host::dbus
