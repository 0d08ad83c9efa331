#include "sim/heidenhain/link/VirtualPeerLink.h"

#include <string>

namespace sim {

VirtualPeerLink::VirtualPeerLink(VirtualLine& line) : line_(line) {}

VirtualPeerLink::~VirtualPeerLink() {
    timers_->alive = false;
    line_.setPeerReceiver({});
}

void VirtualPeerLink::send(std::string_view bytes) {
    line_.peerSend(std::string(bytes));
}

void VirtualPeerLink::setReceiver(std::function<void(std::uint8_t)> receiver) {
    line_.setPeerReceiver(std::move(receiver));
}

PeerLink::TimerId VirtualPeerLink::after(std::chrono::milliseconds delay,
                                         std::function<void()> action) {
    const TimerId id = timers_->next++;
    timers_->pending.insert(id);
    line_.host().after(delay.count() * 1000, [timers = timers_, id, action = std::move(action)] {
        if (timers->alive && timers->pending.erase(id) == 1) {
            action();
        }
    });
    return id;
}

void VirtualPeerLink::cancel(TimerId timer) {
    timers_->pending.erase(timer);
}

}  // namespace sim
