#include "host/dbus/BusServer.h"

#include "host/Failure.h"

#include <QDBusConnectionInterface>
#include <QDBusMetaType>
#include <QDBusServiceWatcher>
#include <QDBusVariant>

#include <exception>
#include <utility>
#include <vector>

namespace tagwright::host::dbus {

namespace {

// A client that never releases would otherwise grow the server without bound: by the objects
// it holds, and by the snapshot each walk keeps, which differs from walk to walk when the
// design changes between them. An object costs about this much with its table entry.
constexpr std::size_t maxBytesPerClient = std::size_t{64} << 20;
constexpr std::size_t bytesPerObject = 128;
constexpr quint32 maxBatch = 1024;

QDBusMessage failed(const QDBusMessage& message, const Failure& failure) {
    QDBusMessage reply =
        message.createErrorReply(QLatin1String(failureError), toQString(failure.description()));
    reply << static_cast<int>(failure.number());
    return reply;
}

struct InvalidCall {
    QString reason;
};

const char introspection[] = R"(<interface name="PowerPCB.Automation">
  <method name="Invoke">
    <arg name="object" type="t" direction="in"/>
    <arg name="member" type="s" direction="in"/>
    <arg name="kind" type="i" direction="in"/>
    <arg name="args" type="av" direction="in"/>
    <arg name="released" type="at" direction="in"/>
    <arg name="result" type="v" direction="out"/>
  </method>
  <method name="Enumerate">
    <arg name="object" type="t" direction="in"/>
    <arg name="count" type="u" direction="in"/>
    <arg name="enumerator" type="t" direction="out"/>
    <arg name="members" type="av" direction="out"/>
  </method>
  <method name="Next">
    <arg name="enumerator" type="t" direction="in"/>
    <arg name="count" type="u" direction="in"/>
    <arg name="members" type="av" direction="out"/>
  </method>
  <method name="Release">
    <arg name="ids" type="at" direction="in"/>
    <annotation name="org.freedesktop.DBus.Method.NoReply" value="true"/>
  </method>
  <method name="Abandon">
    <annotation name="org.freedesktop.DBus.Method.NoReply" value="true"/>
  </method>
</interface>
)";

// A call from the bus carries its signature; one made in-process has none, so it is worked
// out from the arguments the way the bus would have carried them.
QString signatureOf(const QDBusMessage& message) {
    if (!message.signature().isEmpty()) {
        return message.signature();
    }
    QString signature;
    for (const QVariant& argument : message.arguments()) {
        if (argument.metaType() == QMetaType::fromType<QDBusArgument>()) {
            signature += argument.value<QDBusArgument>().currentSignature();
        } else if (const char* type = QDBusMetaType::typeToSignature(argument.metaType())) {
            signature += QLatin1String(type);
        } else {
            signature += QLatin1Char('?');
        }
    }
    return signature;
}

void expectSignature(const QDBusMessage& message, QLatin1String signature) {
    if (const QString sent = signatureOf(message); sent != signature) {
        throw InvalidCall{
            QStringLiteral("%1 takes (%2), not (%3)").arg(message.member(), signature, sent)};
    }
}

QList<qulonglong> idList(const QVariant& wire) {
    if (wire.metaType() == QMetaType::fromType<QDBusArgument>()) {
        QList<qulonglong> ids;
        wire.value<QDBusArgument>() >> ids;
        return ids;
    }
    return wire.value<QList<qulonglong>>();
}

} // namespace

BusServer::BusServer(ObjectRef application, QObject* parent)
    : QDBusVirtualObject(parent), application_(std::move(application)) {
    registerTypes();
}

BusServer::~BusServer() = default;

bool BusServer::serveOn(const QDBusConnection& connection) {
    watcher_ = new QDBusServiceWatcher(this);
    watcher_->setConnection(connection);
    watcher_->setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(watcher_, &QDBusServiceWatcher::serviceUnregistered, this, &BusServer::clientLeft);
    QDBusConnection(connection).registerVirtualObject(QLatin1String(objectPath), this);
    return QDBusConnection(connection).objectRegisteredAt(QLatin1String(objectPath)) == this;
}

std::size_t BusServer::heldIds() const {
    std::lock_guard lock(mutex_);
    std::size_t held = 0;
    for (const auto& [name, client] : clients_) {
        held += client.objects.size() - 1; // every table holds the application
    }
    return held;
}

std::size_t BusServer::heldBytes() const {
    std::lock_guard lock(mutex_);
    std::size_t held = 0;
    for (const auto& [name, client] : clients_) {
        held += client.bytes;
    }
    return held;
}

std::size_t BusServer::clientCount() const {
    std::lock_guard lock(mutex_);
    return clients_.size();
}

void BusServer::stopServing() {
    serving_ = false;
}

QString BusServer::introspect(const QString&) const {
    return QLatin1String(introspection);
}

