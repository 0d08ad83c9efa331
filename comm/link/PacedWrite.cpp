#include "comm/link/PacedWrite.h"

#include <algorithm>
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
            steps.waitForDevice(static_cast<int>(std::clamp<std::int64_t>(left, 1, 2)));
        }
    }
}

}  // namespace comm
