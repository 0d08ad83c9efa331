#include "dnc/manager/SubNet.h"

#include "dnc/common/UserNames.h"
#include "dnc/config/SettingRules.h"
#include "dnc/config/SettingsCheck.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc {

namespace {

constexpr int kPictureActive = 2;

}  // namespace

// The control's site: every event goes to the owner as a value.
class SubNet::Site : public comm::ControlSite {
public:
    explicit Site(SubNet& subNet) : subNet_(subNet) {}

    void FerixMemChanged(std::uint8_t FerixAdr) override {
        SubNetEvent e(SubNetEvent::Kind::FerixMemChanged);
        e.unit = FerixAdr;
        subNet_.deliver(e);
    }
    void FerixDirChanged(std::uint8_t FerixAdr) override {
        SubNetEvent e(SubNetEvent::Kind::FerixDirChanged);
        e.unit = FerixAdr;
        subNet_.deliver(e);
    }
    void ProgressChanged(std::uint8_t Progress) override {
        SubNetEvent e(SubNetEvent::Kind::ProgressChanged);
        e.progress = Progress;
        subNet_.deliver(e);
    }
    void OnError(bool ReqSidePC, const std::string& Description, const std::string& Helpfile,
                 std::int32_t Context) override {
        SubNetEvent e(SubNetEvent::Kind::OnError);
        e.reqSidePC = ReqSidePC;
        e.description = Description;
        e.helpFile = Helpfile;
        e.context = Context;
        subNet_.deliver(e);
    }
    void ShowStop(bool ShowBtn, std::uint8_t Direction) override {
        SubNetEvent e(SubNetEvent::Kind::ShowStop);
        e.showButton = ShowBtn;
        e.direction = Direction;
        subNet_.deliver(e);
    }
    void ShowIndicator(int picture) override {
        // The active picture after a start means the line is open and being served.
        if (picture == kPictureActive && subNet_.starting_) {
            subNet_.starting_ = false;
            subNet_.deliver(subNet_.startedEvent());
        }
    }
    void ConfirmPrompt(const std::string& caption, const std::string& text) override {
        subNet_.owner_.confirm(subNet_.id_, caption, text);
    }
    void TransferEnded(const comm::TransferEnd& end) override {
        if (subNet_.journal_ != nullptr) {
            subNet_.journal_->record(
                transferRecord(subNet_.id_, subNet_.control_->Caption(), end, subNet_.requester_));
        }
        SubNetEvent e = transferEvent(SubNetEvent::Kind::TransferFinished, end);
        e.outcome = end.outcome == comm::TransferOutcome::Done     ? "done"
                    : end.outcome == comm::TransferOutcome::Failed ? "failed"
                                                                   : "stopped";
        e.description = end.error;
        subNet_.deliver(e);
    }
    void ProgramRemoved(const comm::ProgramRemoval& removal) override {
        if (subNet_.journal_ != nullptr) {
            subNet_.journal_->record(removalRecord(subNet_.id_, subNet_.control_->Caption(),
                                                   removal, subNet_.requester_));
        }
    }
    void TransferBegun(const comm::TransferEnd& transfer) override {
        subNet_.deliver(transferEvent(SubNetEvent::Kind::TransferBegun, transfer));
    }

private:
    static SubNetEvent transferEvent(SubNetEvent::Kind kind, const comm::TransferEnd& transfer) {
        SubNetEvent e(kind);
        e.unit = transfer.unit;
        e.program = transfer.name;
        e.direction = transfer.way == comm::TransferWay::ToUnit ? 0 : 1;
        e.transfer = std::make_shared<const comm::TransferEnd>(transfer);
        return e;
    }

    SubNet& subNet_;
};

history::TransferRecord transferRecord(int subNet, const std::string& caption,
                                       const comm::TransferEnd& end, const std::string& requester) {
    history::TransferRecord record;
    record.time = std::chrono::system_clock::now();
    record.subNet = subNet;
    record.caption = caption;
    record.unit = end.unit;
    record.direction = end.way == comm::TransferWay::ToUnit ? history::Direction::ToUnit
                                                            : history::Direction::FromUnit;
    record.startedBy = end.startedBy == comm::TransferStarter::Operator
                           ? history::StartedBy::Operator
                           : history::StartedBy::Unit;
    if (record.startedBy == history::StartedBy::Unit) {
        record.user = unitRequester(end.unit);
    } else {
        record.user = requester.empty() ? processUserName() : requester;
    }
    record.name = end.name;
    record.path = end.path;
    if (end.hasBytes) {
        record.content = end.bytes;
    }
    record.stored = end.stored;
    record.held = end.held;
    switch (end.outcome) {
        case comm::TransferOutcome::Done:
            record.outcome = history::Outcome::Done;
            break;
        case comm::TransferOutcome::Failed:
            record.outcome = history::Outcome::Failed;
            break;
        case comm::TransferOutcome::Stopped:
            record.outcome = history::Outcome::Stopped;
            break;
    }
    record.error = end.error;
    return record;
}

