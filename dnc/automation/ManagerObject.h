// The network on D-Bus (/org/ferixdnc/DNC, org.ferixdnc.DNC.Manager): what the manager's
// buttons do, for other programs.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QObject>

#include "dnc/automation/BusTypes.h"
#include "dnc/manager/Network.h"

namespace dnc::automation {

class ManagerObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.ferixdnc.DNC.Manager")

public:
    ManagerObject(Network& network, QDBusConnection connection)
        : network_(network), connection_(std::move(connection)) {}

    void announceStarted(int subNet) { announce("SubNetStarted", subNet); }
    void announceClosed(int subNet) { announce("SubNetClosed", subNet); }

public slots:
    QList<dnc::bus::SubNetRow> SubNets();
    void Start(qint16 subNet);
    void Stop(qint16 subNet);
    // A network without windows (the headless service) refuses Show with NotSupported: the
    // caller asked to see something that does not exist. Hide succeeds there, since nothing
    // is shown.
    void Show(qint16 subNet);
    void Hide(qint16 subNet);

    // Declared for the interface's description; sent on the connection itself (see
    // SubNetObject), in order with the answers.
signals:
    void SubNetStarted(qint16 subNet);
    void SubNetClosed(qint16 subNet);

private:
    bool refused(qint16 subNet);
    void announce(const char* signal, int subNet);

    Network& network_;
    QDBusConnection connection_;
};

}  // namespace dnc::automation
