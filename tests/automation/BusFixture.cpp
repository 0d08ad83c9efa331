#include "tests/automation/BusFixture.h"

#include <QCoreApplication>
#include <QDBusConnectionInterface>
#include <QDBusPendingCallWatcher>
#include <QDBusReply>
#include <QEventLoop>
#include <QThread>
#include <fstream>
#include <iterator>

#include "dnc/automation/BusNames.h"
#include "dnc/automation/BusTypes.h"

namespace fs = std::filesystem;
namespace bus = dnc::bus;

SignalLog::SignalLog(QDBusConnection connection, const QString& service) {
    const QString manager = QString::fromLatin1(bus::kManagerPath);
    const QString managerInterface = QString::fromLatin1(bus::kManagerInterface);
    connection.connect(service, manager, managerInterface, "SubNetStarted", this,
                       SLOT(started(qint16)));
    connection.connect(service, manager, managerInterface, "SubNetClosed", this,
                       SLOT(closed(qint16)));
    const QString iface = QString::fromLatin1(bus::kSubNetInterface);
    for (int n = 1; n <= 2; ++n) {
        const QString p = QString::fromLatin1(bus::kSubNetPathPrefix) + QString::number(n);
        connection.connect(service, p, iface, "ProgressChanged", this,
                           SLOT(progress(uchar, QDBusMessage)));
        connection.connect(service, p, iface, "Error", this,
                           SLOT(error(bool, QString, QDBusMessage)));
        connection.connect(service, p, iface, "MemoryChanged", this,
                           SLOT(memory(uchar, QDBusMessage)));
        connection.connect(service, p, iface, "DirectoryChanged", this,
                           SLOT(directory(uchar, QDBusMessage)));
        connection.connect(service, p, iface, "TransferRunning", this,
                           SLOT(transfer(bool, uchar, QDBusMessage)));
        connection.connect(service, p, iface, "CommunicationChanged", this,
                           SLOT(communication(bool, QDBusMessage)));
    }
}

QStringList SignalLog::with(const QString& prefix) const {
    QStringList found;
    for (const QString& l : lines) {
        if (l.startsWith(prefix)) {
            found << l;
        }
    }
    return found;
}

void SignalLog::add(const QDBusMessage& m, const QString& text) {
    lines << QStringLiteral("%1 %2").arg(m.path().section('/', -1), text);
}

void SignalLog::progress(uchar value, const QDBusMessage& m) {
    add(m, QStringLiteral("ProgressChanged %1").arg(value));
}
void SignalLog::error(bool operatorRequest, const QString& text, const QDBusMessage& m) {
    add(m, QStringLiteral("Error %1 %2").arg(operatorRequest).arg(text));
}
void SignalLog::memory(uchar unit, const QDBusMessage& m) {
    add(m, QStringLiteral("MemoryChanged %1").arg(unit));
}
void SignalLog::directory(uchar unit, const QDBusMessage& m) {
    add(m, QStringLiteral("DirectoryChanged %1").arg(unit));
}
void SignalLog::transfer(bool running, uchar direction, const QDBusMessage& m) {
    add(m, QStringLiteral("TransferRunning %1 %2").arg(running).arg(direction));
}
void SignalLog::communication(bool active, const QDBusMessage& m) {
    add(m, QStringLiteral("CommunicationChanged %1").arg(active));
}
void SignalLog::started(qint16 subNet) {
    lines << QStringLiteral("SubNetStarted %1").arg(subNet);
}
void SignalLog::closed(qint16 subNet) {
    lines << QStringLiteral("SubNetClosed %1").arg(subNet);
}

void BusTest::SetUp() {
    bus::registerBusTypes();
    ASSERT_TRUE(bus.isConnected()) << "the tests run under dbus-run-session";
    dir = fs::temp_directory_path() /
          ("ferix-bus-" + std::to_string(::getpid()) + "-" +
           ::testing::UnitTest::GetInstance()->current_test_info()->name());
    fs::remove_all(dir);
    for (int unit = 1; unit <= 3; ++unit) {
        fs::create_directories(dir / "home" / ("Ferix" + std::to_string(unit)));
    }
    units.addUnit(1);
    units.addUnit(2);
    line = std::make_unique<sim::unit::FdUnitLine>(units, pty.masterFd(),
                                                   sim::unit::characterTime(kSpeed, 11));
    line->preferPromptAnswers(true);
    line->start();
    writeSettings(dir / "DNC.ini", dir / "home", pty, plainPty, "Hall A");
    service = startService(dir / "DNC.ini");
    ASSERT_TRUE(service);
    instance = QString::fromLatin1(bus::kInstancePrefix) + QString::number(service->pid());
    signals_ = std::make_unique<SignalLog>(bus, instance);
}

void BusTest::TearDown() {
    signals_.reset();
    if (service) {
        service->signal(SIGTERM);
        EXPECT_EQ(service->exitCode(std::chrono::seconds(30)), 0) << service->output();
        service.reset();
    }
    line->stop();
    fs::remove_all(dir);
}

