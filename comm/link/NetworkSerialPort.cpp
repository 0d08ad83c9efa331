#include "comm/link/NetworkSerialPort.h"

#include "comm/files/FileIo.h"

#include "comm/link/PacedWrite.h"
#include "comm/link/PortError.h"

#include <netdb.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <thread>

namespace comm {

namespace {

using telnet::ComPortCommand;

int remainingMs(std::chrono::steady_clock::time_point deadline) {
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
        deadline - std::chrono::steady_clock::now());
    return static_cast<int>(std::max<std::int64_t>(left.count(), 0));
}

std::uint8_t parityCode(Parity parity) {
    switch (parity) {
        case Parity::None:
            return telnet::kParityNone;
        case Parity::Odd:
            return telnet::kParityOdd;
        case Parity::Even:
            return telnet::kParityEven;
        case Parity::Mark:
            return telnet::kParityMark;
        case Parity::Space:
            return telnet::kParitySpace;
    }
    return telnet::kParityNone;
}

std::uint8_t stopCode(StopBits stop) {
    switch (stop) {
        case StopBits::One:
            return telnet::kStopOne;
        case StopBits::Two:
            return telnet::kStopTwo;
        case StopBits::OneAndHalf:
            return telnet::kStopOneAndHalf;
    }
    return telnet::kStopOne;
}

// A quiet line would otherwise not notice a server that went away without closing.
void keepAlive(int fd) {
    const int on = 1;
    const int idle = 10;
    const int interval = 5;
    const int count = 3;
    setsockopt(fd, SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPIDLE, &idle, sizeof idle);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPINTVL, &interval, sizeof interval);
    setsockopt(fd, IPPROTO_TCP, TCP_KEEPCNT, &count, sizeof count);
    // Paced writes are a few bytes each; they must not wait for more.
    setsockopt(fd, IPPROTO_TCP, TCP_NODELAY, &on, sizeof on);
}

}  // namespace

NetworkSerialPort::~NetworkSerialPort() {
    close();
}

Status NetworkSerialPort::open(const std::string& device, const LineSettings& settings,
                               const LineControl& control) {
    close();
    auto parsed = parseNetworkAddress(device);
    if (auto* why = std::get_if<std::string>(&parsed)) {
        return portFailure(EINVAL, "\"" + device + "\" is not a device address: " + *why);
    }
    const auto& address = std::get<NetworkAddress>(parsed);
    device_ = device;
    settings_ = settings;
    control_ = control;
    telnet_ = address.kind == NetworkAddress::Kind::Rfc2217;
    pacing_.setCharacterTime(settings_.characterTime());
    LinePacing::preciseWaits();
    if (Status status = connectTo(address); !status) {
        close();
        return status;
    }
    if (telnet_) {
        if (Status status = negotiate(); !status) {
            close();
            return status;
        }
        sendSettings();
        sendControl();
        sendPurge(telnet::kPurgeBoth);
        // The server's answer to the purge comes after it applied everything before it: the
        // line is ready when the open returns, and nothing from before it is left.
        if (Status status = awaitAnswer(telnet::ComPortCommand::PurgeData); !status) {
            close();
            return status;
        }
    }
    input_.clear();
    inputPos_ = 0;
    return {};
}

Status NetworkSerialPort::connectTo(const NetworkAddress& address) {
    const auto deadline = Clock::now() + limits_.connect;
    addrinfo hints{};
    hints.ai_family = AF_UNSPEC;
    hints.ai_socktype = SOCK_STREAM;
    hints.ai_flags = AI_NUMERICSERV;
    addrinfo* found = nullptr;
    const std::string service = std::to_string(address.port);
    const std::string where = address.host + ":" + service;
    where_ = where;
    if (const int rc = getaddrinfo(address.host.c_str(), service.c_str(), &hints, &found);
        rc != 0) {
        return portFailure(EHOSTUNREACH, "Cannot find " + where + ": " + gai_strerror(rc));
    }
    int error = ETIMEDOUT;
    for (addrinfo* a = found; a != nullptr && fd_ < 0; a = a->ai_next) {
        const int fd =
            ::socket(a->ai_family, a->ai_socktype | SOCK_NONBLOCK | SOCK_CLOEXEC, a->ai_protocol);
        if (fd < 0) {
            error = errno;
            continue;
        }
        if (::connect(fd, a->ai_addr, a->ai_addrlen) != 0 && errno != EINPROGRESS) {
            error = errno;
            ::close(fd);
            continue;
        }
        pollfd p{fd, POLLOUT, 0};
        int rc = 0;
        do {
            rc = ::poll(&p, 1, remainingMs(deadline));
        } while (rc < 0 && errno == EINTR);
        int soError = 0;
        socklen_t length = sizeof soError;
        if (rc == 0) {
            error = ETIMEDOUT;
        } else if (getsockopt(fd, SOL_SOCKET, SO_ERROR, &soError, &length) != 0) {
            error = errno;
        } else if (soError != 0) {
            error = soError;
        } else {
            keepAlive(fd);
            fd_ = fd;
            break;
        }
        ::close(fd);
    }
    freeaddrinfo(found);
    if (fd_ < 0) {
        return portError("Cannot connect to " + where, error);
    }
    return {};
}

