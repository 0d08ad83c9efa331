#include "sim/uart/UartModel.h"

#include <algorithm>
#include <cerrno>
#include <thread>

namespace sim {

std::size_t UartModel::queuedNow(Clock::time_point now) const {
    if (now >= emptyAt_ || charTime_.count() <= 0) {
        return 0;
    }
    const auto left = std::chrono::duration_cast<std::chrono::nanoseconds>(emptyAt_ - now);
    return static_cast<std::size_t>((left + charTime_ - std::chrono::nanoseconds(1)) / charTime_);
}

ssize_t UartModel::write(int, const void*, std::size_t size) {
    std::lock_guard lock(mutex_);
    ++calls_.writes;
    const auto now = Clock::now();
    const std::size_t queued = queuedNow(now);
    const std::size_t taken = std::min(size, kBufferSize - queued);
    if (taken == 0) {
        errno = EAGAIN;
        return -1;
    }
    emptyAt_ = std::max(emptyAt_, now) + charTime_ * static_cast<long>(taken);
    written_ += taken;
    return static_cast<ssize_t>(taken);
}

int UartModel::modemLines(int, unsigned long, int* lines) {
    std::lock_guard lock(mutex_);
    ++calls_.modemCalls;
    *lines = 0;
    return 0;  // a UART has modem lines: it paces its output itself
}

int UartModel::outputQueued(int, int* queued) {
    std::lock_guard lock(mutex_);
    ++calls_.queueQueries;
    *queued = static_cast<int>(queuedNow(Clock::now()));
    return 0;
}

int UartModel::waitWritable(int, int ms) {
    Clock::time_point until;
    {
        std::lock_guard lock(mutex_);
        ++calls_.waits;
        const auto now = Clock::now();
        if (queuedNow(now) < kWakeupRoom) {
            return 1;
        }
        // Room comes when all but kWakeupRoom bytes have left.
        const auto room = emptyAt_ - charTime_ * static_cast<long>(kWakeupRoom - 1);
        until = std::min(room, now + std::chrono::milliseconds(ms));
    }
    std::this_thread::sleep_until(until);
    std::lock_guard lock(mutex_);
    return queuedNow(Clock::now()) < kWakeupRoom ? 1 : 0;
}

int UartModel::flushOutput(int) {
    std::lock_guard lock(mutex_);
    ++calls_.flushes;
    emptyAt_ = Clock::now();
    return 0;
}

UartModel::Calls UartModel::calls() const {
    std::lock_guard lock(mutex_);
    return calls_;
}

std::size_t UartModel::bytesSent() const {
    std::lock_guard lock(mutex_);
    return written_ - queuedNow(Clock::now());
}

}  // namespace sim
