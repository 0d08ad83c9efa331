// Whether the device of a port is there and could be opened, without keeping it: for the
// check mode, which changes nothing.
#pragma once

#include <string>

namespace dnc {

struct DeviceState {
    bool usable = false;  // there, a serial device, and this user may open it now
    std::string text;     // "exists, can be opened", "does not exist", ...
};

// Network ports (tcp://, rfc2217://) are not connected to: a device server may serve one
// client only.
DeviceState probeDevice(const std::string& device);

}  // namespace dnc