Status NetworkSerialPort::negotiate() {
    const auto deadline = Clock::now() + limits_.negotiation;
    codec_.start(true, wireOut_);
    while (true) {
        if (!flushWire()) {
            return portError("Telnet negotiation with " + device_ + " failed", lost_);
        }
        receive();
        if (codec_.comPortAccepted()) {
            return {};
        }
        if (codec_.comPortRefused()) {
            return portFailure(EPROTO, device_ +
                                           " does not offer COM port control (RFC 2217); "
                                           "use tcp:// for a raw line");
        }
        if (lost_ != 0) {
            return portError("Telnet negotiation with " + device_ + " failed", lost_);
        }
        const int left = remainingMs(deadline);
        if (left == 0) {
            return portFailure(ETIMEDOUT, device_ + " did not answer the Telnet negotiation");
        }
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, left);
    }
}

Status NetworkSerialPort::awaitAnswer(telnet::ComPortCommand command) {
    const auto deadline = Clock::now() + limits_.negotiation;
    while (!codec_.answer(command)) {
        if (!flushWire() || (receive(), lost_ != 0)) {
            return portError("Cannot set up the line of " + device_, lost_);
        }
        if (codec_.answer(command)) {
            break;
        }
        const int left = remainingMs(deadline);
        if (left == 0) {
            return portFailure(ETIMEDOUT, device_ + " did not answer the line settings");
        }
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, left);
    }
    return {};
}

void NetworkSerialPort::close() {
    if (fd_ >= 0) {
        if (!pacing_.empty() && lost_ == 0) {
            (void)waitWrite(drainTimeMs(pacing_, kCloseDrainLimit));
        }
        ::close(fd_);
        fd_ = -1;
    }
    codec_ = telnet::TelnetCodec();
    pacing_.clear();
    wireOut_.clear();
    wireOutPos_ = 0;
    input_.clear();
    inputPos_ = 0;
    lost_ = 0;
}

Status NetworkSerialPort::configure(const LineSettings& settings) {
    if (settings.speed <= 0) {
        return portError("Line speed " + std::to_string(settings.speed) + " is not supported",
                         EINVAL);
    }
    settings_ = settings;
    pacing_.setCharacterTime(settings_.characterTime());
    if (fd_ >= 0 && telnet_) {
        sendSettings();
        flushWire();
    }
    return {};
}

Status NetworkSerialPort::applyControl(const LineControl& control) {
    control_ = control;
    if (fd_ >= 0 && telnet_) {
        sendControl();
        flushWire();
    }
    return {};
}

void NetworkSerialPort::sendSettings() {
    const auto speed = static_cast<std::uint32_t>(settings_.speed);
    const std::uint8_t baud[4] = {
        static_cast<std::uint8_t>(speed >> 24), static_cast<std::uint8_t>(speed >> 16),
        static_cast<std::uint8_t>(speed >> 8), static_cast<std::uint8_t>(speed)};
    const std::uint8_t size = static_cast<std::uint8_t>(settings_.dataBits);
    const std::uint8_t parity = parityCode(settings_.parity);
    const std::uint8_t stop = stopCode(settings_.stopBits);
    telnet::TelnetCodec::encodeComPort(ComPortCommand::SetBaudRate, baud, wireOut_);
    telnet::TelnetCodec::encodeComPort(ComPortCommand::SetDataSize, {&size, 1}, wireOut_);
    telnet::TelnetCodec::encodeComPort(ComPortCommand::SetParity, {&parity, 1}, wireOut_);
    telnet::TelnetCodec::encodeComPort(ComPortCommand::SetStopSize, {&stop, 1}, wireOut_);
}

