// A real UART behind a terminal port's output calls: what is written goes into the driver's
// buffer (4096 bytes) and leaves it at the line speed, one character time per byte; the
// driver says it takes more output once fewer than 256 bytes wait, as Linux's line discipline
// does. Every call is counted, so that a benchmark can tell how often a port asks.
#pragma once

#include <chrono>
#include <cstddef>
#include <mutex>

#include "comm/link/TerminalIo.h"

namespace sim {

class UartModel : public comm::TerminalIo {
public:
    using Clock = std::chrono::steady_clock;

    struct Calls {
        long writes = 0;
        long modemCalls = 0;
        long queueQueries = 0;  // TIOCOUTQ
        long waits = 0;         // poll for output room
        long flushes = 0;
        long total() const { return writes + modemCalls + queueQueries + waits + flushes; }
    };

    explicit UartModel(std::chrono::nanoseconds characterTime) : charTime_(characterTime) {}

    ssize_t write(int fd, const void* data, std::size_t size) override;
    int modemLines(int fd, unsigned long request, int* lines) override;
    int outputQueued(int fd, int* queued) override;
    int waitWritable(int fd, int ms) override;
    int flushOutput(int fd) override;

    Calls calls() const;
    std::size_t bytesSent() const;

    static constexpr std::size_t kBufferSize = 4096;
    static constexpr std::size_t kWakeupRoom = 256;

private:
    // Bytes still in the buffer now.
    std::size_t queuedNow(Clock::time_point now) const;

    mutable std::mutex mutex_;
    std::chrono::nanoseconds charTime_;
    Clock::time_point emptyAt_{};  // when the last byte written will have left
    std::size_t written_ = 0;
    Calls calls_;
};

}  // namespace sim
