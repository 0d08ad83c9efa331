#include "dnc/automation/SubNetObject.h"

#include <pwd.h>

#include <QDBusConnectionInterface>
#include <filesystem>

#include "comm/dnc/UnitDirectory.h"
#include "dnc/automation/BusCallers.h"
#include "dnc/automation/BusNames.h"
#include "dnc/automation/RequestArguments.h"
#include "dnc/manager/RevisionDesk.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc::automation {

namespace {

// The answers of an accept or reject asked of another site.
constexpr int kAskedToAccept = 1944;
constexpr int kAskedToReject = 1945;

QString text(const std::string& s) {
    return QString::fromStdString(s);
}

std::string plain(const QString& s) {
    return s.toStdString();
}

}  // namespace

SubNetObject::SubNetObject(Network& network, int subNet, QDBusConnection connection)
    : network_(network),
      subNet_(subNet),
      connection_(std::move(connection)),
      link_(std::make_shared<Link>()) {
    link_->object = this;
    callers_.setConnection(connection_);
    callers_.setWatchMode(QDBusServiceWatcher::WatchForUnregistration);
    connect(&callers_, &QDBusServiceWatcher::serviceUnregistered, this, &SubNetObject::callerLeft);
    // The state at the moment of export; from here on the events keep it.
    if (SubNet* running = network_.runningSubNet(subNet_)) {
        struct State {
            std::string caption;
            comm::ProtocolEnum protocol;
            bool active;
        };
        const State state = running->call<State>([](comm::ctrlFerixComm& c) {
            return State{c.Caption(), c.Protocol(), c.Active()};
        });
        caption_ = text(state.caption);
        protocol_ = state.protocol;
        active_ = state.active;
    }
}

SubNetObject::~SubNetObject() {
    link_->object = nullptr;
    failAll(QStringLiteral("Sub net %1 was closed").arg(subNet_));
}

QString SubNetObject::path() const {
    return QString::fromLatin1(bus::kSubNetPathPrefix) + QString::number(subNet_);
}

void SubNetObject::onEvent(const SubNetEvent& event) {
    using Kind = SubNetEvent::Kind;
    if (!event.caption.empty()) {
        caption_ = text(event.caption);
    }
    switch (event.kind) {
        case Kind::FerixMemChanged:
            send("MemoryChanged", {QVariant::fromValue(event.unit)});
            break;
        case Kind::FerixDirChanged:
            send("DirectoryChanged", {QVariant::fromValue(event.unit)});
            break;
        case Kind::ProgressChanged:
            progress_ = event.progress;
            send("ProgressChanged", {QVariant::fromValue(event.progress)});
            propertiesChanged({{QStringLiteral("Progress"), QVariant::fromValue(progress_)}});
            break;
        case Kind::OnError:
            lastError_ = text(event.description);
            if (requestRunning_) {
                requestErrors_ << lastError_;
            }
            send("Error", {event.reqSidePC, lastError_});
            propertiesChanged({{QStringLiteral("LastError"), lastError_}});
            break;
        case Kind::ShowStop:
            setBusy(requestRunning_, event.showButton);
            send("TransferRunning", {event.showButton, QVariant::fromValue(event.direction)});
            break;
        case Kind::CommunicationStarted:
            active_ = true;
            send("CommunicationChanged", {true});
            propertiesChanged({{QStringLiteral("Active"), true}});
            replyWaiting(waitingStart_, {});
            break;
        case Kind::CommunicationStopped:
            active_ = false;
            send("CommunicationChanged", {false});
            propertiesChanged({{QStringLiteral("Active"), false}});
            replyWaiting(waitingStop_, {});
            replyWaiting(waitingStart_, QStringLiteral("Communication stopped"));
            break;
        case Kind::StartFailed:
            lastError_ = text(event.description);
            send("Error", {false, lastError_});
            propertiesChanged({{QStringLiteral("LastError"), lastError_}});
            replyWaiting(waitingStart_, lastError_);
            break;
        case Kind::SettingProblem:  // logged by the service
        case Kind::ConfigChanged:   // what the bus shows is read when it is asked for
        case Kind::Closing:
        case Kind::TransferBegun:  // the log's; the bus tells the end through History
        case Kind::TransferFinished:
            break;
    }
}

