#pragma once

#include "host/HostObject.h"

#include <QDBusConnection>
#include <QString>

#include <chrono>

namespace tagwright::host::dbus {

// How long a call waits for the editor before the link is given up.
inline constexpr std::chrono::milliseconds defaultCallTimeout{25'000};

// The application object of the editor that owns `service` on `connection`. Fails at once
// with 429 when nobody owns the name; never has the bus start an editor. Objects reached
// through it are released on the server when their last reference here goes.
//
// An editor that leaves a call unanswered for `callTimeout` is taken for hung: that call and
// every later one through this link fail with 462 at once, instead of each waiting again.
ObjectRef connectToEditor(const QDBusConnection& connection,
                          const QString& service = QStringLiteral("PowerPCB.Application"),
                          std::chrono::milliseconds callTimeout = defaultCallTimeout);

} // namespace tagwright::host::dbus
