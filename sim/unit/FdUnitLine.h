// Simulated units on a POSIX descriptor: a serial device, or one end of a pseudo-terminal pair
// whose other end the control opens. A thread of its own reads the PC's bytes and releases the
// units' answers at the line speed, one character time after another, as a real line would.
#pragma once

#include <atomic>
#include <chrono>
#include <cstdint>
#include <deque>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

#include "sim/unit/UnitSimulator.h"

namespace sim::unit {

// Time of one character: start bit, data bits, parity bit and stop bits at `speed`.
std::chrono::nanoseconds characterTime(std::int32_t speed, double bitsPerCharacter);

class FdUnitLine {
public:
    using Clock = std::chrono::steady_clock;

    // `fd` stays the caller's; it should be non-blocking.
    FdUnitLine(UnitSimulator& units, int fd, std::chrono::nanoseconds charTime);
    ~FdUnitLine();
    FdUnitLine(const FdUnitLine&) = delete;
    FdUnitLine& operator=(const FdUnitLine&) = delete;

    // A unit must answer within a few character times of the PC's frame. Asks for real-time
    // scheduling of the line thread so that a busy machine does not make it late; where that is
    // not permitted the thread runs as usual. Call before start().
    void preferPromptAnswers(bool prompt) { prompt_ = prompt; }
    void start();
    void stop();

    // Runs `f` on the units while the line thread keeps off them.
    template <typename F>
    decltype(auto) withUnits(F&& f) {
        std::lock_guard<std::mutex> lock(mutex_);
        return std::forward<F>(f)(units_);
    }

    // The error number that stopped the line thread; 0 while it runs well.
    int failure() const { return failure_; }

private:
    void run();
    void enqueue(const std::string& bytes);
    bool writeDue(Clock::time_point now);
    bool readAvailable();

    UnitSimulator& units_;
    int fd_;
    std::chrono::nanoseconds charTime_;
    std::mutex mutex_;
    std::deque<std::pair<Clock::time_point, std::uint8_t>> outgoing_;
    Clock::time_point lastRelease_{};
    std::thread thread_;
    bool prompt_ = false;
    std::atomic<bool> running_{false};
    std::atomic<int> failure_{0};
};

}  // namespace sim::unit
