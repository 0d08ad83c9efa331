#include "tools/ferixdncctl/Client.h"

#include <pwd.h>
#include <signal.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusServiceWatcher>
#include <QDateTime>
#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>
#include <atomic>
#include <limits>

#include "dnc/automation/BusNames.h"
#include "dnc/automation/BusTypes.h"
#include "tools/ferixdncctl/ProgressBar.h"

namespace ferixdncctl {

namespace {

using Verb = CtlArguments::Verb;
namespace bus = dnc::bus;

std::atomic<bool> g_interrupted{false};

void interrupt(int) {
    g_interrupted = true;
}

void catchInterrupts() {
    struct sigaction action {};
    action.sa_handler = interrupt;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
}

constexpr int kInterruptCheckMs = 100;

void print(std::FILE* stream, const QString& text) {
    std::fputs(text.toLocal8Bit().constData(), stream);
    std::fflush(stream);
}

QString refusedText(bool systemBus) {
    const passwd* entry = ::getpwuid(::getuid());
    const std::string user = entry != nullptr ? entry->pw_name : std::to_string(::getuid());
    return QString::fromStdString(ferixdncctl::refusedText(user, systemBus));
}

QString json(const QJsonValue& value) {
    const QJsonDocument document =
        value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    return QString::fromUtf8(document.toJson(QJsonDocument::Compact)) + '\n';
}

QString direction(uchar d) {
    return d == 0 ? QStringLiteral("PC -> unit") : QStringLiteral("unit -> PC");
}

}  // namespace

Client::Client(CtlArguments arguments, QDBusConnection connection)
    : arguments_(std::move(arguments)),
      connection_(std::move(connection)),
      destination_(QString::fromStdString(ferixdncctl::destination(arguments_))) {
    bus::registerBusTypes();
}

QString Client::subNetPath() const {
    return QString::fromLatin1(bus::kSubNetPathPrefix) + QString::number(arguments_.subNet);
}

int Client::subNetOf(const QDBusMessage& message) {
    const QString prefix = QString::fromLatin1(bus::kSubNetPathPrefix);
    return message.path().startsWith(prefix) ? message.path().mid(prefix.size()).toInt() : 0;
}

int Client::run() {
    if (!connection_.isConnected()) {
        print(stderr, QStringLiteral("ferixdncctl: no FerixDNC running (no %1 bus: %2)\n")
                          .arg(arguments_.systemBus ? "system" : "session",
                               connection_.lastError().message()));
        return kNotRunning;
    }
    const auto registered = connection_.interface()->isServiceRegistered(destination_);
    if (!registered.isValid() || !registered.value()) {
        print(stderr, QStringLiteral("ferixdncctl: no FerixDNC running (nobody owns %1)\n")
                          .arg(destination_));
        return kNotRunning;
    }
    catchInterrupts();
    const uchar unit = static_cast<uchar>(arguments_.unit);
    const QString name = QString::fromStdString(arguments_.name);
    switch (arguments_.verb) {
        case Verb::List:
            return list();
        case Verb::Start:
            return manage("Start", "started");
        case Verb::Stop:
            return manage("Stop", "stopped");
        case Verb::Show:
            return manage("Show", "shown");
        case Verb::Hide:
            return manage("Hide", "hidden");
        case Verb::Send:
            return request("SendFile", {QVariant::fromValue(unit), name}, true);
        case Verb::Receive:
            return request(
                "ReceiveFile",
                {QVariant::fromValue(unit), name, QVariant::fromValue(arguments_.length)}, true);
        case Verb::Remove:
            return request("RemoveFile", {QVariant::fromValue(unit), name}, false);
        case Verb::MemoryList:
            return memoryList();
        case Verb::Command:
            return request(
                "UnitCommand",
                {QVariant::fromValue(unit), name, QString::fromStdString(arguments_.argument)},
                true);
        case Verb::Watch:
            return watch();
        case Verb::Accept:
            return decide("AcceptRevision", "accepted");
        case Verb::Reject:
            return decide("RejectRevision", "rejected");
        case Verb::Restore:
            return decide("RestoreRevision", "restored");
        case Verb::History:  // read the database; never on the bus
        case Verb::ShowProgram:
        case Verb::Revisions:
        case Verb::Sites:
        case Verb::Diff:
        case Verb::ShowRevision:
        case Verb::Help:
            break;
    }
    return kUsage;
}

bool Client::call(const QString& path, const QString& interface, const QString& method,
                  const QVariantList& arguments, QDBusMessage& reply, int& status) {
    QDBusMessage message = QDBusMessage::createMethodCall(destination_, path, interface, method);
    message.setArguments(arguments);
    // A transfer of a long program at a slow line speed takes its time: no limit.
    QDBusPendingCall pending = connection_.asyncCall(message, std::numeric_limits<int>::max());
    QDBusPendingCallWatcher watcher(pending);
    QEventLoop loop;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, &loop, &QEventLoop::quit);
    QTimer interrupts;
    bool stopSent = false;
    QObject::connect(&interrupts, &QTimer::timeout, [&] {
        if (g_interrupted && !stopSent && path != QLatin1String(bus::kManagerPath)) {
            stopSent = true;  // the unit gets its closing block; the call ends with it
            connection_.asyncCall(QDBusMessage::createMethodCall(
                destination_, path, QString::fromLatin1(bus::kSubNetInterface),
                QStringLiteral("StopTransfer")));
        }
    });
    interrupts.start(kInterruptCheckMs);
    if (!pending.isFinished()) {
        loop.exec();
    }
    if (barShown_) {
        print(stderr, QStringLiteral("\n"));
        barShown_ = false;
    }
    reply = pending.reply();
    if (reply.type() != QDBusMessage::ErrorMessage) {
        if (stopSent) {
            print(stderr, QStringLiteral("ferixdncctl: stopped\n"));
            status = kFailed;
            return false;
        }
        return true;
    }
    const QString error = reply.errorName();
    QString text = reply.errorMessage();
    status = statusForError(error.toStdString());
    if (error == QLatin1String("org.freedesktop.DBus.Error.UnknownObject") ||
        error == QLatin1String("org.freedesktop.DBus.Error.UnknownInterface") ||
        (error == QLatin1String("org.freedesktop.DBus.Error.UnknownMethod") &&
         path != QLatin1String(bus::kManagerPath))) {
        text = QStringLiteral("sub net %1 is not running").arg(arguments_.subNet);
        status = kFailed;
    } else if (status == kNotRunning) {
        text = QStringLiteral("no FerixDNC running (%1)").arg(text);
    } else if (status == kRefused) {
        text = refusedText(arguments_.systemBus);
    }
    print(stderr, QStringLiteral("ferixdncctl: %1\n").arg(text));
    return false;
}

