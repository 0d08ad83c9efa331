// An in-memory serial line on virtual time. One end is a comm::SerialPort for the control; the
// other end belongs to a peer (a scripted peer or a simulated unit). Bytes take the time of
// their characters at the speed the control configured, in both directions, one after another.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <random>
#include <span>
#include <string>
#include <vector>

#include "comm/link/SerialPort.h"
#include "sim/virtual/VirtualHost.h"

namespace sim {

// Faults of the wire itself, per character and in both directions.
struct WireFaults {
    double corrupt = 0;    // chance that one bit of the character flips
    double drop = 0;       // chance that the character is lost
    double duplicate = 0;  // chance that the character arrives twice
};

// What the wire did to the characters so far.
struct WireTally {
    std::size_t carried = 0;  // characters that entered the wire
    std::size_t corrupted = 0;
    std::size_t dropped = 0;
    std::size_t duplicated = 0;
    std::size_t cut = 0;  // lost because the peer was cut off
};

class VirtualLine {
public:
    struct Event {
        VirtualHost::Micros time;
        bool toPeer;  // written by the control
        std::uint8_t byte;
    };

    explicit VirtualLine(VirtualHost& host, std::string device = "virtual:1");

    // The control's end. It opens only under the device name given above.
    std::unique_ptr<comm::SerialPort> controlEnd();

    // Peer side.
    void peerSend(std::span<const std::uint8_t> bytes);
    void peerSend(const std::string& bytes);
    void setPeerReceiver(std::function<void(std::uint8_t)> receiver) {
        peerReceiver_ = std::move(receiver);
    }
    const std::vector<std::uint8_t>& receivedByPeer() const { return receivedByPeer_; }
    std::string receivedText() const;

    // Line state and fault injection.
    VirtualHost& host() { return host_; }
    const std::string& device() const { return device_; }
    void setDevicePresent(bool present) { devicePresent_ = present; }
    void failWritesWith(int systemError) { writeError_ = systemError; }
    // The device goes away under an open port (a USB adapter pulled): writes fail, the port
    // reports the loss, and it cannot be opened until the device is restored.
    void removeDevice();
    void restoreDevice() { devicePresent_ = true; }
    // The peer is cut off (switched off, cable pulled): nothing crosses in either direction.
    void cutPeer(bool cut) { peerCut_ = cut; }
    // Faults drawn from a generator seeded with `seed`, so that a run can be repeated.
    void setWireFaults(const WireFaults& faults, std::uint64_t seed);
    const WireTally& wireTally() const { return tally_; }
    bool controlOpen() const { return open_; }
    const comm::LineSettings& settings() const { return settings_; }
    const comm::LineControl& control() const { return control_; }
    int applyControlCalls() const { return applyControlCalls_; }
    VirtualHost::Micros charTime() const;
    const std::vector<Event>& log() const { return log_; }

private:
    friend class VirtualPort;

    // One character at the end of the wire, after the wire's faults.
    void deliver(bool toPeer, std::uint8_t byte);
    bool chance(double probability);

    VirtualHost& host_;
    std::string device_;
    bool devicePresent_ = true;
    bool deviceLost_ = false;
    bool peerCut_ = false;
    bool open_ = false;
    int writeError_ = 0;
    comm::LineSettings settings_;
    comm::LineControl control_;
    int applyControlCalls_ = 0;

    // Control to peer.
    VirtualHost::Micros toPeerFreeAt_ = 0;
    std::uint64_t toPeerGeneration_ = 0;
    std::size_t writeTotal_ = 0;
    std::size_t writeDelivered_ = 0;
    VirtualHost::Micros writeDoneAt_ = 0;
    std::vector<std::uint8_t> receivedByPeer_;
    std::function<void(std::uint8_t)> peerReceiver_;

    // Peer to control.
    VirtualHost::Micros toControlFreeAt_ = 0;
    std::uint64_t toControlGeneration_ = 0;
    std::deque<std::uint8_t> receivedByControl_;

    std::vector<Event> log_;

    WireFaults faults_;
    std::mt19937_64 random_;
    WireTally tally_;
};

}  // namespace sim
