#include "comm/link/PacedWrite.h"

#include <algorithm>
#include <cstdint>
#include <thread>

namespace comm {

WriteProgress waitPacedWrite(const LinePacing& pacing, int timeoutMs, int chunk,
                             const PacedWriteSteps& steps) {
    using Clock = LinePacing::Clock;
    constexpr std::chrono::milliseconds kMinimumWait{1};
    const auto deadline = Clock::now() + std::chrono::milliseconds(std::max(timeoutMs, 0));
    while (true) {
        WriteProgress progress = steps.push();
        const auto now = Clock::now();
        if (progress.state != WriteProgress::Pending || now >= deadline) {
            return progress;
        }
        if (steps.waitsForTime() && pacing.due(now).empty()) {
            std::this_thread::sleep_until(
                std::min(pacing.nextWake(now, chunk, kMinimumWait), deadline));
        } else {
            const auto left =
                std::chrono::duration_cast<std::chrono::milliseconds>(deadline - now).count();
            steps.waitForDevice(static_cast<int>(
                std::clamp<std::int64_t>(left, 1, std::max(steps.longestDeviceWaitMs, 1))));
        }
    }
}

void waitInputWhileSending(const LinePacing& pacing, std::chrono::milliseconds timeout, int chunk,
                           const std::function<void()>& push,
                           const std::function<bool(int)>& pollInput) {
    using Clock = LinePacing::Clock;
    constexpr std::chrono::milliseconds kMinimumWait{1};
    const auto deadline = Clock::now() + std::max(timeout, std::chrono::milliseconds(0));
    while (true) {
        if (!pacing.allHandedOn()) {
            push();
        }
        const auto now = Clock::now();
        const bool sending = !pacing.allHandedOn();
        const auto until =
            sending ? std::min(pacing.nextWake(now, chunk, kMinimumWait), deadline) : deadline;
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(until - now).count();
        if (pollInput(static_cast<int>(std::max<std::int64_t>(left, 0))) || until >= deadline) {
            return;
        }
    }
}

int drainTimeMs(const LinePacing& pacing, std::chrono::milliseconds limit) {
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(pacing.lastByteDoneAt() -
                                                                   LinePacing::Clock::now());
    return static_cast<int>(std::clamp<std::int64_t>(left.count(), 0, limit.count()));
}

}  // namespace comm
