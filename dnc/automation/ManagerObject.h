// The network on D-Bus (/org/ferixdnc/DNC, org.ferixdnc.DNC.Manager): what the manager's
// buttons do, for other programs.
#pragma once

#include <QDBusContext>
#include <QObject>

#include "dnc/automation/BusTypes.h"
#include "dnc/manager/Network.h"

namespace dnc::automation {

class ManagerObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.ferixdnc.DNC.Manager")

public:
    explicit ManagerObject(Network& network) : network_(network) {}

public slots:
    QList<dnc::bus::SubNetRow> SubNets();
    void Start(qint16 subNet);
    void Stop(qint16 subNet);
    // A network without windows (the headless service) refuses Show with NotSupported: the
    // caller asked to see something that does not exist. Hide succeeds there, since nothing
    // is shown.
    void Show(qint16 subNet);
    void Hide(qint16 subNet);

signals:
    void SubNetStarted(qint16 subNet);
    void SubNetClosed(qint16 subNet);

private:
    bool refused(qint16 subNet);

    Network& network_;
};

}  // namespace dnc::automation
