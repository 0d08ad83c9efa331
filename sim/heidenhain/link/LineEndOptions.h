// How the machine-side simulators' programs find their end of the line: a device of their own
// or a new pseudo-terminal pair whose terminal end the PC opens; a wait before they start.
#pragma once

#include <chrono>
#include <functional>
#include <iosfwd>
#include <memory>
#include <string>

#include "sim/heidenhain/link/FdPeerLink.h"
#include "sim/pty/PtyPair.h"

namespace sim {

struct LineEndOptions {
    std::string device;
    bool pty = false;
    int speed = 9600;
    int startAfterMs = 0;

    // Takes --device, --pty, --speed and --start-after-ms (`value` gives the option's value);
    // false for any other option.
    bool take(const std::string& option, const std::function<std::string()>& value);
    bool given() const { return pty || !device.empty(); }
};

// The line's far end, ready to drive. A new pseudo-terminal's device is named on `out`.
class LineEnd {
public:
    LineEnd(const LineEndOptions& options, std::ostream& out);
    FdPeerLink& link() { return *link_; }
    // Waits the start-after time, or less when `interrupted` turns true.
    void waitToStart(const std::function<bool()>& interrupted);

private:
    std::unique_ptr<PtyPair> pty_;
    std::unique_ptr<FdPeerLink> link_;
    std::chrono::milliseconds startAfter_;
};

}  // namespace sim