void SubNetObject::onClosed() {
    failAll(QStringLiteral("Sub net %1 was closed").arg(subNet_));
}

void SubNetObject::replyWaiting(std::vector<QDBusMessage>& calls, const QString& error) {
    for (const QDBusMessage& call : calls) {
        connection_.send(error.isEmpty() ? call.createReply()
                                         : call.createErrorReply(bus::kRequestFailed, error));
    }
    calls.clear();
}

void SubNetObject::failAll(const QString& why) {
    link_->object = nullptr;  // a request still on the sub net's thread reports to nobody
    link_ = std::make_shared<Link>();
    link_->object = this;
    for (const Pending& p : pending_) {
        connection_.send(p.message.createErrorReply(bus::kRequestFailed, why));
    }
    pending_.clear();
    callers_.setWatchedServices({});
    handedOver_ = false;
    requestRunning_ = false;
    requestErrors_.clear();
    replyWaiting(waitingStart_, why);
    replyWaiting(waitingStop_, why);
}

void SubNetObject::send(const char* signal, const QVariantList& arguments) {
    QDBusMessage message = QDBusMessage::createSignal(
        path(), QString::fromLatin1(bus::kSubNetInterface), QString::fromLatin1(signal));
    message.setArguments(arguments);
    connection_.send(message);
}

void SubNetObject::propertiesChanged(const QVariantMap& changed) {
    QDBusMessage signal =
        QDBusMessage::createSignal(path(), QStringLiteral("org.freedesktop.DBus.Properties"),
                                   QStringLiteral("PropertiesChanged"));
    signal << QString::fromLatin1(bus::kSubNetInterface) << changed << QStringList();
    connection_.send(signal);
}

void SubNetObject::setBusy(bool requestRunning, bool transferShown) {
    const bool before = busy();
    requestRunning_ = requestRunning;
    transferShown_ = transferShown;
    if (busy() != before) {
        propertiesChanged({{QStringLiteral("Busy"), busy()}});
    }
}

bool SubNetObject::refuse(const std::optional<std::string>& problem) {
    if (problem) {
        sendErrorReply(bus::kInvalidArgs, text(*problem));
        return true;
    }
    return false;
}

void SubNetObject::StartCommunication() {
    SubNet* running = network_.runningSubNet(subNet_);
    if (running == nullptr || active_) {
        return;
    }
    setDelayedReply(true);
    waitingStart_.push_back(message());
    running->StartCommunication();
}

void SubNetObject::StopCommunication() {
    SubNet* running = network_.runningSubNet(subNet_);
    if (running == nullptr || !active_) {
        return;
    }
    running->StopCommunication();
    // A line without a service loop (no protocol to serve) reports no end of it.
    if (protocol_ != comm::ProtFerix) {
        setDelayedReply(true);
        waitingStop_.push_back(message());
    }
}

void SubNetObject::StopTransfer() {
    if (SubNet* running = network_.runningSubNet(subNet_)) {
        stopAsked_ = requestRunning_;
        running->StopTransfer();
    }
}

void SubNetObject::SendFile(uchar unit, const QString& name) {
    const std::string file = plain(name);
    if (refuse(unitProblem(unit)) || refuse(fileNameProblem(file)) ||
        (protocol_ == comm::ProtDNC && refuse(dncSendNameProblem(file)))) {
        return;
    }
    enqueue(unit, [unit, file](comm::ctrlFerixComm& c) -> Result {
        // A DNC unit is sent a missing program as an empty one, which serves a unit's own
        // request; a script that names a file that is not there is told so instead.
        if (c.Protocol() == comm::ProtDNC) {
            const auto path = comm::dnc::unitFile(c, unit, file);
            std::error_code ec;
            if (path && !std::filesystem::exists(path.value(), ec)) {
                return Result{std::nullopt,
                              "There is no file " + file + " in the unit directory of unit " +
                                  std::to_string(unit) + " (" + path.value().string() + ")"};
            }
        }
        c.DoPcRequestFileToFerix(unit, file);
        return {};
    });
}

