#include "comm/link/PosixSerialPort.h"

#include "comm/link/PacedWrite.h"
#include "comm/link/PortError.h"
#include "comm/link/TermiosFraming.h"
#include "comm/link/TermiosSpeed.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace comm {

namespace {

// A pseudo-terminal (and some USB adapters) refuse the modem-line calls; that only means the
// lines are not there.
bool modemCallRefused(int error) {
    return error == ENOTTY || error == EINVAL || error == ENOTSUP;
}

}  // namespace

PosixSerialPort::~PosixSerialPort() {
    close();
}

Status PosixSerialPort::open(const std::string& device, const LineSettings& settings,
                             const LineControl& control) {
    close();
    const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        return portError("Cannot open " + device, errno);
    }
    if (!isatty(fd)) {
        ::close(fd);
        return portError(device + " is not a serial port", ENOTTY);
    }
    // Another program (or sub net) holding the port is "in use", as on other platforms.
    if (flock(fd, LOCK_EX | LOCK_NB) != 0) {
        const int error = errno;
        ::close(fd);
        return portError("Cannot open " + device + " (in use)", error);
    }
    ioctl(fd, TIOCEXCL);
    fd_ = fd;
    settings_ = settings;
    control_ = control;
    int lines = 0;
    paced_ = io_->modemLines(fd_, TIOCMGET, &lines) != 0 && modemCallRefused(errno);
    if (paced_) {
        LinePacing::preciseWaits();
    }
    if (Status status = applyTermios(); !status) {
        close();
        return status;
    }
    tcflush(fd_, TCIOFLUSH);
    return {};
}

void PosixSerialPort::close() {
    if (fd_ >= 0) {
        if (!pacing_.empty()) {
            (void)waitWrite(drainTimeMs(pacing_, kCloseDrainLimit));
        }
        // The exclusive mark outlives the descriptor on a pseudo-terminal whose other end is
        // still open: every later open by a user other than root would fail as "busy".
        ioctl(fd_, TIOCNXCL);
        ::close(fd_);
        fd_ = -1;
    }
    pacing_.clear();
    input_.clear();
    inputPos_ = 0;
}

Status PosixSerialPort::configure(const LineSettings& settings) {
    const LineSettings old = settings_;
    settings_ = settings;
    if (fd_ < 0) {
        return {};
    }
    Status status = applyTermios();
    if (!status) {
        settings_ = old;
    }
    return status;
}

Status PosixSerialPort::applyControl(const LineControl& control) {
    control_ = control;
    if (fd_ < 0) {
        return {};
    }
    return applyTermios();
}

Status PosixSerialPort::applyTermios() {
    termios tio{};
    if (tcgetattr(fd_, &tio) != 0) {
        return portError("Cannot read the line settings", errno);
    }
    cfmakeraw(&tio);
    const auto speed = termiosSpeed(settings_.speed);
    if (!speed) {
        return portError("Line speed " + std::to_string(settings_.speed) + " is not supported",
                         EINVAL);
    }
    cfsetispeed(&tio, *speed);
    cfsetospeed(&tio, *speed);
    tio.c_cflag &= ~CRTSCTS;
    tio.c_cflag |= CLOCAL | CREAD;
    const TermiosFraming framing{settings_.dataBits, static_cast<char>(settings_.parity),
                                 settings_.stopBits != StopBits::One};
    if (!setTermiosFraming(tio, framing)) {
        return portError(std::to_string(settings_.dataBits) + " data bits are not supported",
                         EINVAL);
    }
    // Without XON/XOFF handshaking the kernel must pass DC1 and DC3 through: the block
    // protocols use them as data.
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    if (control_.handshaking & kHandshakeXonXoff) {
        tio.c_iflag |= IXON | IXOFF;
    }
    tio.c_cc[VSTART] = control_.xonChar;
    tio.c_cc[VSTOP] = control_.xoffChar;
    if (control_.handshaking & kHandshakeRts) {
        tio.c_cflag |= CRTSCTS;
    }
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    switch (applyTermiosWithFraming(fd_, tio, paced_)) {
        case FramingResult::Applied:
            emulated_ = false;
            dataMask_ = 0xFF;
            break;
        case FramingResult::Emulated:
            emulated_ = true;
            // The device carries 8 bits without parity; the bytes keep the data bits that a
            // line of this framing would carry, and pacing keeps its character length.
            dataMask_ = static_cast<std::uint8_t>((1u << settings_.dataBits) - 1);
            break;
        case FramingResult::Refused:
            return portError("The port cannot carry " + std::to_string(settings_.dataBits) +
                                 " data bits with this parity",
                             EINVAL);
        case FramingResult::Failed:
            return portError("Cannot apply the line settings", errno);
    }

    int dtr = TIOCM_DTR;
    if (io_->modemLines(fd_, TIOCMBIS, &dtr) != 0 && !modemCallRefused(errno)) {
        return portError("Cannot raise DTR", errno);
    }
    if (!(control_.handshaking & kHandshakeRts)) {
        int rts = TIOCM_RTS;
        if (io_->modemLines(fd_, TIOCMBIC, &rts) != 0 && !modemCallRefused(errno)) {
            return portError("Cannot drop RTS", errno);
        }
    }
    pacing_.setCharacterTime(paced_ ? settings_.characterTime() : std::chrono::nanoseconds(0));
    return {};
}

// One look at the clock per push: what is due then goes in one write (a byte that falls due
// during the write waits for the next push, instead of a write of its own).
WriteProgress PosixSerialPort::pushPending() {
    const auto now = Clock::now();
    while (true) {
        const auto due = pacing_.due(now);
        if (due.empty()) {
            break;
        }
        const ssize_t n = io_->write(fd_, due.data(), due.size());
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                break;
            }
            return {WriteProgress::Failed, pacing_.handedTotal(), errno};
        }
        pacing_.handedOn(static_cast<std::size_t>(n));
    }
    if (pacing_.allHandedOn() && outputDrained() && pacing_.finish(now)) {
        return {WriteProgress::Done, pacing_.handedTotal(), 0};
    }
    return {WriteProgress::Pending, pacing_.handedTotal(), 0};
}

