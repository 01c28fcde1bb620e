#pragma once

#include "host/Value.h"

#include <QDBusArgument>
#include <QMetaType>
#include <QString>
#include <QVariant>

#include <functional>

namespace tagwright::host::dbus {

// The editor's automation objects on the session bus. One object path carries every host
// object: the client names an object by the id the server handed it, and the server keeps
// each client's ids apart and drops them when that client releases them or leaves the bus.
//
//   Invoke(t object, s member, i kind, av args, at released) -> v result
//                                       kind: 0 get, 1 put, 2 method
//   Enumerate(t object, u count) -> t enumerator, av members
//   Next(t enumerator, u count) -> av members
//
// A walk hands out up to `count` members per round trip; fewer than `count` means it is over
// and the server has dropped the enumerator (id 0 when the first batch already ended it).
//   Release(at ids)                                            sent without waiting for a reply
//   Abandon()                                                  sent without waiting for a reply
//
// Ids the client has let go of ride along with its next Invoke as `released`: dropping an
// object then costs no message of its own, which would cost the server a wake-up each.
// Release carries them alone when many pile up between calls.
//
// A client that stops waiting for a reply never learns the ids in it, so it could never
// release them: Abandon tells the server to drop whatever it handed out in its last reply
// to that client.
//
// An editor on its way out answers every call with failure 462, as an editor that is gone.
//
// Values travel as D-Bus basic types that keep their width: bool b, 16-bit n, 32-bit i,
// double d, string s. An object travels as the struct (t) holding its id, "nothing" as id 0;
// the empty value as the byte 0, which nothing else uses.
inline constexpr char serviceName[] = "PowerPCB.Application";
inline constexpr char objectPath[] = "/PowerPCB/Application";
inline constexpr char interfaceName[] = "PowerPCB.Automation";

// A Failure raised by a host object: message = description, second argument = number.
inline constexpr char failureError[] = "PowerPCB.Error.Failure";
// A call the server cannot make sense of (unknown id, kind, member of the interface, types).
inline constexpr char invalidCallError[] = "PowerPCB.Error.InvalidCall";

using ObjectId = quint64;
inline constexpr ObjectId nothingId = 0;
inline constexpr ObjectId applicationId = 1;

struct ObjectHandle {
    ObjectId id = nothingId;
};

QDBusArgument& operator<<(QDBusArgument& argument, const ObjectHandle& handle);
const QDBusArgument& operator>>(const QDBusArgument& argument, ObjectHandle& handle);

// Registers the marshalling of ObjectHandle; safe to call any number of times.
void registerTypes();

// Thrown while decoding what arrived from the bus when it is not a value of this protocol.
struct MalformedValue {
    QString reason;
};

QString toQString(std::u16string_view text);
std::u16string toU16(const QString& text);

// Encodes a value for the wire; objects become ids through `idOf`.
QVariant encodeValue(const Value& value, const std::function<ObjectId(const ObjectRef&)>& idOf);
// Decodes one wire value, unwrapping the one QDBusVariant around it and QDBusArgument as QtDBus
// hands them over; ids become objects through `objectOf`. Throws MalformedValue, also for a
// variant within a variant.
Value decodeValue(const QVariant& wire, const std::function<ObjectRef(ObjectId)>& objectOf);
// The members of an `av` argument or reply, each still wrapped as it arrived.
QVariantList variantList(const QVariant& wire);

} // namespace tagwright::host::dbus

Q_DECLARE_METATYPE(tagwright::host::dbus::ObjectHandle)