bool BusServer::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.type() != QDBusMessage::MethodCallMessage) {
        return false;
    }
    if (beforeAnswering_ && message.isReplyRequired()) {
        beforeAnswering_();
    }
    const QDBusMessage reply = answer(message, connection);
    if (message.isReplyRequired() && reply.type() != QDBusMessage::InvalidMessage) {
        connection.send(reply);
    }
    return true;
}

QDBusMessage BusServer::answer(const QDBusMessage& message, const QDBusConnection& connection) {
    QDBusMessage reply;
    try {
        if (!serving_) {
            throw Failure::editorGone(u"编辑器正在退出");
        }
        std::lock_guard lock(mutex_);
        reply = dispatch(message, connection);
    } catch (const Failure& failure) {
        reply = failed(message, failure);
    } catch (const InvalidCall& invalid) {
        reply = message.createErrorReply(QLatin1String(invalidCallError), invalid.reason);
    } catch (const MalformedValue& malformed) {
        reply = message.createErrorReply(QLatin1String(invalidCallError), malformed.reason);
    } catch (const std::exception& error) {
        // The host object's own fault, not the caller's: an automation error.
        reply = failed(message, Failure::automationError(toU16(QString::fromUtf8(error.what()))));
    } catch (...) {
        reply = failed(message, Failure::automationError({}));
    }
    return reply;
}

QDBusMessage BusServer::dispatch(const QDBusMessage& message, const QDBusConnection& connection) {
    // Lets bus tools (busctl, d-feet) show what is served.
    if (message.interface() == QLatin1String("org.freedesktop.DBus.Introspectable") &&
        message.member() == QLatin1String("Introspect")) {
        return message.createReply(
            QStringLiteral("<!DOCTYPE node PUBLIC \"-//freedesktop//DTD D-BUS Object Introspection "
                           "1.0//EN\" \"http://www.freedesktop.org/standards/dbus/1.0/"
                           "introspect.dtd\">\n<node>\n%1</node>\n")
                .arg(introspect(message.path())));
    }
    if (!message.interface().isEmpty() && message.interface() != QLatin1String(interfaceName)) {
        throw InvalidCall{QStringLiteral("unknown interface %1").arg(message.interface())};
    }
    Client& client = clientFor(message.service(), connection);
    const QString& member = message.member();
    if (member == QLatin1String("Release")) {
        expectSignature(message, QLatin1String("at"));
        release(message.arguments()[0], client);
        return message.createReply();
    }
    if (member == QLatin1String("Abandon")) {
        expectSignature(message, QLatin1String(""));
        for (const ObjectId id : std::exchange(client.lastReply, {})) {
            drop(client, id);
        }
        return message.createReply();
    }
    // Only a reply can be abandoned, so only calls that get one change what Abandon drops.
    client.lastReply.clear();
    handing_.clear();
    QDBusMessage reply;
    try {
        if (member == QLatin1String("Invoke")) {
            expectSignature(message, QLatin1String("tsiavat"));
            reply = invoke(message, client);
        } else if (member == QLatin1String("Enumerate")) {
            expectSignature(message, QLatin1String("tu"));
            reply = enumerate(message, client);
        } else if (member == QLatin1String("Next")) {
            expectSignature(message, QLatin1String("tu"));
            reply = next(message, client);
        } else {
            throw InvalidCall{QStringLiteral("unknown method %1").arg(member)};
        }
    } catch (...) {
        // A failed call tells the client none of the ids it had been given, so it could
        // never release them.
        for (const ObjectId unseen : handing_) {
            drop(client, unseen);
        }
        throw;
    }
    client.lastReply = std::move(handing_);
    return reply;
}

QDBusMessage BusServer::invoke(const QDBusMessage& message, Client& client) {
    const QVariantList in = message.arguments();
    release(in[4], client);
    Table& table = client.objects;
    const ObjectRef target = entryFor(table, in[0].toULongLong()).object;
    if (!target) {
        throw InvalidCall{QStringLiteral("object %1 is an enumerator").arg(in[0].toULongLong())};
    }
    const int kind = in[2].toInt();
    if (kind < static_cast<int>(CallKind::Get) || kind > static_cast<int>(CallKind::Method)) {
        throw InvalidCall{QStringLiteral("unknown call kind %1").arg(kind)};
    }
    std::vector<Value> args;
    for (const QVariant& wire : variantList(in[3])) {
        args.push_back(decodeValue(wire, [&](ObjectId id) {
            const ObjectRef object = entryFor(table, id).object;
            if (!object) {
                throw InvalidCall{QStringLiteral("object %1 is an enumerator").arg(id)};
            }
            return object;
        }));
    }
    const Value result = target->invoke(toU16(in[1].toString()), static_cast<CallKind>(kind), args);
    const QVariant out = encodeValue(result, [&](const ObjectRef& object) {
        return hold(client, {object, {}});
    });
    return message.createReply(QVariant::fromValue(QDBusVariant(out)));
}