void BusTest::writeSettings(const fs::path& file, const fs::path& home, const sim::PtyPair& line,
                            const sim::PtyPair& plainLine, const std::string& caption) {
    std::ofstream(file) << "[Ports]\n"
                        << "1=" << line.devicePath() << "\n"
                        << "2=" << plainLine.devicePath() << "\n"
                        << "[Common]\n1=True\n"
                        << "[Config1]\nCaption=" << caption << "\nCommPort=1\n"
                        << "CommSpeed=" << kSpeed << "\nFerixHomeDir=" << home.string() << "/\n"
                        << "FerixDir1=Ferix1/\nConnected1=True\n"
                        << "FerixDir2=Ferix2/\nConnected2=True\n"
                        << "FerixDir3=Ferix3/\nConnected3=False\n"
                        << "[Config2]\nCaption=Plain line\nCommPort=2\nProtocol=4\n"
                        << "FerixHomeDir=" << home.string() << "/\n";
}

std::unique_ptr<ChildProgram> BusTest::startService(const fs::path& settings) {
    auto program = std::make_unique<ChildProgram>(
        FERIXDNC_PROGRAM,
        std::vector<std::string>{
            "--headless", "--config", settings.string(), "--history",
            (settings.parent_path() / (settings.stem().string() + ".db")).string()});
    const bool named =
        program->waitForOutput("D-Bus: owns org.ferixdnc.DNC.instance", std::chrono::seconds(30));
    const bool serving =
        named && program->waitForOutput("communication started", std::chrono::seconds(30));
    EXPECT_TRUE(serving) << program->output();
    if (!serving) {
        return nullptr;
    }
    return program;
}

bool BusTest::waitUntil(const std::function<bool()>& done, std::chrono::seconds limit) {
    const auto deadline = std::chrono::steady_clock::now() + limit;
    while (!done()) {
        if (std::chrono::steady_clock::now() > deadline) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        QThread::msleep(5);
    }
    return true;
}

QDBusPendingCall BusTest::callAsync(const QString& path, const QString& interface,
                                    const QString& method, const QVariantList& arguments) {
    QDBusMessage m = QDBusMessage::createMethodCall(instance, path, interface, method);
    m.setArguments(arguments);
    return bus.asyncCall(m, 120000);
}

QDBusMessage BusTest::call(const QString& path, const QString& interface, const QString& method,
                           const QVariantList& arguments, const QString& service) {
    QDBusMessage m = QDBusMessage::createMethodCall(service.isEmpty() ? instance : service, path,
                                                    interface, method);
    m.setArguments(arguments);
    QDBusPendingCall pending = bus.asyncCall(m, 120000);
    // The signals of the request are taken in before its answer, in the order they came.
    QDBusPendingCallWatcher watcher(pending);
    bool finished = false;
    QObject::connect(&watcher, &QDBusPendingCallWatcher::finished, [&] {
        finished = true;
        if (signals_) {
            signals_->lines << QStringLiteral("reply ") + method;
        }
    });
    waitUntil([&] { return finished; }, std::chrono::seconds(120));
    return pending.reply();
}

QString BusTest::path(int subNet) {
    return QString::fromLatin1(bus::kSubNetPathPrefix) + QString::number(subNet);
}

QDBusMessage BusTest::subNet(const QString& method, const QVariantList& arguments) {
    return call(path(1), QString::fromLatin1(bus::kSubNetInterface), method, arguments);
}

QDBusMessage BusTest::manager(const QString& method, const QVariantList& arguments) {
    return call(QString::fromLatin1(bus::kManagerPath), QString::fromLatin1(bus::kManagerInterface),
                method, arguments);
}

QVariant BusTest::property(int subNet, const QString& name) {
    const QDBusMessage reply = call(path(subNet), "org.freedesktop.DBus.Properties", "Get",
                                    {QString::fromLatin1(bus::kSubNetInterface), name});
    if (reply.type() != QDBusMessage::ReplyMessage) {
        return {};
    }
    return reply.arguments().value(0).value<QDBusVariant>().variant();
}

void BusTest::putFile(int unit, const std::string& name, const std::string& data) {
    std::ofstream(dir / "home" / ("Ferix" + std::to_string(unit)) / name, std::ios::binary) << data;
}

std::string BusTest::readFile(int unit, const std::string& name) {
    std::ifstream in(dir / "home" / ("Ferix" + std::to_string(unit)) / name, std::ios::binary);
    return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

std::size_t BusTest::unitEvents() {
    return line->withUnits([](sim::unit::UnitSimulator& u) { return u.events().size(); });
}

std::string BusTest::unitHistory() {
    return line->withUnits([](sim::unit::UnitSimulator& u) {
        std::string text;
        for (const sim::unit::UnitEvent& e : u.events()) {
            text += e.describe() + "\n";
        }
        return text;
    });
}