void Client::done(const QVariantMap& values, const QString& text) {
    if (arguments_.json) {
        print(stdout, json(QJsonObject::fromVariantMap(values)));
    } else if (!text.isEmpty()) {
        print(stdout, text + '\n');
    }
}

int Client::decide(const char* method, const char* outcome) {
    // The revision's sub net: the running one that lists it.
    int status = kDone;
    const std::optional<bus::SubNetRows> rows = subNets(status);
    if (!rows) {
        return status;
    }
    QDBusMessage reply;
    int firstRunning = 0;
    for (const bus::SubNetRow& row : *rows) {
        if (!row.running) {
            continue;
        }
        firstRunning = firstRunning == 0 ? row.number : firstRunning;
        arguments_.subNet = row.number;
        if (!call(subNetPath(), QString::fromLatin1(bus::kSubNetInterface),
                  QStringLiteral("Revisions"), {QVariant::fromValue(uchar{0}), QString()}, reply,
                  status)) {
            return status;
        }
        const auto entries =
            qdbus_cast<bus::RevisionEntries>(reply.arguments().value(0).value<QDBusArgument>());
        const auto found = std::find_if(entries.begin(), entries.end(), [this](const auto& e) {
            return e.id == arguments_.revision;
        });
        if (found == entries.end()) {
            continue;
        }
        if (!call(subNetPath(), QString::fromLatin1(bus::kSubNetInterface),
                  QString::fromLatin1(method),
                  {QVariant::fromValue(qlonglong{arguments_.revision})}, reply, status)) {
            return status;
        }
        done(
            {{"subnet", row.number},
             {"revision", arguments_.revision},
             {"done", QString::fromLatin1(outcome)}},
            QStringLiteral("Revision %1 %2.").arg(arguments_.revision).arg(QLatin1String(outcome)));
        return kDone;
    }
    // Another site's revision in a shared history: any running sub net asks that site, which
    // carries the decision out (a restore stays with the site itself).
    if (firstRunning != 0 && arguments_.verb != Verb::Restore) {
        arguments_.subNet = firstRunning;
        if (!call(subNetPath(), QString::fromLatin1(bus::kSubNetInterface),
                  QString::fromLatin1(method),
                  {QVariant::fromValue(qlonglong{arguments_.revision})}, reply, status)) {
            return status;
        }
        const QString asked = reply.arguments().value(0).toString();
        if (!asked.isEmpty()) {
            done({{"revision", arguments_.revision}, {"asked", asked}}, asked);
            return kDone;
        }
    }
    print(stderr, QStringLiteral("ferixdncctl: no running sub net has revision %1\n")
                      .arg(arguments_.revision));
    return kFailed;
}

