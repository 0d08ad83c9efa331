#include "dnc/service/DeviceProbe.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "dnc/config/SettingRules.h"

namespace dnc {

DeviceState probeDevice(const std::string& device) {
    if (isNetworkPortName(device)) {
        return {false, "a network port, not probed"};
    }
    if (device.empty() || device.front() != '/') {
        return {false, "not a device path"};
    }
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) {
        return {false, errno == ENOENT ? "does not exist"
                                       : std::string("cannot be seen: ") + std::strerror(errno)};
    }
    // Opened without becoming the controlling terminal and without waiting for a carrier,
    // and closed at once.
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        const int error = errno;
        if (error == EACCES || error == EPERM) {
            return {false, "exists, but this user may not open it (on Debian: group \"dialout\")"};
        }
        if (error == EBUSY) {
            return {false, "exists, but another program holds it"};
        }
        return {false, std::string("exists, but cannot be opened: ") + std::strerror(error)};
    }
    const bool serial = ::isatty(fd) == 1;
    ::close(fd);
    if (!serial) {
        return {false, "exists, but is not a serial device"};
    }
    return {true, "exists, can be opened"};
}

}  // namespace dnc
