// A PeerLink on the peer side of a VirtualLine, on the line's virtual time.
#pragma once

#include <memory>
#include <set>

#include "sim/heidenhain/link/PeerLink.h"
#include "sim/virtual/VirtualLine.h"

namespace sim {

class VirtualPeerLink : public PeerLink {
public:
    explicit VirtualPeerLink(VirtualLine& line);
    ~VirtualPeerLink() override;

    void send(std::string_view bytes) override;
    void setReceiver(std::function<void(std::uint8_t)> receiver) override;
    TimerId after(std::chrono::milliseconds delay, std::function<void()> action) override;
    void cancel(TimerId timer) override;

private:
    // Timers may still be scheduled on the host when the link goes: they check this first.
    struct Timers {
        bool alive = true;
        TimerId next = 1;
        std::set<TimerId> pending;
    };

    VirtualLine& line_;
    std::shared_ptr<Timers> timers_ = std::make_shared<Timers>();
};

}  // namespace sim
