// The serial devices this machine has, for choosing the device of a port: the UARTs that are
// there (/dev/ttyS*), USB adapters (/dev/ttyUSB*, /dev/ttyACM*) and the stable names that
// udev gives USB adapters (/dev/serial/by-id), which survive a replug into another socket.
#pragma once

#include <string>
#include <vector>

namespace dnc {

struct SerialDevice {
    std::string path;    // as it goes into section "Ports"
    std::string target;  // for a stable name, the device it names now; else empty
};

struct DeviceFolders {
    std::string dev = "/dev";
    std::string sysClassTty = "/sys/class/tty";
};

// Stable names first (by name), then the devices by kind and number (ttyS2 before ttyS10).
// A /dev/ttyS* whose UART the kernel reports as absent (type 0 in sysfs) is left out.
std::vector<SerialDevice> listSerialDevices(const DeviceFolders& folders = {});

}  // namespace dnc
