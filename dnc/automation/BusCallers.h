// Who calls over the bus, as the bus daemon knows it: the caller's user, and whether it is
// still connected. Blocking calls to the daemon, which answers at once.
#pragma once

#include <QDBusConnection>
#include <QString>
#include <optional>
#include <string>

namespace dnc::automation {

// The login name (or number) of the user that `caller` (a unique bus name) runs as; nullopt
// when it has left the bus.
std::optional<std::string> callerUser(const QDBusConnection& connection, const QString& caller);

// `caller` is still connected to the bus.
bool callerPresent(const QDBusConnection& connection, const QString& caller);

}  // namespace dnc::automation
