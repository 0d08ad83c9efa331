#include "sim/virtual/VirtualHost.h"

namespace sim {

std::chrono::milliseconds VirtualHost::now() {
    return std::chrono::milliseconds(now_ / 1000);
}

void VirtualHost::sleep(std::chrono::milliseconds duration) {
    ++sleepCalls_;
    advanceTo(now_ + (duration.count() > 0 ? duration.count() * 1000 : 0));
}

void VirtualHost::pump() {
    ++pumpCalls_;
    runDue();
    if (pumpHook_) {
        pumpHook_();
    }
}

void VirtualHost::advanceTo(Micros when) {
    while (!events_.empty() && events_.begin()->first.first <= when) {
        auto first = events_.begin();
        now_ = std::max(now_, first->first.first);
        auto action = std::move(first->second);
        events_.erase(first);
        action();
    }
    now_ = std::max(now_, when);
}

void VirtualHost::runDue() {
    advanceTo(now_);
}

void VirtualHost::at(Micros when, std::function<void()> action) {
    events_.emplace(std::make_pair(when, sequence_++), std::move(action));
}

}  // namespace sim
