#include "sim/unit/SerialDevice.h"

#include "comm/link/TermiosFraming.h"
#include "comm/link/TermiosSpeed.h"

#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <cstring>

namespace sim::unit {

std::optional<LineFormat> parseLineFormat(std::string_view text) {
    std::string_view fields[4];
    for (int i = 0; i < 4; ++i) {
        const std::size_t comma = text.find(',');
        if ((comma == std::string_view::npos) != (i == 3)) {
            return std::nullopt;
        }
        fields[i] = text.substr(0, comma);
        text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    }
    LineFormat format;
    const auto number = [](std::string_view s, auto& out) {
        const auto [end, ec] = std::from_chars(s.data(), s.data() + s.size(), out);
        return ec == std::errc{} && end == s.data() + s.size();
    };
    if (!number(fields[0], format.speed) || !comm::termiosSpeed(format.speed) ||
        fields[1].size() != 1 ||
        std::string_view("neoNEO").find(fields[1][0]) == std::string_view::npos ||
        !number(fields[2], format.dataBits) || format.dataBits < 7 || format.dataBits > 8 ||
        !number(fields[3], format.stopBits) || format.stopBits < 1 || format.stopBits > 2) {
        return std::nullopt;
    }
    format.parity = static_cast<char>(fields[1][0] | 0x20);
    return format;
}

SerialDevice::~SerialDevice() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

std::string SerialDevice::open(const std::string& path, const LineFormat& format) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return "cannot open " + path + ": " + std::strerror(errno);
    }
    termios tio{};
    if (tcgetattr(fd, &tio) != 0) {
        const std::string why = path + " is not a serial device: " + std::strerror(errno);
        ::close(fd);
        return why;
    }
    cfmakeraw(&tio);
    cfsetispeed(&tio, *comm::termiosSpeed(format.speed));
    cfsetospeed(&tio, *comm::termiosSpeed(format.speed));
    tio.c_cflag &= ~CRTSCTS;
    tio.c_cflag |= CLOCAL | CREAD;
    comm::setTermiosFraming(tio, {format.dataBits, format.parity, format.stopBits == 2});
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);  // DC1 and DC3 are data on this line
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    // A pseudo-terminal keeps 8 bits without parity; the simulated units send 7-bit text.
    const comm::FramingResult applied = comm::applyTermiosWithFraming(fd, tio);
    if (applied == comm::FramingResult::Failed || applied == comm::FramingResult::Refused) {
        const std::string why =
            "cannot set the line format of " + path + ": " + std::strerror(errno);
        ::close(fd);
        return why;
    }
    tcflush(fd, TCIOFLUSH);
    fd_ = fd;
    return {};
}

}  // namespace sim::unit
