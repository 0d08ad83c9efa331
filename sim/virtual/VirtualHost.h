// Virtual time for protocol tests: sleeping advances the clock at once and runs, in time order,
// everything scheduled up to the new time (bytes arriving on a virtual line, a peer's replies,
// an operator's command). Deterministic and instant.
#pragma once

#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <utility>

#include "comm/Host.h"

namespace sim {

class VirtualHost : public comm::Host {
public:
    using Micros = std::int64_t;

    std::chrono::milliseconds now() override;
    void sleep(std::chrono::milliseconds duration) override;
    // Runs what is due now, then the pump hook (the "message loop" of the test).
    void pump() override;

    Micros nowMicros() const { return now_; }
    // Advances the clock to `when`, running due events in order on the way.
    void advanceTo(Micros when);

    // Runs `action` when the clock reaches `when` (events at the same time run in the order
    // they were scheduled).
    void at(Micros when, std::function<void()> action);
    void after(Micros delay, std::function<void()> action) { at(now_ + delay, std::move(action)); }

    // Called on every pump, re-entrantly from inside the control's waits.
    void setPumpHook(std::function<void()> hook) { pumpHook_ = std::move(hook); }

    std::int64_t sleepCalls() const { return sleepCalls_; }
    std::int64_t pumpCalls() const { return pumpCalls_; }

private:
    void runDue();

    Micros now_ = 0;
    std::uint64_t sequence_ = 0;
    std::multimap<std::pair<Micros, std::uint64_t>, std::function<void()>> events_;
    std::function<void()> pumpHook_;
    std::int64_t sleepCalls_ = 0;
    std::int64_t pumpCalls_ = 0;
};

}  // namespace sim
