#include "dnc/automation/NetworkBus.h"

#include <unistd.h>

#include <QDBusConnectionInterface>

#include "dnc/automation/BusNames.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/manager/RevisionDesk.h"

namespace dnc::automation {

namespace {

constexpr QDBusConnection::RegisterOptions kExport = QDBusConnection::ExportAllSlots |
                                                     QDBusConnection::ExportAllSignals |
                                                     QDBusConnection::ExportAllProperties;

}  // namespace

NetworkBus::NetworkBus(Network& network, QDBusConnection connection, Note note)
    : network_(network),
      connection_(std::move(connection)),
      note_(std::move(note)),
      manager_(network, connection_) {
    bus::registerBusTypes();
}

NetworkBus::~NetworkBus() {
    network_.setObserver(nullptr);
    *alive_ = nullptr;
    if (RevisionDesk* desk = network_.revisionDesk(); desk != nullptr && listener_ != 0) {
        desk->removeListener(listener_);
    }
    if (published_) {
        for (const auto& [n, object] : subNets_) {
            connection_.unregisterObject(object->path());
        }
        connection_.unregisterObject(QString::fromLatin1(bus::kManagerPath));
        connection_.unregisterService(QString::fromLatin1(bus::kService));
        connection_.unregisterService(instanceName());
    }
}

QString NetworkBus::instanceName() const {
    return QString::fromLatin1(bus::kInstancePrefix) + QString::number(::getpid());
}

bool NetworkBus::publish() {
    if (!connection_.isConnected()) {
        note_("no D-Bus connection: " + connection_.lastError().message().toStdString());
        return false;
    }
    if (!connection_.registerObject(QString::fromLatin1(bus::kManagerPath), &manager_, kExport)) {
        note_("D-Bus: the manager object could not be registered");
        return false;
    }
    published_ = true;
    network_.setObserver(this);
    if (RevisionDesk* desk = network_.revisionDesk()) {
        // From the history's thread to this one, behind the events of the transfer.
        listener_ = desk->addListener(
            [alive = alive_, network = &network_](const history::RevisionNotice& n) {
                network->postToNetwork([alive, n] {
                    if (NetworkBus* bus = *alive) {
                        const auto found = bus->subNets_.find(n.subNet);
                        if (found != bus->subNets_.end()) {
                            found->second->onRevision(n);
                        }
                    }
                });
            });
    }
    for (const SubNetEntry& entry : network_.subNetEntries()) {
        if (entry.running) {
            exportSubNet(entry.number);
        }
    }
    // Each name on its own: a bus whose policy refuses one of them still gets the other.
    QDBusConnectionInterface* names = connection_.interface();
    const auto instance =
        names->registerService(instanceName(), QDBusConnectionInterface::DontQueueService);
    const bool ownsInstance =
        instance.isValid() && instance.value() == QDBusConnectionInterface::ServiceRegistered;
    if (ownsInstance) {
        note_("D-Bus: owns " + instanceName().toStdString());
    } else {
        note_("D-Bus: the name " + instanceName().toStdString() +
              " could not be owned: " + instance.error().message().toStdString());
    }
    const auto common = names->registerService(QString::fromLatin1(bus::kService),
                                               QDBusConnectionInterface::QueueService,
                                               QDBusConnectionInterface::DontAllowReplacement);
    if (common.isValid() && common.value() == QDBusConnectionInterface::ServiceRegistered) {
        note_(std::string("D-Bus: owns ") + bus::kService);
        return true;
    }
    if (common.isValid() && common.value() == QDBusConnectionInterface::ServiceQueued) {
        connect(names, &QDBusConnectionInterface::serviceRegistered, this,
                [this](const QString& name) {
                    if (name == QLatin1String(bus::kService)) {
                        note_("D-Bus: now owns " + name.toStdString());
                    }
                });
        note_(std::string("D-Bus: ") + bus::kService +
              " is owned by another process; this one takes it over when that one ends");
        return ownsInstance;
    }
    note_(std::string("D-Bus: the name ") + bus::kService +
          " could not be owned: " + common.error().message().toStdString());
    return ownsInstance;
}

void NetworkBus::subNetStarted(int subNet) {
    exportSubNet(subNet);
    manager_.announceStarted(subNet);
}

void NetworkBus::exportSubNet(int subNet) {
    if (subNets_.count(subNet) == 0) {
        auto object = std::make_unique<SubNetObject>(network_, subNet, connection_);
        if (!connection_.registerObject(object->path(), object.get(), kExport)) {
            note_("D-Bus: the object of sub net " + std::to_string(subNet) +
                  " could not be registered");
        }
        subNets_.emplace(subNet, std::move(object));
    }
}

void NetworkBus::subNetClosed(int subNet) {
    const auto found = subNets_.find(subNet);
    if (found != subNets_.end()) {
        found->second->onClosed();
        connection_.unregisterObject(found->second->path());
        subNets_.erase(found);
    }
    manager_.announceClosed(subNet);
}

void NetworkBus::subNetEvent(const SubNetEvent& event) {
    const auto found = subNets_.find(event.subNet);
    if (found != subNets_.end()) {
        found->second->onEvent(event);
    }
}

}  // namespace dnc::automation
