// The network of sixteen sub nets as other programs drive it: what runs, starting and stopping,
// the running sub nets themselves and their events. The headless service and the manager
// window implement it; the automation (D-Bus) talks to nothing else, so both export the same
// interface from the same code.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dnc/manager/SubNet.h"
#include "dnc/manager/SubNetEvent.h"

namespace dnc {

class RevisionDesk;

struct SubNetEntry {
    int number = 0;
    std::string caption;
    bool running = false;
    bool startUp = false;  // flagged to start with the program
};

// Told on the network's own thread, in the order things happened.
class NetworkObserver {
public:
    virtual ~NetworkObserver() = default;
    virtual void subNetStarted(int subNet) = 0;
    // After the sub net has stored its configuration; its object is gone.
    virtual void subNetClosed(int subNet) = 0;
    virtual void subNetEvent(const SubNetEvent& event) = 0;
};

class Network {
public:
    virtual ~Network() = default;

    // Sub nets 1 to 16 in order.
    virtual std::vector<SubNetEntry> subNetEntries() const = 0;
    // Starts sub net N (1 to 16) with its line switched on; nothing while it runs.
    virtual void startSubNet(int subNet) = 0;
    // Closes sub net N (its configuration is stored); nothing while it does not run.
    virtual void stopSubNet(int subNet) = 0;
    // Shows or hides the window of a running sub net. False: this network has no windows.
    virtual bool showSubNet(int subNet) = 0;
    virtual bool hideSubNet(int subNet) = 0;
    // The running sub net N, or null.
    virtual SubNet* runningSubNet(int subNet) = 0;

    // Runs `work` on the network's thread after every event the sub nets delivered before
    // this call; callable from any thread. A sub net's thread uses it to report the end of a
    // request behind the request's own events.
    virtual void postToNetwork(std::function<void()> work) = 0;
    // Where the programs from the units are approved; null when this network keeps no history.
    virtual RevisionDesk* revisionDesk() { return nullptr; }
    // One observer at a time; null removes it.
    virtual void setObserver(NetworkObserver* observer) = 0;
};

}  // namespace dnc
