// One running sub net: a thread of its own that owns the sub net's communication control and
// configuration. Other threads talk to it only through messages: operations are posted to its
// queue and run there (re-entrantly while the control waits on the line), and the control's
// events travel back to the owner as SubNetEvent values.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <future>
#include <map>
#include <memory>
#include <optional>
#include <thread>

#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "dnc/config/ConfigStore.h"
#include "dnc/config/SubNetConfiguration.h"
#include "dnc/history/TransferRecord.h"
#include "dnc/manager/MessageQueue.h"
#include "dnc/manager/SubNetEvent.h"

namespace dnc {

class SubNet {
public:
    using PortFactory = std::function<std::unique_ptr<comm::SerialPort>()>;
    using Operation = std::function<void(comm::ctrlFerixComm&)>;

    // Starts the sub net's thread. `ports` makes the control's serial port (default: POSIX);
    // `setup` runs on the thread right after the control is made; every ended program
    // transfer goes to `journal` (which must outlive the sub net), if there is one.
    SubNet(int ID, ConfigStore& store, SubNetOwner& owner, PortFactory ports = {},
           Operation setup = {}, history::TransferJournal* journal = nullptr);
    // Closes the sub net if it is still running.
    ~SubNet();
    SubNet(const SubNet&) = delete;
    SubNet& operator=(const SubNet&) = delete;

    int ID() const { return id_; }

    // Reads the language and the stored configuration into the control, sends the owner one
    // SettingProblem event for each problem of the sub net's section, then queues the start
    // of communication. Returns when the configuration is in place.
    void Initialize();
    // Switches the line off (a running transfer is stopped, so the unit is told), stores the
    // configuration, reports Closing and ends the thread. Returns when all of that is done.
    void CloseIt();
    // CloseIt in two halves, so that many sub nets can be closed side by side.
    void requestClose();
    void waitClosed();

    void StartCommunication();
    void StopCommunication();
    void StopTransfer();

    // Runs `operation` on the sub net's thread; it may wait on the line.
    void post(Operation operation);
    // How long a request may wait for the line.
    enum class Urgency {
        Operator,    // as soon as the line serves no other request
        Background,  // also lets every unit be polled once after a unit's request: a refresh
                     // of a view never keeps a unit with a request waiting
    };
    // How long a background request gives way to the units before it takes the line as an
    // operator's would: units that keep the line busy must not keep a view stale for ever.
    static constexpr std::chrono::milliseconds kBackgroundPatience{5000};
    // Runs an operator request on the sub net's thread once the line serves no other request
    // (the control drops a request made meanwhile; the operator's must not be lost). The
    // transfers it makes are recorded as asked for by `requester` (empty: the user this
    // process runs as, the one at its windows).
    void postRequest(Operation request, Urgency urgency = Urgency::Operator,
                     std::string requester = {});
    // Runs `change` on the sub net's thread once the line stands between two exchanges and no
    // request runs, so that nothing on the line sees a part of it; it must not wait. Unlike a
    // request it is not dropped when the sub net closes: it runs before the configuration is
    // stored.
    void postChange(Operation change);
    // Runs `query` on the sub net's thread as soon as possible, also from inside a wait on the
    // line; it must not wait itself. Results travel back by the query's own means.
    void postQuery(Operation query);
    // The sub net's configuration; only on the sub net's thread, after Initialize.
    SubNetConfiguration* configuration() { return config_.get(); }
    // Runs `query` on the sub net's thread and waits for it; it must not wait on the line.
    template <typename R>
    R call(std::function<R(comm::ctrlFerixComm&)> query);

    bool closed() const { return closed_; }

private:
    class Site;

    void run();
    void startOnThread();
    void finishClose();
    // An operation of the sub net failed in a way nobody handled (memory ran out, a bug): the
    // sub net ends with the error told, the process and the other sub nets go on.
    void endAfterFailure(const std::string& what);
    void reportSettingProblems();
    void postNeverWaits(std::function<void()> message);
    void postChangeAgain(Operation change);
    void postRequestAgain(Operation request, Urgency urgency, std::string requester,
                          std::optional<std::chrono::milliseconds> firstTry);
    void deliver(SubNetEvent event);

    const int id_;
    ConfigStore& store_;
    SubNetOwner& owner_;
    PortFactory ports_;
    Operation setup_;
    history::TransferJournal* journal_;
    MessageQueue queue_;
    std::unique_ptr<Site> site_;
    std::unique_ptr<comm::RealHost> host_;
    std::unique_ptr<comm::ctrlFerixComm> control_;
    std::unique_ptr<SubNetConfiguration> config_;
    std::promise<void> ready_;
    std::promise<void> finished_;
    std::shared_future<void> finishedFuture_;
    std::atomic<bool> closeSent_{false};
    std::atomic<bool> closeRequested_{false};
    std::atomic<bool> closed_{false};
    bool starting_ = false;
    // The device of each port as chosen at its first open; it stays for the life of the sub
    // net, so that a settings file changed or moved under a running line never switches it
    // to another device. True in `defaulted`: the file named none, the default was taken.
    std::string deviceFor(int port);
    SubNetEvent startedEvent() const;
    // " on <device> (the default: ...)" when the port's device is the default; else empty.
    std::string defaultNote() const;
    std::map<int, std::string> devices_;
    std::map<int, bool> defaulted_;
    bool requestRunning_ = false;         // an operator's request runs (on the sub net's thread)
    std::string requester_;               // who asked for the request that runs
    std::atomic<int> changesPending_{0};  // posted changes that have not run yet
    std::thread thread_;
};

template <typename R>
R SubNet::call(std::function<R(comm::ctrlFerixComm&)> query) {
    auto promise = std::make_shared<std::promise<R>>();
    auto result = promise->get_future();
    postNeverWaits(
        [this, promise, query = std::move(query)] { promise->set_value(query(*control_)); });
    return result.get();
}

// What the history records of a transfer the control reports, stamped now; `requester` is
// who asked when an operator's request made it.
history::TransferRecord transferRecord(int subNet, const std::string& caption,
                                       const comm::TransferEnd& end, const std::string& requester);
// The record of a program removed from (or held in) a unit directory: only a revision.
history::TransferRecord removalRecord(int subNet, const std::string& caption,
                                      const comm::ProgramRemoval& removal,
                                      const std::string& requester);

// The device of port N from the store's "Ports" section (default /dev/ttyS<N-1>).
std::string portDevice(const ConfigStore& store, int port);

}  // namespace dnc
