// The headless FerixDNC as a child process on the test's own session bus (the tests run under
// dbus-run-session), its sub net 1 on a pseudo-terminal with simulated units 1 and 2 on the
// other end (unit 3 is configured but not connected), its sub net 2 on a second
// pseudo-terminal with a plain protocol. The test talks to it over D-Bus as any client would.
#pragma once

#include <gtest/gtest.h>

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCall>
#include <QObject>
#include <QStringList>
#include <chrono>
#include <filesystem>
#include <functional>
#include <memory>
#include <string>

#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/UnitSimulator.h"
#include "tests/support/ChildProgram.h"

// Failures show texts as texts.
inline void PrintTo(const QString& text, std::ostream* out) {
    *out << '"' << text.toStdString() << '"';
}

// Every signal of the service, one text a line, in the order they came.
class SignalLog : public QObject {
    Q_OBJECT

public:
    // Listens to the manager and to sub nets 1 and 2 of `service`.
    SignalLog(QDBusConnection bus, const QString& service);

    QStringList lines;
    // The lines that start with `prefix`.
    QStringList with(const QString& prefix) const;

public slots:
    void progress(uchar value, const QDBusMessage& m);
    void error(bool operatorRequest, const QString& text, const QDBusMessage& m);
    void memory(uchar unit, const QDBusMessage& m);
    void directory(uchar unit, const QDBusMessage& m);
    void transfer(bool running, uchar direction, const QDBusMessage& m);
    void communication(bool active, const QDBusMessage& m);
    void started(qint16 subNet);
    void closed(qint16 subNet);

private:
    void add(const QDBusMessage& m, const QString& text);
};

class BusTest : public ::testing::Test {
protected:
    static constexpr std::int32_t kSpeed = 4800;

    void SetUp() override;
    void TearDown() override;

    // Writes the settings of a service whose sub net 1 runs on `line` (and sub net 2 on
    // `plainLine`), with unit directories under `home`.
    static void writeSettings(const std::filesystem::path& file, const std::filesystem::path& home,
                              const sim::PtyPair& line, const sim::PtyPair& plainLine,
                              const std::string& caption);
    // Starts a headless FerixDNC, its history beside the settings (DNC.ini: DNC.db); returns
    // when it owns its instance name and sub net 1 serves.
    std::unique_ptr<ChildProgram> startService(const std::filesystem::path& settings);

    // Runs Qt's events until `done` holds; false when it did not within `limit`.
    static bool waitUntil(const std::function<bool()>& done,
                          std::chrono::seconds limit = std::chrono::seconds(60));
    // Calls a method of `service` and waits for the answer.
    QDBusMessage call(const QString& path, const QString& interface, const QString& method,
                      const QVariantList& arguments = {}, const QString& service = {});
    QDBusPendingCall callAsync(const QString& path, const QString& interface, const QString& method,
                               const QVariantList& arguments = {});
    QDBusMessage subNet(const QString& method, const QVariantList& arguments = {});
    QDBusMessage manager(const QString& method, const QVariantList& arguments = {});
    QVariant property(int subNet, const QString& name);
    static QString path(int subNet);

    void putFile(int unit, const std::string& name, const std::string& data);
    std::string readFile(int unit, const std::string& name);
    std::size_t unitEvents();
    // What the units reported, for the diagnosis of a failure.
    std::string unitHistory();

    QDBusConnection bus = QDBusConnection::sessionBus();
    std::filesystem::path dir;
    sim::PtyPair pty;
    sim::PtyPair plainPty;
    sim::unit::UnitSimulator units;
    std::unique_ptr<sim::unit::FdUnitLine> line;
    std::unique_ptr<ChildProgram> service;
    QString instance;  // the service's own bus name
    std::unique_ptr<SignalLog> signals_;
};