void SubNetObject::ReceiveFile(uchar unit, const QString& name, int length) {
    const std::string file = plain(name);
    if (refuse(unitProblem(unit)) || refuse(fileNameProblem(file))) {
        return;
    }
    if (length < 0) {
        sendErrorReply(bus::kInvalidArgs, QStringLiteral("the length must not be negative"));
        return;
    }
    const bool dnc = protocol_ == comm::ProtDNC;
    enqueue(unit, [unit, file, length, dnc](comm::ctrlFerixComm& c) -> Result {
        c.DoPcRequestFileFromFerix(unit, dnc ? dncReceiveName(file, c.WorkTextExt()) : file,
                                   length);
        return {};
    });
}

void SubNetObject::RemoveFile(uchar unit, const QString& name) {
    const std::string file = plain(name);
    if (refuse(unitProblem(unit)) || refuse(fileNameProblem(file))) {
        return;
    }
    enqueue(unit, [unit, file](comm::ctrlFerixComm& c) -> Result {
        c.DoPCRequestRemoveFile(unit, file);
        return {};
    });
}

int SubNetObject::MemoryList(uchar unit, int&, int&, QList<bus::MemoryFile>&) {
    if (refuse(unitProblem(unit))) {
        return 0;
    }
    enqueue(unit, [unit](comm::ctrlFerixComm& c) -> Result {
        return Result{c.FerixLst(unit), {}};
    });
    return 0;
}

void SubNetObject::UnitCommand(uchar unit, const QString& command, const QString& argument) {
    if (refuse(unitProblem(unit))) {
        return;
    }
    const automation::UnitCommand* found = findUnitCommand(plain(command));
    if (found == nullptr) {
        refuse("unknown command \"" + plain(command) + "\"; the commands are " +
               unitCommandNames());
        return;
    }
    const std::string file = plain(argument);
    if (refuse(commandArgumentProblem(*found, file))) {
        return;
    }
    const auto run = found->run;
    enqueue(unit, [unit, file, run](comm::ctrlFerixComm& c) -> Result {
        run(c, unit, file);
        return {};
    });
}

void SubNetObject::enqueue(std::uint8_t unit, Work work) {
    const std::size_t waiting = pending_.size() - (handedOver_ ? 1 : 0);
    if (waiting >= kWaitingLimit) {
        sendErrorReply(bus::kRequestFailed, QStringLiteral("busy"));
        return;
    }
    const QString caller = message().service();
    const std::optional<std::string> user = callerUser(connection_, caller);
    if (!user) {
        return;  // gone already: nobody waits for the answer
    }
    setDelayedReply(true);
    Pending request{message(), std::move(work), unit, *user};
    pending_.push_back(std::move(request));
    if (!callers_.watchedServices().contains(caller)) {
        callers_.addWatchedService(caller);
    }
    startNext();
}

void SubNetObject::callerLeft(const QString& caller) {
    // The front request may be handed over already: it is skipped unless it has begun.
    for (auto it = pending_.begin(); it != pending_.end();) {
        if (it->message.service() != caller) {
            ++it;
        } else if (handedOver_ && it == pending_.begin()) {
            it->dropped->store(true);
            ++it;
        } else {
            it = pending_.erase(it);
        }
    }
    callers_.removeWatchedService(caller);
}

void SubNetObject::unwatchIfDone(const QString& caller) {
    for (const Pending& p : pending_) {
        if (p.message.service() == caller) {
            return;
        }
    }
    callers_.removeWatchedService(caller);
}