history::TransferRecord removalRecord(int subNet, const std::string& caption,
                                      const comm::ProgramRemoval& removal,
                                      const std::string& requester) {
    comm::TransferEnd end;
    end.unit = removal.unit;
    end.startedBy = removal.startedBy;
    end.name = removal.name;
    end.path = removal.path;
    end.bytes = removal.bytes;
    end.hasBytes = removal.hasBytes;
    history::TransferRecord record = transferRecord(subNet, caption, end, requester);
    record.deletion = true;
    record.held = removal.held;
    return record;
}

std::string portDevice(const ConfigStore& store, int port) {
    const std::string fallback = "/dev/ttyS" + std::to_string(port - 1);
    return store.section("Ports").readString(std::to_string(port), fallback);
}

std::string SubNet::deviceFor(int port) {
    if (const auto known = devices_.find(port); known != devices_.end()) {
        return known->second;
    }
    const std::optional<std::string> configured =
        store_.section("Ports").find(std::to_string(port));
    const std::string device = configured ? *configured : portDevice(store_, port);
    devices_[port] = device;
    defaulted_[port] = !configured;
    return device;
}

std::string SubNet::defaultNote() const {
    const int port = control_ ? control_->CommPort() : 0;
    const auto defaulted = defaulted_.find(port);
    if (defaulted == defaulted_.end() || !defaulted->second) {
        return {};
    }
    return " on " + devices_.at(port) +
           " (the default: section \"Ports\" names no device for port " + std::to_string(port) +
           ")";
}

SubNetEvent SubNet::startedEvent() const {
    SubNetEvent e(SubNetEvent::Kind::CommunicationStarted);
    const int port = control_ ? control_->CommPort() : 0;
    if (const auto device = devices_.find(port); device != devices_.end()) {
        e.description = defaulted_.at(port) ? defaultNote().substr(1) : "on " + device->second;
    }
    return e;
}

SubNet::SubNet(int ID, ConfigStore& store, SubNetOwner& owner, PortFactory ports, Operation setup,
               history::TransferJournal* journal)
    : id_(ID),
      store_(store),
      owner_(owner),
      ports_(std::move(ports)),
      setup_(std::move(setup)),
      journal_(journal),
      finishedFuture_(finished_.get_future().share()) {
    auto ready = ready_.get_future();
    thread_ = std::thread([this] { run(); });
    ready.wait();
}

SubNet::~SubNet() {
    if (!closed_) {
        CloseIt();
    }
    if (thread_.joinable()) {
        thread_.join();
    }
}

void SubNet::run() {
    // Everything of the sub net is made on its own thread and never leaves it.
    site_ = std::make_unique<Site>(*this);
    host_ = std::make_unique<comm::RealHost>([this] { queue_.runPending(); });
    control_ = std::make_unique<comm::ctrlFerixComm>(*host_, *site_, ports_ ? ports_() : nullptr);
    control_->setPortDevices([this](int port) { return deviceFor(port); });
    if (setup_) {
        setup_(*control_);
    }
    ready_.set_value();
    while (!closed_) {
        queue_.waitForMessage(std::chrono::milliseconds(200));
        try {
            queue_.runPending();
            if (closeRequested_ && queue_.depth() == 0 && changesPending_ == 0) {
                finishClose();
            }
        } catch (const std::exception& e) {
            endAfterFailure(e.what());
        } catch (...) {
            endAfterFailure("an unknown exception");
        }
    }
    control_.reset();
}

void SubNet::deliver(SubNetEvent event) {
    event.subNet = id_;
    event.caption = control_ ? control_->Caption() : std::string();
    owner_.deliver(event);
}

void SubNet::postNeverWaits(std::function<void()> message) {
    queue_.post(std::move(message), MessageQueue::Kind::NeverWaits);
}

void SubNet::post(Operation operation) {
    queue_.post([this, operation = std::move(operation)] {
        if (!closeRequested_) {
            operation(*control_);
        }
    });
}

void SubNet::postRequest(Operation request, Urgency urgency, std::string requester) {
    if (requester.empty()) {
        requester = processUserName();
    }
    postRequestAgain(std::move(request), urgency, std::move(requester), std::nullopt);
}

void SubNet::postRequestAgain(Operation request, Urgency urgency, std::string requester,
                              std::optional<std::chrono::milliseconds> firstTry) {
    queue_.post([this, request = std::move(request), urgency, requester = std::move(requester),
                 firstTry] {
        if (closeRequested_) {
            return;
        }
        const std::chrono::milliseconds now = control_->host().now();
        const std::chrono::milliseconds since = firstTry.value_or(now);
        const bool givesWay = urgency == Urgency::Background && now - since < kBackgroundPatience;
        // Not while the line serves a unit's request, is in the middle of a poll, or serves
        // another operator's request that waits on the line.
        const bool lineFree = givesWay ? control_->LineQuiet() : control_->LineAtRest();
        if (control_->TransferBusy() || !lineFree || requestRunning_) {
            // again at the next turn of the queue
            postRequestAgain(request, urgency, requester, since);
            return;
        }
        requestRunning_ = true;
        requester_ = requester;
        request(*control_);
        requestRunning_ = false;
        requester_.clear();
    });
}

