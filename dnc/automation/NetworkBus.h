// Exports a network on one D-Bus connection: the manager object, an object per running sub
// net (made and removed as sub nets start and close), and the bus names of this process.
// Lives on the network's thread; the GUI program and the headless service use it alike.
#pragma once

#include <QDBusConnection>
#include <QObject>
#include <functional>
#include <map>
#include <memory>

#include "dnc/automation/ManagerObject.h"
#include "dnc/automation/SubNetObject.h"
#include "dnc/manager/Network.h"

namespace dnc::automation {

class NetworkBus : public QObject, public NetworkObserver {
    Q_OBJECT

public:
    using Note = std::function<void(const std::string&)>;

    // `note` is told what the bus export did (names owned, failures).
    NetworkBus(Network& network, QDBusConnection connection, Note note);
    ~NetworkBus() override;

    // Registers the objects and asks for the bus names: the instance name of this process,
    // and the common name when free (otherwise queued for it, so that it is taken over when
    // its owner ends). Every failure is told to `note` with the bus's own reason. False when
    // there is no connection, the objects could not be registered, or no name reaches this
    // process (neither owned nor queued for).
    bool publish();

    QString instanceName() const;

    // NetworkObserver
    void subNetStarted(int subNet) override;
    void subNetClosed(int subNet) override;
    void subNetEvent(const SubNetEvent& event) override;

private:
    void exportSubNet(int subNet);

    Network& network_;
    QDBusConnection connection_;
    Note note_;
    ManagerObject manager_;
    std::map<int, std::unique_ptr<SubNetObject>> subNets_;
    bool published_ = false;
    // Cleared when the bus goes, so that a revision announced late finds it gone.
    int listener_ = 0;  // at the revision desk
    std::shared_ptr<NetworkBus*> alive_ = std::make_shared<NetworkBus*>(this);
};

}  // namespace dnc::automation