std::optional<dnc::bus::SubNetRows> Client::subNets(int& status) {
    QDBusMessage reply;
    if (!call(QString::fromLatin1(bus::kManagerPath), QString::fromLatin1(bus::kManagerInterface),
              QStringLiteral("SubNets"), {}, reply, status)) {
        return std::nullopt;
    }
    return qdbus_cast<bus::SubNetRows>(reply.arguments().value(0).value<QDBusArgument>());
}

int Client::list() {
    int status = kDone;
    const std::optional<bus::SubNetRows> found = subNets(status);
    if (!found) {
        return status;
    }
    const bus::SubNetRows& rows = *found;
    if (arguments_.json) {
        QJsonArray array;
        for (const bus::SubNetRow& row : rows) {
            array.append(QJsonObject{{"subnet", row.number},
                                     {"caption", row.caption},
                                     {"running", row.running},
                                     {"startup", row.startUp}});
        }
        print(stdout, json(array));
        return kDone;
    }
    QString text = QStringLiteral("SUB NET  CAPTION                   RUNNING  ON START-UP\n");
    for (const bus::SubNetRow& row : rows) {
        text += QStringLiteral("%1  %2  %3  %4\n")
                    .arg(row.number, 7)
                    .arg(row.caption, -24)
                    .arg(row.running ? "yes" : "no", -7)
                    .arg(row.startUp ? "yes" : "no");
    }
    print(stdout, text);
    return kDone;
}

int Client::manage(const char* method, const char* outcome) {
    QDBusMessage reply;
    int status = kDone;
    if (!call(QString::fromLatin1(bus::kManagerPath), QString::fromLatin1(bus::kManagerInterface),
              QString::fromLatin1(method), {QVariant::fromValue(qint16(arguments_.subNet))}, reply,
              status)) {
        return status;
    }
    done({{"subnet", arguments_.subNet}, {"done", QString::fromLatin1(method).toLower()}},
         QStringLiteral("Sub net %1 %2.").arg(arguments_.subNet).arg(QString::fromLatin1(outcome)));
    return kDone;
}

void Client::onBar(uchar progress) {
    if (bar_) {
        print(stderr, '\r' + QString::fromStdString(progressLine(progress)));
        barShown_ = true;
    }
}

