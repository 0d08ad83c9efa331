// One line per event of the running sub nets: time, sub net caption, unit, what happened.
// Progress is written at most once per tenth of a transfer.
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

private:
    void line(const std::string& caption, int unit, const std::string& text);

    Sink sink_;
    Clock clock_;
    std::map<int, int> lastTenth_;  // per sub net, -1 when no transfer is running
};

}  // namespace dnc
