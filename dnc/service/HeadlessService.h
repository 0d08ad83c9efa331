// The sub nets of the store run without a window: each on its own thread, every event logged,
// a line whose port cannot be opened retried until it can, a sub net that ended after an
// internal error started afresh, every line stopped and every configuration stored when the
// service ends.
#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <vector>

#include "dnc/config/ConfigStore.h"
#include "dnc/history/Heartbeat.h"
#include "dnc/manager/MessageQueue.h"
#include "dnc/manager/Network.h"
#include "dnc/manager/SubNet.h"
#include "dnc/service/EventLog.h"

namespace dnc {

struct ServiceOptions {
    // The sub nets to run; empty: those flagged for start-up ("Common", keys "1" to "16").
    std::vector<int> subNets;
    std::chrono::milliseconds retryInterval{10000};
    SubNet::PortFactory ports;
    SubNet::Operation setup;
    // Where every ended program transfer is recorded; none: not recorded.
    history::TransferJournal* journal = nullptr;
    // Where the revisions of the programs are approved; none: not over the bus.
    RevisionDesk* revisions = nullptr;
    // Gets the service's heartbeat when it starts and then every interval, on the thread that
    // serves the events; it must only hand the beat on (to the history's thread). None: no
    // beats.
    std::function<void(history::Heartbeat)> heartbeat;
    std::chrono::milliseconds heartbeatInterval{10000};
};

class HeadlessService : public SubNetOwner, public Network {
public:
    HeadlessService(ConfigStore& store, EventLog& log, ServiceOptions options = {});
    ~HeadlessService() override;

    // Logs the settings' problems, then starts the sub nets; returns how many were started.
    int start();
    // Serves events and retries on the calling thread until `stop` is set, then closes every
    // sub net (side by side) and returns.
    void run(const std::atomic<bool>& stop);
    // Runs pending events and due retries once, waiting at most `wait` for something to do.
    void serviceOnce(std::chrono::milliseconds wait);
    void closeAll();

    int running() const { return static_cast<int>(subNets_.size() - restarts_.size()); }

    // SubNetOwner, called on the sub nets' threads.
    void deliver(const SubNetEvent& event) override;
    void confirm(int subNet, const std::string& caption, const std::string& text) override;

    // The sub nets flagged for start-up in the store.
    static std::vector<int> flaggedSubNets(const ConfigStore& store);

    // Network, on the thread that serves the events. A headless service has no windows:
    // hiding succeeds (nothing is shown), showing is refused.
    std::vector<SubNetEntry> subNetEntries() const override;
    void startSubNet(int subNet) override;
    void stopSubNet(int subNet) override;
    bool showSubNet(int subNet) override;
    bool hideSubNet(int subNet) override;
    SubNet* runningSubNet(int subNet) override;
    void postToNetwork(std::function<void()> work) override;
    void setObserver(NetworkObserver* observer) override { observer_ = observer; }
    RevisionDesk* revisionDesk() override { return options_.revisions; }

    // Called on any thread whenever something waits to be served, so that an event loop of
    // its own (the D-Bus service's) can call serviceOnce without polling.
    void setWake(std::function<void()> wake) { wake_ = std::move(wake); }

private:
    void handle(const SubNetEvent& event);
    // A sub net closed without being asked to (after an internal error): it is started afresh
    // after the retry interval, since nobody stands by to start it again.
    void scheduleRestart(const SubNetEvent& closing);
    void runDueRetries(std::chrono::steady_clock::time_point now);
    // Lets go of a sub net that ended after an internal error.
    void discardEnded(int subNet);
    void logSettingProblems(const std::vector<int>& starting);
    void post(std::function<void()> work);
    // Tells the heartbeat's receiver the state of the sub nets; `now` is when the next is due
    // from.
    void beat(std::chrono::steady_clock::time_point now);
    history::Heartbeat heartbeatNow() const;

    ConfigStore& store_;
    EventLog& log_;
    ServiceOptions options_;
    MessageQueue events_;
    std::map<int, std::unique_ptr<SubNet>> subNets_;
    std::map<int, std::chrono::steady_clock::time_point> retries_;
    std::map<int, std::chrono::steady_clock::time_point> restarts_;
    std::set<int> closing_;  // asked to close: their Closing is no failure
    std::set<int> wanted_;   // asked for at the start: told of even when stopped
    std::set<int> failing_;  // their port could not be opened: retried
    std::set<int> switchedOff_;
    std::map<int, std::string> lastError_;  // of each sub net's port
    std::optional<std::chrono::steady_clock::time_point> nextBeat_;
    NetworkObserver* observer_ = nullptr;
    std::function<void()> wake_;
};

}  // namespace dnc
