#include "host/dbus/BusClient.h"

#include "host/EditorWait.h"
#include "host/Failure.h"
#include "host/dbus/Protocol.h"

#include <QCoreApplication>
#include <QDBusError>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusVariant>
#include <QElapsedTimer>
#include <QEventLoop>
#include <QTimer>

#include <atomic>
#include <deque>
#include <memory>
#include <mutex>
#include <optional>
#include <utility>

namespace tagwright::host::dbus {

namespace {

// How many members one round trip fetches while walking a collection.
constexpr quint32 enumerationBatch = 64;
// Released ids kept back for the next call; a client that only walks still frees them.
constexpr qsizetype maxPendingReleases = 256;

bool isTimeout(const QString& name) {
    return name == QLatin1String("org.freedesktop.DBus.Error.NoReply") ||
           name == QLatin1String("org.freedesktop.DBus.Error.Timeout") ||
           name == QLatin1String("org.freedesktop.DBus.Error.TimedOut");
}

bool isTransportError(const QString& name) {
    static const QStringList names = {
        QStringLiteral("org.freedesktop.DBus.Error.ServiceUnknown"),
        QStringLiteral("org.freedesktop.DBus.Error.NameHasNoOwner"),
        QStringLiteral("org.freedesktop.DBus.Error.NoReply"),
        QStringLiteral("org.freedesktop.DBus.Error.Disconnected"),
        QStringLiteral("org.freedesktop.DBus.Error.NoServer"),
        QStringLiteral("org.freedesktop.DBus.Error.Timeout"),
        QStringLiteral("org.freedesktop.DBus.Error.TimedOut"),
    };
    return names.contains(name);
}

bool isRefusedCall(const QString& name) {
    static const QStringList names = {
        QLatin1String(invalidCallError),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownMethod"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownObject"),
        QStringLiteral("org.freedesktop.DBus.Error.UnknownInterface"),
        QStringLiteral("org.freedesktop.DBus.Error.InvalidArgs"),
    };
    return names.contains(name);
}

// The error as the editor's own automation runtime would number it.
Failure failureFrom(const QDBusMessage& reply) {
    const QString name = reply.errorName();
    const QVariantList args = reply.arguments();
    if (name == QLatin1String(failureError) && args.size() >= 2 &&
        args[1].metaType().id() == QMetaType::Int) {
        return Failure(args[1].toInt(), toU16(args[0].toString()));
    }
    const std::u16string detail = toU16(reply.errorMessage());
    if (isTransportError(name)) {
        return Failure::editorGone(detail);
    }
    if (isRefusedCall(name)) {
        return Failure::invalidProcedureCall(detail);
    }
    return Failure::automationError(toU16(name) + u": " + detail);
}

Failure malformedReply(const QString& reason) {
    return Failure::automationError(toU16(reason));
}

// How often a run that watches hears that a call still waits.
constexpr std::chrono::milliseconds waitingNotice{25};

// One call's reply, or the error that stands for it, and how long it took.
struct Answer {
    QDBusMessage reply;
    std::chrono::milliseconds waited{0};
    bool abandoned = false; // the run's watcher stopped waiting before the editor answered
};

// Sends `message` and waits up to `timeoutMs` for its reply. While a run watches, its watcher
// hears about the wait from this thread every so often, and may end it.
Answer callEditor(const QDBusConnection& connection, const QDBusMessage& message, int timeoutMs) {
    QElapsedTimer clock;
    clock.start();
    const auto waited = [&] { return std::chrono::milliseconds(clock.elapsed()); };
    EditorWaitWatcher* watcher = EditorWaitScope::current();
    if (!watcher) {
        QDBusMessage reply = connection.call(message, QDBus::Block, timeoutMs);
        return {std::move(reply), waited()};
    }
    // The reply wakes this thread through its event loop, which then also serves the thread's
    // timers and posted events; the user's input waits, as it is the watcher's to let through.
    const QDBusPendingCall pending = connection.asyncCall(message, timeoutMs);
    QDBusPendingCallWatcher replied(pending);
    QEventLoop loop;
    QTimer tick;
    tick.setInterval(waitingNotice);
    QObject::connect(&replied, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QObject::connect(&tick, &QTimer::timeout, &loop, &QEventLoop::quit);
    tick.start();
    const std::chrono::milliseconds limit(timeoutMs);
    while (!pending.isFinished()) {
        loop.exec(QEventLoop::ExcludeUserInputEvents);
        if (pending.isFinished()) {
            break;
        }
        const auto now = waited();
        if (!watcher->editorWaiting(EditorWaitReason::NotAnswering, now,
                                    std::max(limit - now, std::chrono::milliseconds(0)))) {
            return {QDBusMessage(), waited(), true};
        }
    }
    return {pending.reply(), waited()};
}

// No reply within the time: the editor is hung. The bus's timer is coarse, so a timeout may
// come a little early; a much earlier one means the editor went away mid-call.
bool unanswered(const Answer& answer, int timeoutMs) {
    return isTimeout(answer.reply.errorName()) && answer.waited.count() >= timeoutMs * 8 / 10;
}

class RemoteObject;

// One connection to one server: sends the calls and turns errors into Failures.
class BusLink : public std::enable_shared_from_this<BusLink> {
  public:
    BusLink(QDBusConnection connection, QString service, std::chrono::milliseconds timeout)
        : connection_(std::move(connection)), service_(std::move(service)),
          timeoutMs_(static_cast<int>(timeout.count())) {}

    QDBusMessage call(const QString& method, const QVariantList& args) {
        // A hung editor would make every call of a run wait the whole timeout again.
        if (gaveUp_) {
            std::lock_guard lock(mutex_);
            throw *endedBy_;
        }
        QDBusMessage message = newCall(method);
        message.setArguments(args);
        Answer answer = callEditor(connection_, message, timeoutMs_);
        if (answer.abandoned) {
            giveUp(Failure::editorNotAnswering(answer.waited), true);
        }
        const QDBusMessage& reply = answer.reply;
        if (reply.type() != QDBusMessage::ReplyMessage) {
            if (unanswered(answer, timeoutMs_)) {
                giveUp(Failure::editorNotAnswering(std::chrono::milliseconds(timeoutMs_)), true);
            }
            if (isTimeout(reply.errorName())) {
                giveUp(failureFrom(reply), false);
            }
            throw failureFrom(reply);
        }
        return std::move(answer.reply);
    }

    // The id goes to the server with the next Invoke, or alone once many have piled up.
    void release(ObjectId id) {
        std::lock_guard lock(mutex_);
        released_.append(id);
        if (released_.size() >= maxPendingReleases) {
            sendReleased();
        }
    }

    QDBusMessage invoke(QVariantList args) {
        {
            std::lock_guard lock(mutex_);
            args.append(QVariant::fromValue(std::exchange(released_, {})));
        }
        return call(QStringLiteral("Invoke"), args);
    }

    ~BusLink() {
        std::lock_guard lock(mutex_);
        sendReleased();
    }

    ObjectRef objectFor(ObjectId id);
    Value decode(const QVariant& wire);
    QVariant encode(const Value& value) const;

  private:
    QDBusMessage newCall(const QString& method) const {
        QDBusMessage message = QDBusMessage::createMethodCall(service_, QLatin1String(objectPath),
                                                              QLatin1String(interfaceName), method);
        message.setAutoStartService(false);
        return message;
    }

    // No reply: the editor is hung, or it ended mid-call; either way the objects of this link
    // are out of reach. The late reply of a hung editor will hand out ids this side never
    // learns, so the editor is told to drop them; it gets to that after the call.
    [[noreturn]] void giveUp(const Failure& failure, bool hung) {
        {
            std::lock_guard lock(mutex_);
            endedBy_ = failure;
        }
        gaveUp_ = true;
        if (hung) {
            connection_.send(newCall(QStringLiteral("Abandon")));
        }
        throw failure;
    }

    // Fire and forget (QtDBus marks a sent call as wanting no reply).
    void sendReleased() {
        if (released_.isEmpty() || !QCoreApplication::instance() || !connection_.isConnected()) {
            return;
        }
        QDBusMessage message = newCall(QStringLiteral("Release"));
        message << QVariant::fromValue(std::exchange(released_, {}));
        connection_.send(message);
    }

    QDBusConnection connection_;
    QString service_;
    int timeoutMs_;
    std::atomic<bool> gaveUp_{false};
    std::mutex mutex_;
    std::optional<Failure> endedBy_; // what every call fails with once the link is given up
    QList<qulonglong> released_;
};

class RemoteEnumerator : public HostEnumerator {
  public:
    RemoteEnumerator(std::shared_ptr<BusLink> link, const QDBusMessage& reply)
        : link_(std::move(link)) {
        const QVariant id = reply.arguments().value(0);
        if (id.metaType().id() != QMetaType::ULongLong) {
            throw malformedReply(QStringLiteral("a walk without an id"));
        }
        id_ = id.toULongLong();
        take(reply.arguments().value(1));
    }
    ~RemoteEnumerator() override {
        if (id_ != nothingId) {
            link_->release(id_);
        }
    }

    bool next(Value& member) override {
        if (buffered_.empty() && id_ != nothingId) {
            take(link_
                     ->call(QStringLiteral("Next"),
                            {QVariant::fromValue(id_), QVariant(enumerationBatch)})
                     .arguments()
                     .value(0));
        }
        if (buffered_.empty()) {
            return false;
        }
        member = std::move(buffered_.front());
        buffered_.pop_front();
        return true;
    }

  private:
    void take(const QVariant& batch) {
        try {
            const QVariantList members = variantList(batch);
            for (const QVariant& wire : members) {
                buffered_.push_back(link_->decode(wire));
            }
            // A short batch ends the walk, and the server has dropped it already.
            if (static_cast<quint32>(members.size()) < enumerationBatch) {
                id_ = nothingId;
            }
        } catch (const MalformedValue& malformed) {
            throw malformedReply(malformed.reason);
        }
    }

    std::shared_ptr<BusLink> link_;
    ObjectId id_ = nothingId;
    std::deque<Value> buffered_;
};

class RemoteObject : public HostObject {
  public:
    RemoteObject(std::shared_ptr<BusLink> link, ObjectId id) : link_(std::move(link)), id_(id) {}
    ~RemoteObject() override { link_->release(id_); }

    ObjectId id() const { return id_; }
    const BusLink* link() const { return link_.get(); }

    Value invoke(std::u16string_view member, CallKind kind, std::span<const Value> args) override {
        QVariantList wireArgs;
        for (const Value& arg : args) {
            wireArgs.append(link_->encode(arg));
        }
        const QDBusMessage reply = link_->invoke({QVariant::fromValue(id_), toQString(member),
                                                  static_cast<int>(kind), QVariant(wireArgs)});
        return link_->decode(reply.arguments().value(0));
    }

    std::unique_ptr<HostEnumerator> enumerate() override {
        return std::make_unique<RemoteEnumerator>(
            link_, link_->call(QStringLiteral("Enumerate"),
                               {QVariant::fromValue(id_), QVariant(enumerationBatch)}));
    }

  private:
    std::shared_ptr<BusLink> link_;
    ObjectId id_;
};

ObjectRef BusLink::objectFor(ObjectId id) {
    return std::make_shared<RemoteObject>(shared_from_this(), id);
}

Value BusLink::decode(const QVariant& wire) {
    try {
        return decodeValue(wire, [this](ObjectId id) { return objectFor(id); });
    } catch (const MalformedValue& malformed) {
        throw malformedReply(malformed.reason);
    }
}

QVariant BusLink::encode(const Value& value) const {
    return encodeValue(value, [this](const ObjectRef& object) {
        // Only objects of this same editor can travel back to it.
        const auto* remote = dynamic_cast<const RemoteObject*>(object.get());
        if (!remote || remote->link() != this) {
            throw Failure::typeMismatch();
        }
        return remote->id();
    });
}

} // namespace

ObjectRef connectToEditor(const QDBusConnection& connection, const QString& service,
                          std::chrono::milliseconds callTimeout) {
    registerTypes();
    if (!connection.isConnected()) {
        throw Failure::cannotCreateObject(toU16(connection.lastError().message()));
    }
    // Peer.Ping is answered by the bus library of whoever owns the name, so this fails at once
    // when no editor runs, and never asks the bus to start one. A stopped or wedged editor
    // leaves even that unanswered: it is hung, not missing.
    QDBusMessage ping = QDBusMessage::createMethodCall(service, QLatin1String(objectPath),
                                                       QStringLiteral("org.freedesktop.DBus.Peer"),
                                                       QStringLiteral("Ping"));
    ping.setAutoStartService(false);
    const int timeoutMs = static_cast<int>(callTimeout.count());
    const Answer answer = callEditor(connection, ping, timeoutMs);
    const QDBusMessage& reply = answer.reply;
    if (answer.abandoned) {
        throw Failure::editorNotAnswering(answer.waited);
    }
    if (unanswered(answer, timeoutMs)) {
        throw Failure::editorNotAnswering(callTimeout);
    }
    if (reply.type() != QDBusMessage::ReplyMessage) {
        throw Failure::cannotCreateObject(toU16(reply.errorMessage()));
    }
    return std::make_shared<BusLink>(connection, service, callTimeout)->objectFor(applicationId);
}

} // namespace tagwright::host::dbus
