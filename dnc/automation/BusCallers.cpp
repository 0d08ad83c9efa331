#include "dnc/automation/BusCallers.h"

#include <QDBusMessage>

#include "dnc/common/UserNames.h"

namespace dnc::automation {

namespace {

QDBusMessage askDaemon(const QDBusConnection& connection, const char* method,
                       const QString& caller) {
    QDBusMessage question = QDBusMessage::createMethodCall(
        QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"),
        QStringLiteral("org.freedesktop.DBus"), QString::fromLatin1(method));
    question << caller;
    return connection.call(question);
}

}  // namespace

std::optional<std::string> callerUser(const QDBusConnection& connection, const QString& caller) {
    const QDBusMessage answer = askDaemon(connection, "GetConnectionUnixUser", caller);
    if (answer.type() != QDBusMessage::ReplyMessage || answer.arguments().isEmpty()) {
        return std::nullopt;
    }
    return userName(static_cast<uid_t>(answer.arguments().first().toUInt()));
}

bool callerPresent(const QDBusConnection& connection, const QString& caller) {
    const QDBusMessage answer = askDaemon(connection, "NameHasOwner", caller);
    return answer.type() == QDBusMessage::ReplyMessage && answer.arguments().value(0).toBool();
}

}  // namespace dnc::automation
