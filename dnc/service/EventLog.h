// One line per event of the running sub nets: time, sub net caption, unit, what happened.
// Progress is written at most once per tenth of a transfer. A sub net that floods the log
// (a unit answering every poll with garbage) is held to a few lines a second: a line that
// repeats one written within the last second, and any line beyond the budget of a second, is
// counted instead, and the count is written as "N similar messages suppressed" before the
// sub net's next line. The line's state changes (started, stopped, closed), each transfer's
// start and end, and the progress (already once per tenth) are always written; an error is
// held back only when it repeats.
#pragma once

#include <chrono>
#include <functional>
#include <map>
#include <string>

#include "dnc/manager/SubNetEvent.h"

namespace dnc {

class EventLog {
public:
    using Sink = std::function<void(const std::string&)>;
    using Clock = std::function<std::chrono::system_clock::time_point()>;

    explicit EventLog(Sink sink, Clock clock = {});

    void event(const SubNetEvent& event);
    // A line of the service itself (start, stop, retries), with the sub net it concerns.
    void note(int subNet, const std::string& caption, const std::string& text);

    // Lines a sub net may write in one second.
    static constexpr int kLinesPerSecond = 10;

private:
    struct Flood {
        std::chrono::system_clock::time_point windowStart{};
        int written = 0;
        // The lines written in the last second, with when.
        std::map<std::string, std::chrono::system_clock::time_point> recent;
        int suppressed = 0;
    };

    // How far a line may be held back in a flood.
    enum class Hold {
        Budget,       // a repeat within a second, and anything beyond the budget, is counted
        RepeatsOnly,  // an error: only its repeats are counted, never a new one
        Never,        // a change of the line's state, a transfer's start and end
    };
    void line(const std::string& caption, int unit, const std::string& text,
              Hold hold = Hold::Budget);
    void write(std::chrono::system_clock::time_point when, const std::string& caption,
               const std::string& text);

    Sink sink_;
    Clock clock_;
    std::map<int, int> lastTenth_;         // per sub net, -1 when no transfer is running
    std::map<std::string, Flood> floods_;  // per caption
};

}  // namespace dnc