QDBusMessage BusServer::enumerate(const QDBusMessage& message, Client& client) {
    const QVariantList in = message.arguments();
    const ObjectId id = in[0].toULongLong();
    const ObjectRef target = entryFor(client.objects, id).object;
    if (!target) {
        throw InvalidCall{QStringLiteral("object %1 is an enumerator").arg(id)};
    }
    auto enumerator = target->enumerate();
    if (!enumerator) {
        throw Failure::memberNotSupported(u"_NewEnum");
    }
    QVariantList members;
    // A walk that ends within its first batch needs no id at all.
    const bool ended = fillBatch(*enumerator, in[1].toUInt(), client, members);
    const ObjectId walk = ended ? nothingId : hold(client, {{}, std::move(enumerator)});
    return message.createReply(QVariantList{QVariant::fromValue(walk), QVariant(members)});
}

QDBusMessage BusServer::next(const QDBusMessage& message, Client& client) {
    const QVariantList in = message.arguments();
    const ObjectId id = in[0].toULongLong();
    HostEnumerator* enumerator = entryFor(client.objects, id).enumerator.get();
    if (!enumerator) {
        throw InvalidCall{QStringLiteral("object %1 is not an enumerator").arg(id)};
    }
    QVariantList members;
    // The short batch tells the client the walk is over; it will not release the id.
    if (fillBatch(*enumerator, in[1].toUInt(), client, members)) {
        drop(client, id);
    }
    return message.createReply(QVariant(members));
}

bool BusServer::fillBatch(HostEnumerator& enumerator, quint32 count, Client& client,
                          QVariantList& members) {
    count = std::min(count, maxBatch);
    Value member;
    while (static_cast<quint32>(members.size()) < count) {
        if (!enumerator.next(member)) {
            return true;
        }
        members.append(encodeValue(member, [&](const ObjectRef& object) {
            return hold(client, {object, {}});
        }));
    }
    return false;
}

void BusServer::release(const QVariant& ids, Client& client) {
    for (const qulonglong id : idList(ids)) {
        drop(client, id);
    }
}

BusServer::Client& BusServer::clientFor(const QString& name, const QDBusConnection& connection) {
    auto found = clients_.find(name);
    if (found != clients_.end()) {
        return found->second;
    }
    Client& client = clients_[name];
    client.objects.emplace(applicationId, Entry{application_, {}});
    if (watcher_ && !name.isEmpty()) {
        watcher_->addWatchedService(name);
        // A client that left before the watch was in place would never be reported; its
        // watch would stay a match rule on the bus for as long as this server runs.
        if (QDBusConnectionInterface* bus = connection.interface();
            bus && !bus->isServiceRegistered(name).value()) {
            clients_.erase(name);
            watcher_->removeWatchedService(name);
            throw InvalidCall{QStringLiteral("the caller has left the bus")};
        }
    }
    return client;
}

ObjectId BusServer::hold(Client& client, Entry entry) {
    std::size_t bytes = bytesPerObject;
    const HostEnumerator::Footprint footprint =
        entry.enumerator ? entry.enumerator->footprint() : HostEnumerator::Footprint{};
    if (footprint.block && !client.blocks.contains(footprint.block)) {
        bytes += footprint.bytes;
    }
    if (client.bytes + bytes > maxBytesPerClient) {
        throw InvalidCall{QStringLiteral("a client may hold objects and walks of at most %1 MB; "
                                         "release objects or end walks first")
                              .arg(maxBytesPerClient >> 20)};
    }
    if (footprint.block) {
        auto& [blockBytes, walks] = client.blocks[footprint.block];
        blockBytes = footprint.bytes;
        ++walks;
        entry.block = footprint.block;
    }
    client.bytes += bytes;
    const ObjectId id = nextId_++;
    client.objects.emplace(id, std::move(entry));
    handing_.push_back(id);
    return id;
}

void BusServer::drop(Client& client, ObjectId id) {
    // The application stays reachable for the client's next attach.
    const auto found = id == applicationId ? client.objects.end() : client.objects.find(id);
    if (found == client.objects.end()) {
        return;
    }
    client.bytes -= bytesPerObject;
    if (const void* block = found->second.block) {
        auto shared = client.blocks.find(block);
        if (--shared->second.second == 0) {
            client.bytes -= shared->second.first;
            client.blocks.erase(shared);
        }
    }
    client.objects.erase(found);
}

BusServer::Entry& BusServer::entryFor(Table& table, ObjectId id) {
    auto found = table.find(id);
    if (found == table.end()) {
        throw InvalidCall{QStringLiteral("unknown object %1").arg(id)};
    }
    return found->second;
}

void BusServer::clientLeft(const QString& client) {
    Client gone;
    {
        std::lock_guard lock(mutex_);
        auto found = clients_.find(client);
        if (found == clients_.end()) {
            return;
        }
        gone = std::move(found->second);
        clients_.erase(found);
    }
    watcher_->removeWatchedService(client);
}

} // namespace tagwright::host::dbus