void NetworkSerialPort::sendControl() {
    const std::uint8_t flow = (control_.handshaking & kHandshakeRts) ? telnet::kControlHardware
                              : (control_.handshaking & kHandshakeXonXoff) ? telnet::kControlXonXoff
                                                                           : telnet::kControlNoFlow;
    const std::uint8_t dtr = telnet::kControlDtrOn;
    telnet::TelnetCodec::encodeComPort(ComPortCommand::SetControl, {&flow, 1}, wireOut_);
    telnet::TelnetCodec::encodeComPort(ComPortCommand::SetControl, {&dtr, 1}, wireOut_);
    if (!(control_.handshaking & kHandshakeRts)) {
        const std::uint8_t rts = telnet::kControlRtsOff;
        telnet::TelnetCodec::encodeComPort(ComPortCommand::SetControl, {&rts, 1}, wireOut_);
    }
}

void NetworkSerialPort::sendPurge(std::uint8_t what) {
    telnet::TelnetCodec::encodeComPort(ComPortCommand::PurgeData, {&what, 1}, wireOut_);
}

void NetworkSerialPort::lose(int error) {
    if (lost_ == 0) {
        lost_ = error;
    }
}

bool NetworkSerialPort::flushWire() {
    while (wireOutPos_ < wireOut_.size() && lost_ == 0) {
        const ssize_t n = ::send(fd_, wireOut_.data() + wireOutPos_, wireOut_.size() - wireOutPos_,
                                 MSG_NOSIGNAL | MSG_DONTWAIT);
        if (n < 0) {
            if (errno == EINTR) {
                continue;
            }
            if (errno == EAGAIN || errno == EWOULDBLOCK) {
                return true;
            }
            lose(errno);
            break;
        }
        wireOutPos_ += static_cast<std::size_t>(n);
    }
    if (wireOutPos_ == wireOut_.size()) {
        wireOut_.clear();
        wireOutPos_ = 0;
    }
    return lost_ == 0;
}

void NetworkSerialPort::receive() {
    if (fd_ < 0 || lost_ != 0) {
        return;
    }
    compactInput(input_, inputPos_);
    std::uint8_t buffer[4096];
    // A server that floods the line is held back by TCP once this much waits unread.
    while (input_.size() - inputPos_ < kInputLimit) {
        const ssize_t n = ::recv(fd_, buffer, sizeof buffer, MSG_DONTWAIT);
        if (n > 0) {
            if (telnet_) {
                codec_.decode({buffer, static_cast<std::size_t>(n)}, input_, replies_);
            } else {
                input_.insert(input_.end(), buffer, buffer + n);
            }
            continue;
        }
        if (n == 0) {
            lose(ECONNRESET);  // the server closed the connection
        } else if (errno == EINTR) {
            continue;
        } else if (errno != EAGAIN && errno != EWOULDBLOCK) {
            lose(errno);
        }
        break;
    }
    if (!replies_.empty()) {
        wireOut_.insert(wireOut_.end(), replies_.begin(), replies_.end());
        replies_.clear();
        flushWire();
    }
}

WriteProgress NetworkSerialPort::pushPending() {
    if (lost_ != 0 || !flushWire()) {
        return {WriteProgress::Failed, pacing_.handedTotal(), lost_};
    }
    const auto now = Clock::now();
    if (wireOut_.empty() && !codec_.flowSuspended()) {
        const auto due = pacing_.due(now);
        if (!due.empty()) {
            if (telnet_) {
                codec_.encodeData(due, wireOut_);
            } else {
                wireOut_.assign(due.begin(), due.end());
            }
            pacing_.handedOn(due.size());
            if (!flushWire()) {
                return {WriteProgress::Failed, pacing_.handedTotal(), lost_};
            }
        }
    }
    if (wireOut_.empty() && pacing_.finish(now)) {
        return {WriteProgress::Done, pacing_.handedTotal(), 0};
    }
    return {WriteProgress::Pending, pacing_.handedTotal(), 0};
}

WriteProgress NetworkSerialPort::startWrite(std::span<const std::uint8_t> data) {
    if (fd_ < 0) {
        return {WriteProgress::Failed, 0, EBADF};
    }
    pacing_.queue(data, 0xFF, Clock::now());
    return pushPending();
}

