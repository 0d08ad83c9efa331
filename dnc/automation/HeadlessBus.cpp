#include "dnc/automation/HeadlessBus.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QTimer>

#include "dnc/automation/NetworkBus.h"

namespace dnc::automation {

namespace {

constexpr int kHousekeepingMs = 100;  // retries of unopened ports, the stop flag

}  // namespace

int runHeadlessOnBus(HeadlessService& service, EventLog& log, BusKind bus,
                     const std::atomic<bool>& stop, int argc, char** argv) {
    QCoreApplication application(argc, argv);
    QObject events;
    // Sub nets post from their threads; the loop serves what they posted.
    service.setWake([&events, &service] {
        QMetaObject::invokeMethod(
            &events, [&service] { service.serviceOnce(std::chrono::milliseconds(0)); },
            Qt::QueuedConnection);
    });
    const auto note = [&log](const std::string& text) { log.note(0, "FerixDNC", text); };

    QDBusConnection connection =
        bus == BusKind::System ? QDBusConnection::systemBus() : QDBusConnection::sessionBus();
    auto exported = std::make_unique<NetworkBus>(service, connection, note);
    if (service.start() == 0) {
        note(
            "no sub net runs yet: flag one for start-up in section \"Common\", name it with "
            "--subnet, or start it over D-Bus");
    }
    if (!exported->publish()) {
        // The reason came just before, in the bus's own words.
        note(std::string("not driven over D-Bus on the ") +
             (bus == BusKind::System ? "system" : "session") + " bus (see above)");
    }

    QTimer housekeeping;
    QObject::connect(&housekeeping, &QTimer::timeout, [&] {
        service.serviceOnce(std::chrono::milliseconds(0));
        if (stop) {
            housekeeping.stop();
            // Every sub net closes while the loop still runs, so that their last signals
            // leave before the bus names go.
            service.closeAll();
            QTimer::singleShot(0, &application, &QCoreApplication::quit);
        }
    });
    housekeeping.start(kHousekeepingMs);
    application.exec();
    service.closeAll();
    QCoreApplication::processEvents();
    exported.reset();
    service.setWake({});
    return 0;
}

}  // namespace dnc::automation