void SubNetObject::startNext() {
    if (handedOver_) {
        return;
    }
    // The watch may have missed a caller that left right after its call: asked once more.
    while (!pending_.empty() && !callerPresent(connection_, pending_.front().message.service())) {
        const QString caller = pending_.front().message.service();
        pending_.pop_front();
        unwatchIfDone(caller);
    }
    if (pending_.empty()) {
        return;
    }
    SubNet* running = network_.runningSubNet(subNet_);
    if (running == nullptr) {
        failAll(QStringLiteral("Sub net %1 is not running").arg(subNet_));
        return;
    }
    handedOver_ = true;
    Network* network = &network_;
    const Pending& front = pending_.front();
    // Both reports travel behind the events the request raises, so the errors between them
    // are this request's own.
    running->postRequest(
        [link = link_, network, work = front.work,
         dropped = front.dropped](comm::ctrlFerixComm& control) {
            Outcome outcome;
            if (dropped->load()) {
                outcome.skipped = true;
            } else {
                network->postToNetwork([link] {
                    if (link->object != nullptr) {
                        link->object->requestBegan();
                    }
                });
                outcome.result = work(control);
            }
            outcome.protocol = control.Protocol();
            network->postToNetwork([link, outcome] {
                if (link->object != nullptr) {
                    link->object->requestEnded(outcome);
                }
            });
        },
        SubNet::Urgency::Operator, front.user);
}

void SubNetObject::requestBegan() {
    requestErrors_.clear();
    stopAsked_ = false;
    setBusy(true, transferShown_);
}

void SubNetObject::requestEnded(const Outcome& outcome) {
    protocol_ = outcome.protocol;
    const Pending done = pending_.front();
    pending_.pop_front();
    handedOver_ = false;
    unwatchIfDone(done.message.service());
    if (outcome.skipped) {
        startNext();  // its caller has left: no answer
        return;
    }
    const bool stopped = stopAsked_;
    stopAsked_ = false;
    const QStringList errors = requestErrors_;
    requestErrors_.clear();
    setBusy(false, transferShown_);

    if (!outcome.result.refusal.empty()) {
        connection_.send(
            done.message.createErrorReply(bus::kRequestFailed, text(outcome.result.refusal)));
    } else if (!errors.isEmpty()) {
        connection_.send(done.message.createErrorReply(bus::kRequestFailed, errors.join('\n')));
    } else if (stopped) {
        // The control ends a stopped transfer quietly; the caller must not take it for done.
        connection_.send(done.message.createErrorReply(bus::kRequestFailed,
                                                       QStringLiteral("The transfer was stopped")));
    } else if (outcome.result.list) {
        const comm::MemoryList& list = *outcome.result.list;
        if (list.kind == comm::MemoryList::Kind::List && list.count < 0) {
            connection_.send(done.message.createErrorReply(
                bus::kRequestFailed,
                QStringLiteral("The memory list of unit %1 could not be read").arg(done.unit)));
        } else {
            // A protocol without a memory list answers with the count -2.
            const bool listed = list.kind == comm::MemoryList::Kind::List;
            QList<bus::MemoryFile> files;
            for (const comm::MemoryListEntry& entry : list.entries) {
                files.append(bus::MemoryFile{text(entry.name), static_cast<qint32>(entry.size)});
            }
            connection_.send(done.message.createReply(QVariantList{
                listed ? list.count : -2,
                static_cast<qint32>(list.freeMemory.value_or(0)),
                list.section.value_or(0),
                QVariant::fromValue(files),
            }));
        }
    } else {
        connection_.send(done.message.createReply());
    }
    startNext();
}

std::string SubNetObject::callerName() const {
    const auto uid = connection_.interface()->serviceUid(message().service());
    if (!uid.isValid()) {
        return "unknown";
    }
    struct passwd entry {};
    struct passwd* found = nullptr;
    char buffer[1024];
    if (getpwuid_r(uid.value(), &entry, buffer, sizeof buffer, &found) == 0 && found != nullptr) {
        return found->pw_name;
    }
    return "uid " + std::to_string(uid.value());
}

