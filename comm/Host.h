// What the control needs from the thread it runs on: a clock, a way to sleep, and a way to let
// pending work of that thread run while the control waits (operator commands, property changes
// and StopTransfer arrive that way, re-entrantly, in the middle of a transfer).
#pragma once

#include <chrono>

namespace comm {

class Host {
public:
    virtual ~Host() = default;

    // Monotonic time.
    virtual std::chrono::milliseconds now() = 0;
    virtual void sleep(std::chrono::milliseconds duration) = 0;
    // Lets pending messages of the owning thread run.
    virtual void pump() = 0;
};

}  // namespace comm
