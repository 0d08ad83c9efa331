// Who asks over the bus: the history records the caller's user, a request whose caller has
// left the bus before it starts is dropped, and the requests that may wait are bounded.
#include <pwd.h>
#include <unistd.h>

#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include "dnc/automation/BusNames.h"
#include "dnc/automation/BusTypes.h"
#include "tests/automation/BusFixture.h"

namespace bus = dnc::bus;

namespace {

using BusCallers = BusTest;

const QString kSubNetInterface = QString::fromLatin1(bus::kSubNetInterface);

QVariant y(int value) {
    return QVariant::fromValue(static_cast<uchar>(value));
}

// A program that keeps the line busy for a few seconds at the test's speed.
std::string longProgram(int lines) {
    std::string text;
    for (int i = 0; i < lines; ++i) {
        text += "N" + std::to_string(i * 10) + " G1 X" + std::to_string(i) + " Y10 F500\n";
    }
    return text;
}

std::string ownUserName() {
    const passwd* self = ::getpwuid(::getuid());
    return self != nullptr ? self->pw_name : std::to_string(::getuid());
}

TEST_F(BusCallers, RequestsOfACallerThatLeftAreDroppedAndTheOthersRecordTheirUser) {
    putFile(1, "BIG.WTX", longProgram(120));
    for (int i = 0; i < 5; ++i) {
        putFile(1, "GONE" + std::to_string(i) + ".WTX", "%\nN10 M30\n%\n");
    }
    QDBusPendingCallWatcher first(
        callAsync(path(1), kSubNetInterface, "SendFile", {y(1), QStringLiteral("BIG.WTX")}));
    ASSERT_TRUE(waitUntil([&] { return !signals_->with("1 TransferRunning 1").isEmpty(); }));

    // Another client queues five sends behind it and leaves the bus.
    {
        QDBusConnection other =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("leaving"));
        ASSERT_TRUE(other.isConnected());
        for (int i = 0; i < 5; ++i) {
            QDBusMessage m = QDBusMessage::createMethodCall(instance, path(1), kSubNetInterface,
                                                            QStringLiteral("SendFile"));
            m << y(1) << QStringLiteral("GONE%1.WTX").arg(i);
            other.asyncCall(m, 120000);
        }
        // Answered after the service has taken the five in: they wait in its queue.
        QDBusMessage get = QDBusMessage::createMethodCall(
            instance, path(1), QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << kSubNetInterface << QStringLiteral("Busy");
        const QDBusMessage busy = other.call(get);
        ASSERT_EQ(busy.type(), QDBusMessage::ReplyMessage) << busy.errorMessage().toStdString();
        EXPECT_TRUE(busy.arguments().value(0).value<QDBusVariant>().variant().toBool());
    }
    QDBusConnection::disconnectFromBus(QStringLiteral("leaving"));

    // The next request of a client still there comes right after the running one.
    const QDBusMessage list = subNet("MemoryList", {y(1)});
    ASSERT_EQ(list.type(), QDBusMessage::ReplyMessage) << list.errorMessage().toStdString();
    EXPECT_TRUE(first.isFinished());
    EXPECT_FALSE(first.isError()) << first.error().message().toStdString();
    const auto files =
        qdbus_cast<bus::MemoryFiles>(list.arguments().value(3).value<QDBusArgument>());
    ASSERT_EQ(files.size(), 1) << unitHistory();
    EXPECT_EQ(files[0].name, "BIG");
    EXPECT_EQ(signals_->with("1 TransferRunning 1").size(), 2)
        << "only the long send and the list reached the line";

    // The service writes its history before it ends; the send is recorded under our user.
    service->signal(SIGTERM);
    ASSERT_EQ(service->exitCode(std::chrono::seconds(30)), 0) << service->output();
    service.reset();
    ChildProgram ctl(FERIXDNCCTL_PROGRAM,
                     {"--json", "history", "--history", (dir / "DNC.db").string()});
    ASSERT_EQ(ctl.exitCode(std::chrono::seconds(60)), 0) << ctl.output();
    const QJsonArray rows =
        QJsonDocument::fromJson(QByteArray::fromStdString(ctl.output())).array();
    ASSERT_EQ(rows.size(), 1) << ctl.output();
    EXPECT_EQ(rows[0].toObject()["name"].toString(), "BIG.WTX");
    EXPECT_EQ(rows[0].toObject()["started_by"].toString(), "operator");
    EXPECT_EQ(rows[0].toObject()["user"].toString().toStdString(), ownUserName());
}

TEST_F(BusCallers, BeyondTheWaitingLimitARequestIsRefusedUntilItsCallersLeave) {
    putFile(1, "BIG.WTX", longProgram(120));
    QDBusPendingCallWatcher first(
        callAsync(path(1), kSubNetInterface, "SendFile", {y(1), QStringLiteral("BIG.WTX")}));
    ASSERT_TRUE(waitUntil([&] { return !signals_->with("1 TransferRunning 1").isEmpty(); }));

    // Another client fills the queue.
    QString otherName;
    {
        QDBusConnection other =
            QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("filling"));
        ASSERT_TRUE(other.isConnected());
        otherName = other.baseService();
        for (int i = 0; i < 16; ++i) {
            QDBusMessage m = QDBusMessage::createMethodCall(instance, path(1), kSubNetInterface,
                                                            QStringLiteral("MemoryList"));
            m << y(2);
            other.asyncCall(m, 120000);
        }
        QDBusMessage get = QDBusMessage::createMethodCall(
            instance, path(1), QStringLiteral("org.freedesktop.DBus.Properties"),
            QStringLiteral("Get"));
        get << kSubNetInterface << QStringLiteral("Busy");
        ASSERT_EQ(other.call(get).type(), QDBusMessage::ReplyMessage);  // the 16 are taken in
    }
    const QDBusMessage refused = subNet("MemoryList", {y(1)});
    EXPECT_EQ(refused.errorName(), QString::fromLatin1(bus::kRequestFailed));
    EXPECT_EQ(refused.errorMessage(), "busy");

    // When it has left (the bus tells the service before it passes on anything we send after
    // hearing of it), its requests make room at once, before the running send ends.
    QDBusServiceWatcher gone(otherName, bus, QDBusServiceWatcher::WatchForUnregistration);
    bool left = false;
    QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, [&] { left = true; });
    QDBusConnection::disconnectFromBus(QStringLiteral("filling"));
    ASSERT_TRUE(waitUntil([&] { return left; }));
    const QDBusMessage list = subNet("MemoryList", {y(1)});
    ASSERT_EQ(list.type(), QDBusMessage::ReplyMessage) << list.errorMessage().toStdString();
    EXPECT_EQ(signals_->with("1 TransferRunning 1").size(), 2) << "none of the 16 reached the line";
}

}  // namespace
