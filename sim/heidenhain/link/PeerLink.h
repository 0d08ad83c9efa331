// The machine's end of a serial line, as the machine-side simulators see it: bytes out, bytes
// in through a callback, and timers. One implementation sits on a virtual line (virtual time),
// one on a POSIX descriptor (a pseudo-terminal's master end or a real serial device).
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <string_view>

namespace sim {

class PeerLink {
public:
    using TimerId = std::uint64_t;

    virtual ~PeerLink() = default;

    virtual void send(std::string_view bytes) = 0;
    // Called for every byte that arrives from the control.
    virtual void setReceiver(std::function<void(std::uint8_t)> receiver) = 0;
    // Runs `action` once after `delay`, unless cancelled first.
    virtual TimerId after(std::chrono::milliseconds delay, std::function<void()> action) = 0;
    virtual void cancel(TimerId timer) = 0;
};

}  // namespace sim
