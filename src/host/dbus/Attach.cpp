#include "host/Attach.h"

#include "host/dbus/BusClient.h"

namespace tagwright::host {

HostApplication attachRunningEditor() {
    return HostApplication(dbus::connectToEditor(QDBusConnection::sessionBus()));
}

} // namespace tagwright::host