bool PosixSerialPort::outputDrained() const {
    if (paced_) {
        return true;  // the pacing tells
    }
    int queued = 0;
    return io_->outputQueued(fd_, &queued) != 0 || queued == 0;
}

void PosixSerialPort::waitForDevice(int ms) {
    int queued = 0;
    if (!paced_ && pacing_.allHandedOn() && io_->outputQueued(fd_, &queued) == 0 && queued > 0) {
        // A device that sends at its own speed (a UART) holds the rest of the write: it has
        // left when that many characters' time is over. Its driver reports room for output
        // long before, so a wait for that would return at once, again and again.
        const auto left =
            std::chrono::ceil<std::chrono::milliseconds>(settings_.characterTime() * queued);
        std::this_thread::sleep_for(std::min(left, std::chrono::milliseconds(std::max(ms, 1))));
        return;
    }
    // A full buffer: wait until the device takes more.
    io_->waitWritable(fd_, ms);
}

WriteProgress PosixSerialPort::startWrite(std::span<const std::uint8_t> data) {
    if (fd_ < 0) {
        return {WriteProgress::Failed, 0, EBADF};
    }
    pacing_.queue(data, dataMask_, Clock::now());
    return pushPending();
}

WriteProgress PosixSerialPort::startWriteInPieces(std::span<const std::uint8_t> data,
                                                  std::span<const std::size_t> pieceEnds) {
    if (fd_ < 0) {
        return {WriteProgress::Failed, 0, EBADF};
    }
    pacing_.queuePieces(data, dataMask_, Clock::now(), pieceEnds);
    return pushPending();
}

WriteProgress PosixSerialPort::waitWrite(int timeoutMs) {
    if (fd_ < 0) {
        return {WriteProgress::Failed, pacing_.handedTotal(), EBADF};
    }
    return waitPacedWrite(pacing_, timeoutMs, kChunkCharacters,
                          {[this] { return pushPending(); }, [this] { return paced_; },
                           [this](int ms) { waitForDevice(ms); },
                           // A port that paces itself waits for its time instead; a device
                           // draining is waited for as long as it needs.
                           paced_ ? 2 : timeoutMs});
}

std::size_t PosixSerialPort::bytesWaiting() {
    if (fd_ < 0) {
        return 0;
    }
    int queued = 0;
    if (ioctl(fd_, FIONREAD, &queued) != 0 || queued < 0) {
        queued = 0;
    }
    return (input_.size() - inputPos_) + static_cast<std::size_t>(queued);
}

// Moves what the device holds into the port's own buffer.
void PosixSerialPort::takeInput() {
    if (fd_ < 0) {
        return;
    }
    compactInput(input_, inputPos_);
    std::uint8_t buffer[4096];
    // A peer that floods the line is held back by the driver's buffer once this much waits.
    while (input_.size() - inputPos_ < kInputLimit) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            input_.insert(input_.end(), buffer, buffer + n);
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        return;
    }
}

std::uint8_t PosixSerialPort::readByte() {
    if (inputPos_ == input_.size()) {
        takeInput();
        if (inputPos_ == input_.size()) {
            return 0;
        }
    }
    return input_[inputPos_++] & dataMask_;
}

// The device is emptied first, so that only bytes that come from now on end the wait.
bool PosixSerialPort::waitForInput(std::chrono::milliseconds timeout) {
    if (fd_ < 0) {
        return false;
    }
    takeInput();
    waitInputWhileSending(
        pacing_, timeout, kChunkCharacters, [this] { (void)pushPending(); },
        [this](int ms) {
            pollfd p{fd_, POLLIN, 0};
            const int rc = ::poll(&p, 1, ms);
            // A device that hung up stays "readable": it must not turn the caller's pauses
            // into a spin.
            if (rc > 0 && (p.revents & POLLIN) == 0) {
                std::this_thread::sleep_for(std::chrono::milliseconds(ms));
            }
            return rc > 0;
        });
    return true;
}

void PosixSerialPort::flushInput() {
    if (fd_ >= 0 && paced_) {
        // A pseudo-terminal: what has arrived is read and dropped. Its flush would also wait
        // for the kernel to hand over bytes still on their way, a thread switch per call, and
        // the line flushes before and after every poll.
        takeInput();
    } else if (fd_ >= 0) {
        tcflush(fd_, TCIFLUSH);
    }
    input_.clear();
    inputPos_ = 0;
}

void PosixSerialPort::flushOutput() {
    if (fd_ >= 0) {
        io_->flushOutput(fd_);
    }
    pacing_.clear();
}

void PosixSerialPort::purgeOutput() {
    flushOutput();
}

int PosixSerialPort::deviceLost() {
    if (fd_ < 0) {
        return 0;
    }
    // A removed device, like a pseudo-terminal whose other end closed, reports a hang-up (with
    // "readable", since a read would not block). Data still waiting is read first.
    pollfd p{fd_, POLLIN, 0};
    if (::poll(&p, 1, 0) <= 0) {
        return 0;
    }
    if ((p.revents & POLLNVAL) != 0) {
        return EBADF;
    }
    if ((p.revents & (POLLHUP | POLLERR)) == 0) {
        return 0;
    }
    int queued = 0;
    if (ioctl(fd_, FIONREAD, &queued) == 0 && queued > 0) {
        return 0;
    }
    return EIO;
}

}  // namespace comm
