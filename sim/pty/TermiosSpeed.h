// The termios constant of a line speed, for the simulators that open devices themselves.
#pragma once

#include <termios.h>

#include <cstdint>
#include <optional>

namespace sim {

inline std::optional<speed_t> termiosSpeed(std::int32_t speed) {
    switch (speed) {
        case 300:
            return B300;
        case 600:
            return B600;
        case 1200:
            return B1200;
        case 2400:
            return B2400;
        case 4800:
            return B4800;
        case 9600:
            return B9600;
        case 19200:
            return B19200;
        case 38400:
            return B38400;
        case 57600:
            return B57600;
        case 115200:
            return B115200;
        default:
            return std::nullopt;
    }
}

}  // namespace sim
