#include "app/RunningCopy.h"

#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QMetaObject>

namespace tagwright::app {

namespace {

// A running copy that is busy starting up answers late; the later start ends all the same,
// and the running copy's window comes up in front when it shows.
constexpr int activateTimeoutMs = 2'000;

} // namespace

RunningCopy::RunningCopy(std::function<void()> activate, QObject* parent)
    : QDBusVirtualObject(parent), activate_(std::move(activate)) {}

bool RunningCopy::claim(const QDBusConnection& connection) {
    QDBusConnection bus(connection);
    QDBusConnectionInterface* names = bus.interface();
    if (!bus.isConnected() || !names) {
        return true;
    }
    // Served before the name is taken, so a start that finds the name finds the object too.
    if (!bus.registerVirtualObject(QLatin1String(objectPath), this)) {
        return true;
    }
    const QString name = QLatin1String(busName);
    const auto claimed = names->registerService(name);
    // Only a name that another copy holds ends this one; a bus that fails to answer does not.
    if (!claimed.isValid() || claimed.value() == QDBusConnectionInterface::ServiceRegistered) {
        return true;
    }
    bus.call(QDBusMessage::createMethodCall(name, QLatin1String(objectPath),
                                            QLatin1String(interfaceName),
                                            QStringLiteral("Activate")),
             QDBus::Block, activateTimeoutMs);
    return false;
}

bool RunningCopy::handleMessage(const QDBusMessage& message, const QDBusConnection& connection) {
    if (message.member() != QLatin1String("Activate") || !message.signature().isEmpty() ||
        (!message.interface().isEmpty() && message.interface() != QLatin1String(interfaceName))) {
        return false;
    }
    // The bus may call from a thread of its own; windows are raised in theirs.
    QMetaObject::invokeMethod(
        this, [this] { activate_(); }, Qt::QueuedConnection);
    QDBusConnection(connection).send(message.createReply());
    return true;
}

QString RunningCopy::introspect(const QString&) const {
    return QStringLiteral("<interface name=\"%1\"><method name=\"Activate\"/></interface>\n")
        .arg(QLatin1String(interfaceName));
}

} // namespace tagwright::app
