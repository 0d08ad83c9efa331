#include "sim/heidenhain/link/LineEndOptions.h"

#include <ostream>

namespace sim {

bool LineEndOptions::take(const std::string& option, const std::function<std::string()>& value) {
    if (option == "--device") {
        device = value();
    } else if (option == "--pty") {
        pty = true;
    } else if (option == "--speed") {
        speed = std::stoi(value());
    } else if (option == "--start-after-ms") {
        startAfterMs = std::stoi(value());
    } else {
        return false;
    }
    return true;
}

LineEnd::LineEnd(const LineEndOptions& options, std::ostream& out)
    : startAfter_(options.startAfterMs) {
    int fd = -1;
    if (options.pty) {
        pty_ = std::make_unique<PtyPair>();
        fd = pty_->masterFd();
        out << "control device: " << pty_->devicePath() << std::endl;
    } else {
        fd = openLineDevice(options.device, options.speed);
    }
    link_ = std::make_unique<FdPeerLink>(fd);
}

void LineEnd::waitToStart(const std::function<bool()>& interrupted) {
    if (startAfter_.count() > 0) {
        link_->runUntil(interrupted, startAfter_);
    }
}

}  // namespace sim