int Client::request(const char* method, const QVariantList& arguments, bool withBar) {
    const QString path = subNetPath();
    bar_ = withBar && !arguments_.json && ::isatty(STDERR_FILENO) == 1;
    if (bar_) {
        connection_.connect(destination_, path, QString::fromLatin1(bus::kSubNetInterface),
                            QStringLiteral("ProgressChanged"), this, SLOT(onBar(uchar)));
    }
    QDBusMessage reply;
    int status = kDone;
    const bool ok = call(path, QString::fromLatin1(bus::kSubNetInterface),
                         QString::fromLatin1(method), arguments, reply, status);
    if (!ok) {
        return status;
    }
    QVariantMap values{{"subnet", arguments_.subNet},
                       {"unit", arguments_.unit},
                       {"request", QString::fromLatin1(method)},
                       {"done", true}};
    if (!arguments_.name.empty()) {
        values.insert(arguments_.verb == Verb::Command ? "command" : "name",
                      QString::fromStdString(arguments_.name));
    }
    if (!arguments_.argument.empty()) {
        values.insert("argument", QString::fromStdString(arguments_.argument));
    }
    const QString name = QString::fromStdString(arguments_.name);
    QString text;
    switch (arguments_.verb) {
        case Verb::Send:
            text = QStringLiteral("%1 sent to unit %2").arg(name).arg(arguments_.unit);
            break;
        case Verb::Receive:
            text = QStringLiteral("%1 received from unit %2").arg(name).arg(arguments_.unit);
            break;
        case Verb::Remove:
            text = QStringLiteral("%1 removed from unit %2").arg(name).arg(arguments_.unit);
            break;
        default:
            text = QStringLiteral("%1 done on unit %2").arg(name).arg(arguments_.unit);
            break;
    }
    done(values, text);
    return kDone;
}

int Client::memoryList() {
    QDBusMessage reply;
    int status = kDone;
    if (!call(subNetPath(), QString::fromLatin1(bus::kSubNetInterface),
              QStringLiteral("MemoryList"), {QVariant::fromValue(uchar(arguments_.unit))}, reply,
              status)) {
        return status;
    }
    const QVariantList values = reply.arguments();
    const int count = values.value(0).toInt();
    const int free = values.value(1).toInt();
    const int section = values.value(2).toInt();
    const auto files = qdbus_cast<bus::MemoryFiles>(values.value(3).value<QDBusArgument>());
    if (arguments_.json) {
        QJsonArray array;
        for (const bus::MemoryFile& f : files) {
            array.append(QJsonObject{{"name", f.name}, {"size", f.size}});
        }
        print(stdout, json(QJsonObject{{"subnet", arguments_.subNet},
                                       {"unit", arguments_.unit},
                                       {"count", count},
                                       {"free", free},
                                       {"section", section},
                                       {"files", array}}));
        return kDone;
    }
    if (count == -2) {
        print(stdout, QStringLiteral("The line's protocol has no memory list.\n"));
        return kDone;
    }
    QString text = QStringLiteral("Unit %1: %2 program(s), %3 bytes free, section %4\n")
                       .arg(arguments_.unit)
                       .arg(count)
                       .arg(free)
                       .arg(section);
    for (const bus::MemoryFile& f : files) {
        text += QStringLiteral("  %1 %2\n").arg(f.name, -24).arg(f.size, 8);
    }
    print(stdout, text);
    return kDone;
}

void Client::printEvent(int subNet, const QString& signal, const QString& text,
                        const QVariantMap& values) {
    if (arguments_.subNet != 0 && subNet != arguments_.subNet) {
        return;
    }
    if (arguments_.json) {
        QVariantMap all = values;
        all.insert("signal", signal);
        all.insert("subnet", subNet);
        all.insert("time", QDateTime::currentDateTime().toString(Qt::ISODate));
        print(stdout, json(QJsonObject::fromVariantMap(all)));
        return;
    }
    print(stdout, QStringLiteral("%1 sub net %2: %3\n")
                      .arg(QDateTime::currentDateTime().toString(QStringLiteral("HH:mm:ss")))
                      .arg(subNet)
                      .arg(text));
}

void Client::onProgress(uchar progress, const QDBusMessage& message) {
    printEvent(subNetOf(message), "ProgressChanged", QStringLiteral("progress %1 %").arg(progress),
               {{"progress", progress}});
}

void Client::onError(bool operatorRequest, const QString& description,
                     const QDBusMessage& message) {
    printEvent(subNetOf(message), "Error",
               QStringLiteral("error (%1): %2")
                   .arg(operatorRequest ? "operator's request" : "unit or line", description),
               {{"operatorRequest", operatorRequest}, {"description", description}});
}

