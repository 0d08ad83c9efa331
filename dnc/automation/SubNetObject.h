// A running sub net on D-Bus (/org/ferixdnc/DNC/SubNet/<N>, org.ferixdnc.DNC.SubNet). Lives on
// the network's thread. Requests are queued here and handed to the sub net one at a time, so
// that a request made while another runs waits its turn; each call is answered when the
// control's request has ended, and fails with the text of every error the control reported
// while it ran. A request whose caller has left the bus before it starts is dropped; beyond
// kWaitingLimit waiting requests a new one is refused as busy. The history records each
// request's transfers under the caller's user.
#pragma once

#include <QDBusConnection>
#include <QDBusContext>
#include <QDBusMessage>
#include <QDBusServiceWatcher>
#include <QObject>
#include <QStringList>
#include <atomic>
#include <deque>
#include <functional>
#include <memory>
#include <optional>

#include "comm/FerixComm.h"
#include "dnc/automation/BusTypes.h"
#include "dnc/history/Revisions.h"
#include "dnc/manager/Network.h"

namespace dnc::automation {

class SubNetObject : public QObject, protected QDBusContext {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.ferixdnc.DNC.SubNet")
    Q_PROPERTY(QString Caption READ caption)
    Q_PROPERTY(int Protocol READ protocol)
    Q_PROPERTY(bool Active READ active)
    Q_PROPERTY(bool Busy READ busy)
    Q_PROPERTY(uchar Progress READ progress)
    Q_PROPERTY(QString LastError READ lastError)

public:
    // Requests that may wait while another runs; one more is refused.
    static constexpr std::size_t kWaitingLimit = 16;

    SubNetObject(Network& network, int subNet, QDBusConnection connection);
    ~SubNetObject() override;

    QString path() const;
    // An event of this sub net, in the order the sub net raised it.
    void onEvent(const SubNetEvent& event);
    // The sub net has closed: every call still waiting fails.
    void onClosed();

    QString caption() const { return caption_; }
    int protocol() const { return static_cast<int>(protocol_); }
    bool active() const { return active_; }
    bool busy() const { return requestRunning_ || transferShown_; }
    uchar progress() const { return progress_; }
    QString lastError() const { return lastError_; }

public slots:
    void StartCommunication();
    void StopCommunication();
    void StopTransfer();
    void SendFile(uchar unit, const QString& name);
    void ReceiveFile(uchar unit, const QString& name, int length);
    void RemoveFile(uchar unit, const QString& name);
    int MemoryList(uchar unit, int& free, int& section, QList<dnc::bus::MemoryFile>& files);
    void UnitCommand(uchar unit, const QString& command, const QString& argument);

    // The revisions of the programs in the unit directories of `unit` (0: every unit) named
    // `name` ("": every name), newest first; how two compare; the operator's decisions. An
    // accept or reject of another site's revision (in a shared history) is asked of that site,
    // which carries it out: the answer says so ("" when it was carried out here).
    QList<dnc::bus::RevisionEntry> Revisions(uchar unit, const QString& name);
    QString CompareRevisions(qlonglong id, qlonglong other);
    QString AcceptRevision(qlonglong id);
    QString RejectRevision(qlonglong id);
    void RestoreRevision(qlonglong id);

    // The signals, declared for the interface's description. They are sent on the connection
    // itself, like the answers, so that they leave in the order they happened and before the
    // answer of the request that raised them.
signals:
    void ProgressChanged(uchar progress);
    void Error(bool operatorRequest, const QString& description);
    void MemoryChanged(uchar unit);
    void DirectoryChanged(uchar unit);
    void TransferRunning(bool running, uchar direction);
    void CommunicationChanged(bool active);
    void RevisionPending(uchar unit, const QString& name, qlonglong id);

public:
    // A revision was written from a transfer of this sub net.
    void onRevision(const history::RevisionNotice& notice);

private:
    // What a request hands back from the sub net's thread.
    struct Result {
        std::optional<comm::MemoryList> list;
        std::string refusal;  // why the request did not go to the line
    };
    struct Outcome {
        Result result;
        comm::ProtocolEnum protocol = comm::ProtDNC;
        bool skipped = false;  // its caller had left before it began
    };
    using Work = std::function<Result(comm::ctrlFerixComm&)>;
    struct Pending {
        QDBusMessage message;
        Work work;
        std::uint8_t unit = 0;
        std::string user;  // the caller's
        // Set when the caller has left: a request handed over but not yet begun is skipped.
        std::shared_ptr<std::atomic<bool>> dropped = std::make_shared<std::atomic<bool>>(false);
    };
    // Cleared when the object goes, so that late reports from the sub net's thread find it
    // gone; touched on the network's thread only.
    struct Link {
        SubNetObject* object = nullptr;
    };

    bool refuse(const std::optional<std::string>& problem);
    void enqueue(std::uint8_t unit, Work work);
    void startNext();
    void callerLeft(const QString& caller);
    void unwatchIfDone(const QString& caller);
    void requestBegan();
    void requestEnded(const Outcome& outcome);
    void replyWaiting(std::vector<QDBusMessage>& calls, const QString& error);
    void failAll(const QString& why);
    void send(const char* signal, const QVariantList& arguments);
    void propertiesChanged(const QVariantMap& changed);
    void setBusy(bool requestRunning, bool transferShown);
    // `answers`: the method returns a text (the request filed, or "").
    void decide(revisions::Action action, qlonglong id, bool answers);
    // The user name of the caller of the current method.
    std::string callerName() const;

    Network& network_;
    const int subNet_;
    QDBusConnection connection_;
    std::shared_ptr<Link> link_;
    QDBusServiceWatcher callers_;
    std::deque<Pending> pending_;
    bool handedOver_ = false;  // the front request went to the sub net
    bool requestRunning_ = false;
    bool stopAsked_ = false;  // StopTransfer came while the request ran
    QStringList requestErrors_;
    std::vector<QDBusMessage> waitingStart_;
    std::vector<QDBusMessage> waitingStop_;

    QString caption_;
    comm::ProtocolEnum protocol_ = comm::ProtDNC;
    bool active_ = false;
    bool transferShown_ = false;
    uchar progress_ = 0;
    QString lastError_;
};

}  // namespace dnc::automation
