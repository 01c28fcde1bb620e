#pragma once

#include "host/HostObject.h"
#include "host/dbus/Protocol.h"

#include <QDBusConnection>
#include <QDBusVirtualObject>

#include <atomic>
#include <cstddef>
#include <functional>
#include <memory>
#include <mutex>
#include <unordered_map>
#include <vector>

class QDBusServiceWatcher;

namespace tagwright::host::dbus {

// Serves a tree of host objects, rooted at the application, on one object path. Every call is
// checked before it reaches a host object, so a client can get errors but never bring the
// server down. Lives in the thread whose event loop serves its connection.
class BusServer : public QDBusVirtualObject {
    Q_OBJECT
  public:
    explicit BusServer(ObjectRef application, QObject* parent = nullptr);
    ~BusServer() override;

    // Registers the object path on `connection`; claiming the well-known name is the caller's
    // choice, so a second server can be refused before it serves anything.
    bool serveOn(const QDBusConnection& connection);

    // Ids held by clients, the application's own excepted; safe to ask from any thread.
    std::size_t heldIds() const;
    // What those ids keep alive, as the server estimates it to bound each client.
    std::size_t heldBytes() const;
    std::size_t clientCount() const;

    // From now on every call gets failure 462, as from an editor that has gone: an editor on
    // its way out says so, rather than serving calls whose effects would be lost. Safe to
    // call from any thread.
    void stopServing();

    // Runs `before` on the serving thread ahead of each call that asks for an answer, before
    // it is served: how the stand-in plays an editor that stops answering.
    void beforeAnswering(std::function<void()> before) { beforeAnswering_ = std::move(before); }

    bool handleMessage(const QDBusMessage& message, const QDBusConnection& connection) override;
    // The reply or error for one method call, without sending it: what handleMessage sends.
    // `connection` is only asked whether the caller is still on the bus, and only once the
    // server serves on it, so a server that never served answers without any bus at all.
    QDBusMessage answer(const QDBusMessage& message, const QDBusConnection& connection);
    QString introspect(const QString& path) const override;

  private:
    struct Entry {
        ObjectRef object;
        std::unique_ptr<HostEnumerator> enumerator;
        const void* block = nullptr; // what the walk keeps alive, counted in its client's bytes
    };
    using Table = std::unordered_map<ObjectId, Entry>;
    struct Client {
        Table objects;
        std::vector<ObjectId> lastReply; // ids handed out by the latest reply
        // What the held objects and walks cost, an estimate that counts each shared block
        // once: the bytes of each block and how many walks keep it.
        std::size_t bytes = 0;
        std::unordered_map<const void*, std::pair<std::size_t, std::size_t>> blocks;
    };

    QDBusMessage dispatch(const QDBusMessage& message, const QDBusConnection& connection);
    QDBusMessage invoke(const QDBusMessage& message, Client& client);
    QDBusMessage enumerate(const QDBusMessage& message, Client& client);
    QDBusMessage next(const QDBusMessage& message, Client& client);
    void release(const QVariant& ids, Client& client);
    // Up to `count` members of the walk; true when the walk ended before the batch was full.
    bool fillBatch(HostEnumerator& enumerator, quint32 count, Client& client,
                   QVariantList& members);

    Client& clientFor(const QString& client, const QDBusConnection& connection);
    ObjectId hold(Client& client, Entry entry);
    void drop(Client& client, ObjectId id);
    Entry& entryFor(Table& table, ObjectId id);
    void clientLeft(const QString& client);

    ObjectRef application_;
    QDBusServiceWatcher* watcher_ = nullptr;
    mutable std::mutex mutex_;
    std::unordered_map<QString, Client> clients_;
    std::vector<ObjectId> handing_; // ids given out by the call being served
    ObjectId nextId_ = applicationId + 1;
    std::atomic<bool> serving_{true};
    std::function<void()> beforeAnswering_;
};

} // namespace tagwright::host::dbus