void Client::onMemoryChanged(uchar unit, const QDBusMessage& message) {
    printEvent(subNetOf(message), "MemoryChanged",
               QStringLiteral("memory of unit %1 changed").arg(unit), {{"unit", unit}});
}

void Client::onDirectoryChanged(uchar unit, const QDBusMessage& message) {
    printEvent(subNetOf(message), "DirectoryChanged",
               QStringLiteral("directory of unit %1 changed").arg(unit), {{"unit", unit}});
}

void Client::onTransferRunning(bool running, uchar d, const QDBusMessage& message) {
    printEvent(subNetOf(message), "TransferRunning",
               QStringLiteral("transfer %1 %2").arg(direction(d), running ? "started" : "ended"),
               {{"running", running}, {"direction", d}});
}

void Client::onCommunicationChanged(bool active, const QDBusMessage& message) {
    printEvent(subNetOf(message), "CommunicationChanged",
               active ? QStringLiteral("communication on") : QStringLiteral("communication off"),
               {{"active", active}});
}

void Client::onSubNetStarted(qint16 subNet) {
    printEvent(subNet, "SubNetStarted", QStringLiteral("started"), {});
}

void Client::onSubNetClosed(qint16 subNet) {
    printEvent(subNet, "SubNetClosed", QStringLiteral("closed"), {});
}

void Client::connectSubNetSignals(const QString& path) {
    const QString iface = QString::fromLatin1(bus::kSubNetInterface);
    const struct {
        const char* signal;
        const char* slot;
    } forwarded[] = {
        {"ProgressChanged", SLOT(onProgress(uchar, QDBusMessage))},
        {"Error", SLOT(onError(bool, QString, QDBusMessage))},
        {"MemoryChanged", SLOT(onMemoryChanged(uchar, QDBusMessage))},
        {"DirectoryChanged", SLOT(onDirectoryChanged(uchar, QDBusMessage))},
        {"TransferRunning", SLOT(onTransferRunning(bool, uchar, QDBusMessage))},
        {"CommunicationChanged", SLOT(onCommunicationChanged(bool, QDBusMessage))},
    };
    for (const auto& s : forwarded) {
        connection_.connect(destination_, path, iface, QString::fromLatin1(s.signal), this, s.slot);
    }
}

int Client::watch() {
    const QString manager = QString::fromLatin1(bus::kManagerPath);
    const QString managerInterface = QString::fromLatin1(bus::kManagerInterface);
    connection_.connect(destination_, manager, managerInterface, QStringLiteral("SubNetStarted"),
                        this, SLOT(onSubNetStarted(qint16)));
    connection_.connect(destination_, manager, managerInterface, QStringLiteral("SubNetClosed"),
                        this, SLOT(onSubNetClosed(qint16)));
    for (int n = 1; n <= 16; ++n) {
        if (arguments_.subNet == 0 || arguments_.subNet == n) {
            connectSubNetSignals(QString::fromLatin1(bus::kSubNetPathPrefix) + QString::number(n));
        }
    }
    QEventLoop loop;
    int status = kDone;
    QDBusServiceWatcher gone(destination_, connection_,
                             QDBusServiceWatcher::WatchForUnregistration);
    QObject::connect(&gone, &QDBusServiceWatcher::serviceUnregistered, [&] {
        print(stderr, QStringLiteral("ferixdncctl: FerixDNC has ended\n"));
        status = kNotRunning;
        loop.quit();
    });
    QTimer interrupts;
    QObject::connect(&interrupts, &QTimer::timeout, [&] {
        if (g_interrupted) {
            loop.quit();
        }
    });
    interrupts.start(kInterruptCheckMs);
    if (arguments_.json) {
        print(stdout, json(QJsonObject{{"signal", "Watching"}, {"subnet", arguments_.subNet}}));
    } else {
        print(stdout,
              arguments_.subNet == 0
                  ? QStringLiteral("Watching every sub net; Ctrl-C ends.\n")
                  : QStringLiteral("Watching sub net %1; Ctrl-C ends.\n").arg(arguments_.subNet));
    }
    loop.exec();
    return status;
}

}  // namespace ferixdncctl
