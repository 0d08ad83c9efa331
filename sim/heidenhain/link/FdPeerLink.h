// A PeerLink on a POSIX descriptor: the master end of a pseudo-terminal pair, or a serial
// device opened with openLineDevice. The owner drives it with runUntil (on one thread); other
// threads may hand it work with post and end a run with requestStop.
#pragma once

#include <atomic>
#include <chrono>
#include <map>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

#include "sim/heidenhain/link/PeerLink.h"

namespace sim {

class FdPeerLink : public PeerLink {
public:
    using Clock = std::chrono::steady_clock;

    // The descriptor stays the caller's; it is switched to non-blocking mode.
    explicit FdPeerLink(int fd);

    void send(std::string_view bytes) override;
    void setReceiver(std::function<void(std::uint8_t)> receiver) override;
    TimerId after(std::chrono::milliseconds delay, std::function<void()> action) override;
    void cancel(TimerId timer) override;

    // Reads and dispatches bytes, runs due timers and posted work until `done` returns true,
    // `timeout` passes or requestStop is called. True when `done` was reached.
    bool runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout);

    // Thread-safe.
    void post(std::function<void()> action);
    void requestStop() { stop_ = true; }

    // A write or read on the descriptor failed for good (the other end went away).
    bool broken() const { return broken_; }

private:
    void runPosted();
    void runDueTimers();
    void readAvailable();

    int fd_;
    std::function<void(std::uint8_t)> receiver_;
    TimerId nextTimer_ = 1;
    std::map<std::pair<Clock::time_point, TimerId>, std::function<void()>> timers_;
    std::mutex postedMutex_;
    std::vector<std::function<void()>> posted_;
    std::atomic<bool> stop_ = false;
    bool broken_ = false;
};

// Opens a serial device or pseudo-terminal end raw, at `speed` bits per second, 8 data bits,
// no parity, one stop bit, no flow control. Returns the descriptor; throws std::runtime_error.
int openLineDevice(const std::string& path, int speed);

}  // namespace sim
