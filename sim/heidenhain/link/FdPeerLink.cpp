#include "sim/heidenhain/link/FdPeerLink.h"

#include "comm/link/TermiosSpeed.h"

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace sim {

namespace {

// How long one poll may sleep, so that posted work and stop requests are seen promptly.
constexpr int kLongestPollMs = 5;

}  // namespace

FdPeerLink::FdPeerLink(int fd) : fd_(fd) {
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) | O_NONBLOCK);
}

void FdPeerLink::send(std::string_view bytes) {
    std::size_t done = 0;
    while (done < bytes.size() && !broken_) {
        const ssize_t n = ::write(fd_, bytes.data() + done, bytes.size() - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n < 0 && (errno == EAGAIN || errno == EINTR)) {
            pollfd p{fd_, POLLOUT, 0};
            ::poll(&p, 1, kLongestPollMs);
        } else {
            broken_ = true;
        }
    }
}

void FdPeerLink::setReceiver(std::function<void(std::uint8_t)> receiver) {
    receiver_ = std::move(receiver);
}

PeerLink::TimerId FdPeerLink::after(std::chrono::milliseconds delay, std::function<void()> action) {
    const TimerId id = nextTimer_++;
    timers_.emplace(std::make_pair(Clock::now() + delay, id), std::move(action));
    return id;
}

void FdPeerLink::cancel(TimerId timer) {
    std::erase_if(timers_, [timer](const auto& entry) { return entry.first.second == timer; });
}

void FdPeerLink::post(std::function<void()> action) {
    std::lock_guard lock(postedMutex_);
    posted_.push_back(std::move(action));
}

bool FdPeerLink::runUntil(const std::function<bool()>& done, std::chrono::milliseconds timeout) {
    const auto deadline = Clock::now() + timeout;
    stop_ = false;
    while (true) {
        runPosted();
        readAvailable();
        runDueTimers();
        if (done()) {
            return true;
        }
        const auto now = Clock::now();
        if (stop_ || now >= deadline || broken_) {
            return false;
        }
        auto wake = std::min(deadline, now + std::chrono::milliseconds(kLongestPollMs));
        if (!timers_.empty()) {
            wake = std::min(wake, timers_.begin()->first.first);
        }
        const auto waitMs =
            std::chrono::duration_cast<std::chrono::milliseconds>(wake - now).count();
        pollfd p{fd_, POLLIN, 0};
        ::poll(&p, 1, static_cast<int>(std::max<std::int64_t>(waitMs, 0)));
    }
}

void FdPeerLink::runPosted() {
    std::vector<std::function<void()>> work;
    {
        std::lock_guard lock(postedMutex_);
        work.swap(posted_);
    }
    for (auto& action : work) {
        action();
    }
}

void FdPeerLink::runDueTimers() {
    while (!timers_.empty() && timers_.begin()->first.first <= Clock::now()) {
        auto action = std::move(timers_.begin()->second);
        timers_.erase(timers_.begin());
        action();
    }
}

void FdPeerLink::readAvailable() {
    std::uint8_t buffer[4096];
    while (true) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            for (ssize_t i = 0; i < n; ++i) {
                if (receiver_) {
                    receiver_(buffer[i]);
                }
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        // EIO: a pseudo-terminal whose other end is closed just now; it may be opened again.
        if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK && errno != EIO) {
            broken_ = true;
        }
        return;
    }
}

int openLineDevice(const std::string& path, int speed) {
    const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        throw std::runtime_error("cannot open " + path + ": " + std::strerror(errno));
    }
    termios tio{};
    if (::tcgetattr(fd, &tio) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error(path + " is not a serial line: " + std::strerror(error));
    }
    ::cfmakeraw(&tio);
    const auto known = comm::termiosSpeed(speed);
    if (!known) {
        throw std::runtime_error("unsupported line speed " + std::to_string(speed));
    }
    const speed_t baud = *known;
    ::cfsetispeed(&tio, baud);
    ::cfsetospeed(&tio, baud);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cflag &= ~(CSTOPB | CRTSCTS);
    tio.c_iflag &= ~(IXON | IXOFF | IXANY);
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;
    if (::tcsetattr(fd, TCSANOW, &tio) != 0) {
        const int error = errno;
        ::close(fd);
        throw std::runtime_error("cannot set up " + path + ": " + std::strerror(error));
    }
    return fd;
}

}  // namespace sim
