#include "comm/RealHost.h"

#include <thread>

namespace comm {

std::chrono::milliseconds RealHost::now() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
        std::chrono::steady_clock::now().time_since_epoch());
}

void RealHost::sleep(std::chrono::milliseconds duration) {
    if (duration.count() > 0) {
        std::this_thread::sleep_for(duration);
    }
}

void RealHost::pump() {
    if (pump_) {
        pump_();
    }
}

}  // namespace comm