WriteProgress NetworkSerialPort::startWriteInPieces(std::span<const std::uint8_t> data,
                                                    std::span<const std::size_t> pieceEnds) {
    if (fd_ < 0) {
        return {WriteProgress::Failed, 0, EBADF};
    }
    pacing_.queuePieces(data, 0xFF, Clock::now(), pieceEnds);
    return pushPending();
}

WriteProgress NetworkSerialPort::waitWrite(int timeoutMs) {
    if (fd_ < 0) {
        return {WriteProgress::Failed, pacing_.handedTotal(), EBADF};
    }
    return waitPacedWrite(
        pacing_, timeoutMs, kChunkCharacters,
        {[this] { return pushPending(); },
         [this] { return wireOut_.empty() && !codec_.flowSuspended(); },
         [this](int ms) {
             // The socket takes no more for now, or the server asked to hold back: the
             // server's answers still have to be read.
             receive();
             pollfd p{fd_, static_cast<short>(wireOut_.empty() ? POLLIN : POLLOUT), 0};
             ::poll(&p, 1, ms);
         },
         2});
}

std::size_t NetworkSerialPort::bytesWaiting() {
    receive();
    return input_.size() - inputPos_;
}

std::uint8_t NetworkSerialPort::readByte() {
    if (inputPos_ == input_.size()) {
        receive();
        if (inputPos_ == input_.size()) {
            return 0;
        }
    }
    return input_[inputPos_++];
}

void NetworkSerialPort::flushInput() {
    receive();
    input_.clear();
    inputPos_ = 0;
    if (fd_ >= 0 && telnet_) {
        sendPurge(telnet::kPurgeReceive);
        flushWire();
    }
}

void NetworkSerialPort::settleInput() {
    if (fd_ < 0 || !telnet_) {
        flushInput();
        return;
    }
    // The server purges its buffer when the command reaches it, which may be after the peer's
    // next bytes did: a line that listens after a purge it did not wait for can lose the
    // request that came right after it. What arrives before the purge's answer is older than
    // the purge; what follows the answer is new.
    receive();
    input_.clear();
    inputPos_ = 0;
    const std::size_t purgesBefore = codec_.answerCount(telnet::ComPortCommand::PurgeData);
    sendPurge(telnet::kPurgeReceive);
    const auto deadline = Clock::now() + limits_.negotiation;
    while (flushWire() && (receive(), lost_ == 0)) {
        if (codec_.answerCount(telnet::ComPortCommand::PurgeData) != purgesBefore) {
            const std::size_t older =
                std::min(codec_.dataBeforeAnswer(telnet::ComPortCommand::PurgeData), input_.size());
            input_.erase(input_.begin(), input_.begin() + static_cast<std::ptrdiff_t>(older));
            return;
        }
        const int left = remainingMs(deadline);
        if (left == 0) {
            break;
        }
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, left);
    }
    // No answer in time (or the line is gone, which the next read reports): as flushInput.
    input_.clear();
    inputPos_ = 0;
}

void NetworkSerialPort::flushOutput() {
    // What is on the wire already has left the line; what is not yet due never goes.
    pacing_.clear();
    if (fd_ >= 0 && telnet_) {
        sendPurge(telnet::kPurgeTransmit);
        flushWire();
    }
}

void NetworkSerialPort::purgeOutput() {
    flushOutput();
}

bool NetworkSerialPort::waitForInput(std::chrono::milliseconds timeout) {
    if (fd_ < 0) {
        return false;
    }
    receive();
    if (lost_ != 0) {
        std::this_thread::sleep_for(timeout);  // a closed socket would wake at once, always
        return true;
    }
    waitInputWhileSending(
        pacing_, timeout, kChunkCharacters, [this] { (void)pushPending(); },
        [this](int ms) {
            pollfd p{fd_, POLLIN, 0};
            return ::poll(&p, 1, ms) > 0;
        });
    return true;
}

int NetworkSerialPort::deviceLost() {
    if (fd_ < 0) {
        return 0;
    }
    receive();
    return inputPos_ < input_.size() ? 0 : lost_;
}

std::string NetworkSerialPort::failureText(int systemError) const {
    if (where_.empty()) {
        return {};
    }
    switch (systemError) {
        case EPIPE:
        case ECONNRESET:
            return "connection closed by " + where_;
        case ECONNREFUSED:
            return "connection refused by " + where_;
        case ETIMEDOUT:
            return "no answer from " + where_;
        case EBADF:
            return "not connected to " + where_;
        default:
            return systemDescription(systemError) + " (" + where_ + ")";
    }
}

}  // namespace comm
