#include "sim/unit/FdUnitLine.h"

#include <poll.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <ctime>

namespace sim::unit {

namespace {

// Longest sleep of the line thread, so that stop() is noticed soon.
constexpr auto kLongestWait = std::chrono::milliseconds(20);

}  // namespace

std::chrono::nanoseconds characterTime(std::int32_t speed, double bitsPerCharacter) {
    if (speed <= 0) {
        return std::chrono::nanoseconds(0);
    }
    return std::chrono::nanoseconds(static_cast<std::int64_t>(bitsPerCharacter * 1e9 / speed));
}

FdUnitLine::FdUnitLine(UnitSimulator& units, int fd, std::chrono::nanoseconds charTime)
    : units_(units), fd_(fd), charTime_(charTime) {
    units_.setOutput([this](const std::string& bytes) { enqueue(bytes); });
}

FdUnitLine::~FdUnitLine() {
    stop();
    units_.setOutput({});
}

void FdUnitLine::start() {
    if (running_.exchange(true)) {
        return;
    }
    if (thread_.joinable()) {
        thread_.join();  // a thread that ended on a failure
    }
    failure_ = 0;
    thread_ = std::thread([this] { run(); });
}

void FdUnitLine::stop() {
    running_ = false;
    if (thread_.joinable()) {
        thread_.join();
    }
}

// Called by the units with the mutex held: each byte leaves one character time after the
// previous one, and a byte is on the far side only when all of it has been sent.
void FdUnitLine::enqueue(const std::string& bytes) {
    auto release = std::max(Clock::now(), lastRelease_);
    for (char c : bytes) {
        release += charTime_;
        outgoing_.emplace_back(release, static_cast<std::uint8_t>(c));
    }
    lastRelease_ = release;
}

bool FdUnitLine::writeDue(Clock::time_point now) {
    std::string due;
    std::size_t count = 0;
    for (const auto& [when, byte] : outgoing_) {
        if (when > now) {
            break;
        }
        due += static_cast<char>(byte);
        ++count;
    }
    std::size_t written = 0;
    while (written < due.size()) {
        const ssize_t n = ::write(fd_, due.data() + written, due.size() - written);
        if (n > 0) {
            written += static_cast<std::size_t>(n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else if (n < 0 && (errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO)) {
            break;  // full, or nobody on the other end yet: try again later
        } else {
            failure_ = errno;
            return false;
        }
    }
    outgoing_.erase(outgoing_.begin(),
                    outgoing_.begin() + static_cast<std::ptrdiff_t>(std::min(written, count)));
    return true;
}

bool FdUnitLine::readAvailable() {
    std::uint8_t buffer[512];
    while (true) {
        const ssize_t n = ::read(fd_, buffer, sizeof buffer);
        if (n > 0) {
            std::lock_guard<std::mutex> lock(mutex_);
            for (ssize_t i = 0; i < n; ++i) {
                units_.receive(buffer[i]);
            }
            continue;
        }
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n == 0 || errno == EAGAIN || errno == EWOULDBLOCK || errno == EIO) {
            return true;  // nothing more now (EIO: the other end is not open at the moment)
        }
        failure_ = errno;
        return false;
    }
}

void FdUnitLine::run() {
    if (prompt_) {
        sched_param lowest{sched_get_priority_min(SCHED_FIFO)};
        (void)pthread_setschedparam(pthread_self(), SCHED_FIFO, &lowest);  // best effort
    }
    while (running_) {
        Clock::time_point wake;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            if (!writeDue(Clock::now())) {
                break;
            }
            wake = Clock::now() + kLongestWait;
            if (!outgoing_.empty()) {
                wake = std::min(wake, outgoing_.front().first);
            }
        }
        const auto left = std::max(wake - Clock::now(), Clock::duration::zero());
        const auto ns = std::chrono::duration_cast<std::chrono::nanoseconds>(left).count();
        timespec timeout{static_cast<time_t>(ns / 1000000000), static_cast<long>(ns % 1000000000)};
        pollfd p{fd_, POLLIN, 0};
        const int ready = ::ppoll(&p, 1, &timeout, nullptr);
        if (ready > 0 && (p.revents & POLLIN) != 0) {
            if (!readAvailable()) {
                break;
            }
        } else if (ready > 0 && (p.revents & (POLLHUP | POLLERR)) != 0) {
            // A pseudo-terminal whose other end is closed: wait for it to be opened again.
            std::this_thread::sleep_for(kLongestWait);
        }
    }
    running_ = false;
}

}  // namespace sim::unit
