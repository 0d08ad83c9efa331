// The memory-list refreshes that wait for the line, one flag per unit. A change notice for a
// unit whose refresh is still waiting needs no refresh of its own: the waiting one reads the
// memory later than the notice came, so it shows the change too. Every further listing would
// only keep the line from the units' own requests (many notices arrive together, e.g. after a
// batch of transfers, or when the window's thread was busy for a while).
// The window queues on its own thread; the refresh starts on the sub net's thread.
#pragma once

#include <array>
#include <atomic>

namespace dnc::window {

class QueuedRefreshes {
public:
    static constexpr int kHighestUnit = 11;  // the DNC line's addresses

    // Whether a refresh for `unit` must be queued now; false while one is still waiting.
    // Units outside 1..11 are never held back.
    bool claim(int unit);
    // The refresh for `unit` begins to read the memory: a notice from now on needs another.
    void starting(int unit);
    bool waiting(int unit) const;

private:
    static bool valid(int unit) { return unit >= 1 && unit <= kHighestUnit; }
    std::array<std::atomic<bool>, kHighestUnit + 1> waiting_{};
};

}  // namespace dnc::window
