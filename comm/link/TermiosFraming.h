// Character framing (data bits, parity, stop bits) of a terminal device, for the control's
// POSIX port and for the simulators that open devices themselves (header only, so that they
// need not link the control).
//
// A pseudo-terminal keeps 8 data bits without parity whatever is asked: tcsetattr asking for
// CS7 or PARENB returns 0 while changing neither, and fails with EINVAL when none of the other
// asked changes can be made either. On such a device the framing that it keeps is asked for,
// and the framing of the line is left to the user of the device (pacing, masking to the data
// bits); on a real port the framing is read back, since the return value does not prove it.
#pragma once

#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <termios.h>

#include <cerrno>

namespace comm {

struct TermiosFraming {
    int dataBits = 8;   // 5 to 8
    char parity = 'n';  // n, e, o, m, s
    bool twoStopBits = false;
};

// True for a framing that the termios flags can express.
inline bool setTermiosFraming(termios& tio, const TermiosFraming& framing) {
    tio.c_cflag &= ~(CSIZE | PARENB | PARODD | CMSPAR | CSTOPB);
    switch (framing.dataBits) {
        case 5:
            tio.c_cflag |= CS5;
            break;
        case 6:
            tio.c_cflag |= CS6;
            break;
        case 7:
            tio.c_cflag |= CS7;
            break;
        case 8:
            tio.c_cflag |= CS8;
            break;
        default:
            return false;
    }
    switch (framing.parity) {
        case 'n':
            break;
        case 'e':
            tio.c_cflag |= PARENB;
            break;
        case 'o':
            tio.c_cflag |= PARENB | PARODD;
            break;
        case 'm':
            tio.c_cflag |= PARENB | CMSPAR | PARODD;
            break;
        case 's':
            tio.c_cflag |= PARENB | CMSPAR;
            break;
        default:
            return false;
    }
    if (framing.twoStopBits) {
        tio.c_cflag |= CSTOPB;
    }
    return true;
}

// The terminal end of a pseudo-terminal pair (Linux majors of the UNIX 98 and BSD slaves).
inline bool isPseudoTerminal(int fd) {
    struct stat st {};
    if (fstat(fd, &st) != 0 || !S_ISCHR(st.st_mode)) {
        return false;
    }
    const unsigned int type = major(st.st_rdev);
    return (type >= 136 && type <= 143) || type == 3;
}

enum class FramingResult {
    Applied,   // the device carries the framing asked
    Emulated,  // a pseudo-terminal: 8 bits without parity on the device
    Refused,   // the device does not keep the framing asked (errno: EINVAL)
    Failed,    // tcsetattr failed (errno set)
};

// Applies `tio` (framing flags included) to the device. On a pseudo-terminal (or, when
// `virtualDevice` says so, any device that turns out not to keep its framing) the framing that
// the device keeps is asked instead.
inline FramingResult applyTermiosWithFraming(int fd, termios tio, bool virtualDevice = false) {
    const tcflag_t framingFlags = CSIZE | PARENB | PARODD | CMSPAR;
    const tcflag_t asked = tio.c_cflag & framingFlags;
    const tcflag_t kept = CS8;
    const bool pty = isPseudoTerminal(fd);
    if (pty || asked == kept) {
        tio.c_cflag = (tio.c_cflag & ~framingFlags) | kept;
        if (tcsetattr(fd, TCSANOW, &tio) != 0) {
            return FramingResult::Failed;
        }
        return asked == kept ? FramingResult::Applied : FramingResult::Emulated;
    }
    const bool set = tcsetattr(fd, TCSANOW, &tio) == 0;
    const int setError = errno;
    termios back{};
    const bool carried = set && tcgetattr(fd, &back) == 0 && (back.c_cflag & framingFlags) == asked;
    if (carried) {
        return FramingResult::Applied;
    }
    if (!set && setError != EINVAL) {
        errno = setError;
        return FramingResult::Failed;
    }
    if (virtualDevice) {
        tio.c_cflag = (tio.c_cflag & ~framingFlags) | kept;
        if (tcsetattr(fd, TCSANOW, &tio) != 0) {
            return FramingResult::Failed;
        }
        return FramingResult::Emulated;
    }
    errno = EINVAL;
    return FramingResult::Refused;
}

}  // namespace comm
