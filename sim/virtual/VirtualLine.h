// An in-memory serial line on virtual time. One end is a comm::SerialPort for the control; the
// other end belongs to a peer (a scripted peer or a simulated unit). Bytes take the time of
// their characters at the speed the control configured, in both directions, one after another.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <vector>

#include "comm/link/SerialPort.h"
#include "sim/virtual/VirtualHost.h"

namespace sim {

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
    bool controlOpen() const { return open_; }
    const comm::LineSettings& settings() const { return settings_; }
    const comm::LineControl& control() const { return control_; }
    int applyControlCalls() const { return applyControlCalls_; }
    VirtualHost::Micros charTime() const;
    const std::vector<Event>& log() const { return log_; }

private:
    friend class VirtualPort;

    VirtualHost& host_;
    std::string device_;
    bool devicePresent_ = true;
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
};

}  // namespace sim
