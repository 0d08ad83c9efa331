#include "dnc/config/DeviceProbe.h"

#include <fcntl.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/types.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fstream>
#include <iterator>

#include "dnc/config/SettingRules.h"

namespace dnc {

namespace {

class SystemDeviceAccess : public DeviceAccess {
public:
    int open(const std::string& device) override {
        // Without becoming the controlling terminal and without waiting for a carrier.
        const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
        return fd >= 0 ? fd : -errno;
    }
    bool isTerminal(int fd) override { return ::isatty(fd) == 1; }
    bool lockedByAnother(int fd) override {
        // The serial port takes this lock for as long as it holds the device.
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            return errno == EWOULDBLOCK;
        }
        ::flock(fd, LOCK_UN);
        return false;
    }
    bool lockFileHeld(const std::string& device) override {
        return uucpLockHeld(device, "/run/lock") || uucpLockHeld(device, "/var/lock");
    }
    void close(int fd) override { ::close(fd); }
    bool markedExclusive(int fd) override {
        int exclusive = 0;
        return ::ioctl(fd, TIOCGEXCL, &exclusive) == 0 && exclusive != 0;
    }
};

std::string baseName(const std::string& path) {
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

DeviceState state(PortState s, std::string text) {
    return {s, s == PortState::Free, std::move(text)};
}

DeviceState failedOpen(int error) {
    switch (error) {
        case ENOENT:
        case ENODEV:
        case ENXIO:
        case EIO:  // a port whose hardware is not there
            return state(PortState::NotAvailable, "does not exist");
        case EACCES:
        case EPERM:
            return state(PortState::NoPermission,
                         "exists, but this user may not open it (on Debian: group \"dialout\")");
        case EBUSY:
            // The exclusive mark: set by a program that holds the port, or left behind by one
            // that ended while the other end of a pseudo-terminal stayed open.
            return state(PortState::Used,
                         "exists, but is marked for exclusive use: another program holds it, or "
                         "one that ended left the mark (only root may open it then)");
        default:
            return state(PortState::Error,
                         std::string("exists, but cannot be opened: ") + std::strerror(error));
    }
}

}  // namespace

DeviceAccess& systemDeviceAccess() {
    static SystemDeviceAccess access;
    return access;
}

bool uucpLockHeld(const std::string& device, const std::string& lockDirectory) {
    std::ifstream file(lockDirectory + "/LCK.." + baseName(device), std::ios::binary);
    if (!file) {
        return false;
    }
    const std::string content{std::istreambuf_iterator<char>(file),
                              std::istreambuf_iterator<char>()};
    long pid = 0;
    const auto digits = content.find_first_of("0123456789");
    if (digits != std::string::npos && content.find_first_not_of(" \t\n", 0) == digits) {
        pid = std::strtol(content.c_str() + digits, nullptr, 10);
    } else if (content.size() == sizeof(int)) {
        int binary = 0;
        std::memcpy(&binary, content.data(), sizeof binary);
        pid = binary;
    }
    if (pid <= 0) {
        return false;
    }
    // A stale file of a process that ended holds nothing.
    return ::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM;
}

DeviceState probeDevice(const std::string& device, DeviceAccess& access) {
    if (isNetworkPortName(device)) {
        return state(PortState::Network, "a network port, not probed");
    }
    if (device.empty() || device.front() != '/') {
        return state(PortState::Error, "not a device path");
    }
    const int fd = access.open(device);
    if (fd < 0) {
        return failedOpen(-fd);
    }
    const bool terminal = access.isTerminal(fd);
    const bool held = terminal && (access.lockedByAnother(fd) || access.lockFileHeld(device));
    const bool markLeft = terminal && !held && access.markedExclusive(fd);
    // Closing is not the last close while another program holds the device, so its line
    // settings and modem lines stay as they are.
    access.close(fd);
    if (!terminal) {
        return state(PortState::NotSerial, "exists, but is not a serial device");
    }
    if (held) {
        return state(PortState::Used, "exists, but another program holds it");
    }
    if (markLeft) {
        // Only root gets this far past the mark; the service's user would be refused.
        return state(PortState::Used,
                     "exists, no program holds it, but one that ended left it marked for "
                     "exclusive use: users other than root cannot open it until it is closed "
                     "on both ends");
    }
    return state(PortState::Free, "exists, can be opened");
}

}  // namespace dnc
