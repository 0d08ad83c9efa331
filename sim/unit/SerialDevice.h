// The device the simulator plays its units on: a serial port or a pseudo-terminal end, opened
// raw and non-blocking with the line format of the DNC line ("9600,n,8,2").
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim::unit {

struct LineFormat {
    std::int32_t speed = 4800;
    char parity = 'n';  // n, e, o
    int dataBits = 8;
    int stopBits = 2;

    double bitsPerCharacter() const { return 1.0 + dataBits + (parity == 'n' ? 0 : 1) + stopBits; }
};

// nullopt for a text that is not "speed,parity,data bits,stop bits" with a known speed.
std::optional<LineFormat> parseLineFormat(std::string_view text);

class SerialDevice {
public:
    SerialDevice() = default;
    ~SerialDevice();
    SerialDevice(const SerialDevice&) = delete;
    SerialDevice& operator=(const SerialDevice&) = delete;

    // Empty on success, else why the device cannot be used.
    std::string open(const std::string& path, const LineFormat& format);
    int descriptor() const { return fd_; }

private:
    int fd_ = -1;
};

}  // namespace sim::unit