void SubNet::postChange(Operation change) {
    ++changesPending_;
    postChangeAgain(std::move(change));
}

void SubNet::postChangeAgain(Operation change) {
    queue_.post([this, change = std::move(change)] {
        // Once the sub net closes, its line is being switched off: the change goes in now.
        const bool busy = control_->TransferBusy() || !control_->LineAtRest() || requestRunning_;
        if (busy && !closeRequested_) {
            postChangeAgain(change);  // again at the next turn of the queue
            return;
        }
        change(*control_);
        --changesPending_;
    });
}

void SubNet::Initialize() {
    std::promise<void> done;
    auto configured = done.get_future();
    postNeverWaits([this, &done] {
        const auto language = static_cast<std::uint16_t>(
            CheckedSection("Common", store_.section("Common")).integer("LangID"));
        const std::uint16_t selected = loc::selectLanguage(language);
        control_->setLangID(static_cast<std::int16_t>(selected));
        config_ = std::make_unique<SubNetConfiguration>();
        config_->onConfigChanged([this] {
            SubNetEvent e(SubNetEvent::Kind::ConfigChanged);
            e.settings =
                std::make_shared<const ControlSettings>(captureSettings(*control_, config_.get()));
            deliver(e);
        });
        config_->ConfigureFerixCommFromRegister(*control_, store_, id_);
        reportSettingProblems();
        done.set_value();
    });
    configured.wait();
    StartCommunication();
}

void SubNet::reportSettingProblems() {
    const std::string section = subNetSection(id_);
    for (const SettingProblem& problem : checkSettingsFile(store_.file())) {
        if (sameSection(problem, section)) {
            SubNetEvent e(SubNetEvent::Kind::SettingProblem);
            e.setting = problem;
            e.description = problem.text();
            deliver(e);
        }
    }
}

void SubNet::StartCommunication() {
    queue_.post([this] { startOnThread(); });
}

void SubNet::startOnThread() {
    if (closeRequested_ || control_->Active()) {
        return;
    }
    starting_ = true;
    const comm::Status status = control_->setActive(true);
    const bool stillActive = control_->Active();
    if (!status.ok()) {
        starting_ = false;
        SubNetEvent e(SubNetEvent::Kind::StartFailed);
        e.description = status.error().description + defaultNote();
        e.helpFile = status.error().helpFile;
        e.context = status.error().helpContext;
        deliver(e);
        return;
    }
    if (starting_) {
        // A protocol that opened nothing (ProtFerix) or a line that was switched off at once.
        starting_ = false;
        if (stillActive) {
            deliver(startedEvent());
        }
        return;
    }
    if (!stillActive) {
        deliver(SubNetEvent(SubNetEvent::Kind::CommunicationStopped));
    }
}

void SubNet::StopCommunication() {
    postNeverWaits([this] {
        if (!control_->Active()) {
            return;
        }
        (void)control_->setActive(false);
        // The plain protocols close at once; the block protocols report when their loop ends.
        const auto protocol = control_->Protocol();
        if (protocol == comm::ProtNone || protocol == comm::ProtNoneEOF) {
            deliver(SubNetEvent(SubNetEvent::Kind::CommunicationStopped));
        }
    });
}

void SubNet::postQuery(Operation query) {
    postNeverWaits([this, query = std::move(query)] { query(*control_); });
}

void SubNet::StopTransfer() {
    postNeverWaits([this] { control_->StopTransfer(); });
}

void SubNet::CloseIt() {
    requestClose();
    waitClosed();
}

void SubNet::requestClose() {
    if (closed_ || closeSent_.exchange(true)) {
        return;
    }
    postNeverWaits([this] {
        closeRequested_ = true;
        if (control_->TransferBusy()) {
            control_->StopTransfer();  // the unit gets its closing block, not silence
        }
        (void)control_->setActive(false);
    });
}

void SubNet::waitClosed() {
    finishedFuture_.wait();
}

void SubNet::endAfterFailure(const std::string& what) {
    SubNetEvent e(SubNetEvent::Kind::OnError);
    e.description = "the sub net ends after an internal error (" + what + ")";
    deliver(e);
    closeSent_ = true;
    closeRequested_ = true;
    changesPending_ = 0;
    control_->link().close();
    if (closed_) {
        return;
    }
    try {
        finishClose();
    } catch (...) {
        // Even storing failed: the sub net ends without it.
        closed_ = true;
        queue_.close();
        finished_.set_value();
    }
}

void SubNet::finishClose() {
    closeRequested_ = false;
    // The service loop has returned: the port is closed before anything is stored.
    (void)control_->setActive(false);
    if (config_) {
        config_->ConfigureRegisterFromFerixComm(*control_, store_, id_);
    }
    deliver(SubNetEvent(SubNetEvent::Kind::Closing));
    closed_ = true;
    queue_.close();
    finished_.set_value();
}

}  // namespace dnc