QList<bus::RevisionEntry> SubNetObject::Revisions(uchar unit, const QString& name) {
    RevisionDesk* desk = network_.revisionDesk();
    if (desk == nullptr) {
        sendErrorReply(bus::kNotSupported, QStringLiteral("This FerixDNC keeps no history"));
        return {};
    }
    if (unit != 0 && refuse(unitProblem(unit))) {
        return {};
    }
    history::RevisionFilter filter;
    filter.subNet = subNet_;
    if (unit != 0) {
        filter.unit = unit;
    }
    filter.name = plain(name);
    std::string error;
    const auto rows = desk->list(filter, error);
    if (!rows) {
        sendErrorReply(bus::kRequestFailed, text(error));
        return {};
    }
    QList<bus::RevisionEntry> entries;
    for (const history::RevisionRow& r : *rows) {
        entries.append(bus::RevisionEntry{r.id, text(r.name), static_cast<uchar>(r.unit),
                                          text(std::string(revisions::toText(r.state))),
                                          text(std::string(revisions::toText(r.source))), r.size,
                                          r.timeUs, text(r.sha256), text(r.user), text(r.note)});
    }
    return entries;
}

QString SubNetObject::CompareRevisions(qlonglong id, qlonglong other) {
    RevisionDesk* desk = network_.revisionDesk();
    if (desk == nullptr) {
        sendErrorReply(bus::kNotSupported, QStringLiteral("This FerixDNC keeps no history"));
        return {};
    }
    if (id <= 0 || other < 0) {
        sendErrorReply(bus::kInvalidArgs, QStringLiteral("a revision is a positive number"));
        return {};
    }
    if (refuse(desk->foreign(subNet_, id)) ||
        (other != 0 && refuse(desk->foreign(subNet_, other)))) {
        return {};
    }
    std::string error;
    const auto diff = desk->compare(id, other, error);
    if (!diff) {
        sendErrorReply(bus::kRequestFailed, text(error));
        return {};
    }
    return text(*diff);
}

QString SubNetObject::AcceptRevision(qlonglong id) {
    decide(revisions::Action::Accept, id, true);
    return {};
}

QString SubNetObject::RejectRevision(qlonglong id) {
    decide(revisions::Action::Reject, id, true);
    return {};
}

void SubNetObject::RestoreRevision(qlonglong id) {
    decide(revisions::Action::Restore, id, false);
}

void SubNetObject::decide(revisions::Action action, qlonglong id, bool answers) {
    RevisionDesk* desk = network_.revisionDesk();
    SubNet* running = network_.runningSubNet(subNet_);
    if (desk == nullptr || running == nullptr) {
        sendErrorReply(bus::kNotSupported, QStringLiteral("This FerixDNC keeps no history"));
        return;
    }
    // Another site's files are never touched here: that site is asked to decide.
    if (answers) {
        if (const auto owner = desk->otherSite(id)) {
            std::string error;
            const auto filed = desk->ask(action, id, callerName(), error);
            if (!filed) {
                sendErrorReply(bus::kRequestFailed, text(error));
                return;
            }
            const int asked = action == revisions::Action::Accept ? kAskedToAccept : kAskedToReject;
            setDelayedReply(true);
            connection_.send(
                message().createReply(text(loc::resString(asked))
                                          .replace(QStringLiteral("%1"), text(*owner))
                                          .replace(QStringLiteral("%2"), QString::number(id))
                                          .replace(QStringLiteral("%3"), QString::number(*filed))));
            return;
        }
    }
    if (refuse(desk->refusal(action, subNet_, id))) {
        return;
    }
    setDelayedReply(true);
    Network* network = &network_;
    desk->act(
        *running, action, id, callerName(),
        [network, link = link_, call = message(), answers](const history::ActionResult& result) {
            network->postToNetwork([link, call, result, answers] {
                if (link->object == nullptr) {
                    return;
                }
                link->object->connection_.send(
                    !result.ok ? call.createErrorReply(bus::kRequestFailed, text(result.error))
                    : answers  ? call.createReply(QString())
                               : call.createReply());
            });
        });
}

void SubNetObject::onRevision(const history::RevisionNotice& notice) {
    if (notice.state == revisions::State::Pending) {
        send("RevisionPending", {QVariant::fromValue(static_cast<uchar>(notice.unit)),
                                 text(notice.name), QVariant::fromValue(qlonglong{notice.id})});
    }
}

}  // namespace dnc::automation
