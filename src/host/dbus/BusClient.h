#pragma once

#include "host/HostObject.h"

#include <QDBusConnection>
#include <QString>

namespace tagwright::host::dbus {

// The application object of the editor that owns `service` on `connection`. Fails at once
// with 429 when nobody owns the name; never has the bus start an editor. Objects reached
// through it are released on the server when their last reference here goes.
ObjectRef connectToEditor(const QDBusConnection& connection,
                          const QString& service = QStringLiteral("PowerPCB.Application"));

} // namespace tagwright::host::dbus
