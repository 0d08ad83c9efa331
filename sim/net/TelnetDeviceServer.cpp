#include "sim/net/TelnetDeviceServer.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>
#include <stdexcept>

namespace sim {

namespace {

constexpr std::uint8_t kIac = 255, kDont = 254, kDo = 253, kWont = 252, kWill = 251, kSb = 250,
                       kSe = 240;
constexpr std::uint8_t kBinary = 0, kComPort = 44;

void writeAll(int fd, const std::vector<std::uint8_t>& bytes) {
    std::size_t done = 0;
    while (fd >= 0 && done < bytes.size()) {
        const ssize_t n = ::send(fd, bytes.data() + done, bytes.size() - done, MSG_NOSIGNAL);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            return;
        }
        done += static_cast<std::size_t>(n);
    }
}

}  // namespace

TelnetDeviceServer::TelnetDeviceServer(Behaviour behaviour) : behaviour_(behaviour) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (listener_ < 0 || ::bind(listener_, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&address), &length) != 0 ||
        ::pipe2(wake_, O_CLOEXEC | O_NONBLOCK) != 0) {
        throw std::runtime_error(std::string("no loopback server: ") + std::strerror(errno));
    }
    port_ = ntohs(address.sin_port);
    thread_ = std::thread([this] { run(); });
}

TelnetDeviceServer::~TelnetDeviceServer() {
    {
        std::lock_guard lock(mutex_);
        stop_ = true;
    }
    const char byte = 0;
    (void)!::write(wake_[1], &byte, 1);
    thread_.join();
    closeClient();
    ::close(listener_);
    ::close(wake_[0]);
    ::close(wake_[1]);
}

std::string TelnetDeviceServer::address() const {
    return std::string(behaviour_ == Behaviour::Raw ? "tcp" : "rfc2217") +
           "://127.0.0.1:" + std::to_string(port_);
}

std::vector<std::uint8_t> TelnetDeviceServer::data() const {
    std::lock_guard lock(mutex_);
    return data_;
}

std::vector<TelnetDeviceServer::Command> TelnetDeviceServer::commands() const {
    std::lock_guard lock(mutex_);
    return commands_;
}

int TelnetDeviceServer::connections() const {
    std::lock_guard lock(mutex_);
    return connections_;
}

bool TelnetDeviceServer::connected() const {
    std::lock_guard lock(mutex_);
    return client_ >= 0;
}

bool TelnetDeviceServer::waitForData(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return data_.size() >= count; });
}

bool TelnetDeviceServer::waitForCommands(std::size_t count, std::chrono::milliseconds timeout) {
    std::unique_lock lock(mutex_);
    return changed_.wait_for(lock, timeout, [&] { return commands_.size() >= count; });
}

void TelnetDeviceServer::send(const std::vector<std::uint8_t>& bytes) {
    std::vector<std::uint8_t> wire;
    for (const std::uint8_t b : bytes) {
        wire.push_back(b);
        if (b == kIac && behaviour_ != Behaviour::Raw) {
            wire.push_back(kIac);
        }
    }
    sendWire(wire);
}

void TelnetDeviceServer::holdAnswersTo(std::uint8_t code) {
    std::lock_guard lock(mutex_);
    heldAnswers_ = code;
}

void TelnetDeviceServer::sendWire(const std::vector<std::uint8_t>& bytes) {
    std::lock_guard lock(mutex_);
    writeAll(client_, bytes);
}

void TelnetDeviceServer::drop() {
    std::lock_guard lock(mutex_);
    if (client_ >= 0) {
        ::shutdown(client_, SHUT_RDWR);
    }
}

void TelnetDeviceServer::closeClient() {
    std::lock_guard lock(mutex_);
    if (client_ >= 0) {
        ::close(client_);
        client_ = -1;
    }
    changed_.notify_all();
}

void TelnetDeviceServer::accepted(int fd) {
    std::lock_guard lock(mutex_);
    client_ = fd;
    ++connections_;
    state_ = State::Data;
    if (behaviour_ == Behaviour::AcceptComPort || behaviour_ == Behaviour::RefuseComPort) {
        // Servers open with their own offers, as the common ones do.
        writeAll(fd, {kIac, kWill, kBinary, kIac, kDo, kBinary, kIac, kWill, 1});
    }
    changed_.notify_all();
}

void TelnetDeviceServer::run() {
    while (true) {
        int client = -1;
        {
            std::lock_guard lock(mutex_);
            if (stop_) {
                return;
            }
            client = client_;
        }
        pollfd p[3] = {{wake_[0], POLLIN, 0}, {listener_, POLLIN, 0}, {client, POLLIN, 0}};
        ::poll(p, client >= 0 ? 3 : 2, 100);
        if (p[0].revents != 0) {
            char buffer[16];
            while (::read(wake_[0], buffer, sizeof buffer) > 0) {
            }
        }
        if (client < 0 && (p[1].revents & POLLIN) != 0) {
            const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
            if (fd >= 0) {
                accepted(fd);
            }
            continue;
        }
        if (client >= 0 && p[2].revents != 0) {
            std::uint8_t buffer[4096];
            const ssize_t n = ::recv(client, buffer, sizeof buffer, 0);
            if (n <= 0) {
                closeClient();
                continue;
            }
            std::vector<std::uint8_t> reply;
            std::lock_guard lock(mutex_);
            if (behaviour_ == Behaviour::Raw) {
                data_.insert(data_.end(), buffer, buffer + n);
            } else if (behaviour_ != Behaviour::Silent) {
                parse(buffer, static_cast<std::size_t>(n), reply);
            }
            writeAll(client_, reply);
            changed_.notify_all();
        }
    }
}

void TelnetDeviceServer::parse(const std::uint8_t* bytes, std::size_t count,
                               std::vector<std::uint8_t>& reply) {
    for (std::size_t i = 0; i < count; ++i) {
        const std::uint8_t b = bytes[i];
        switch (state_) {
            case State::Data:
                if (b == kIac) {
                    state_ = State::Iac;
                } else {
                    data_.push_back(b);
                }
                break;
            case State::Iac:
                state_ = State::Data;
                if (b == kIac) {
                    data_.push_back(b);
                } else if (b >= kWill && b <= kDont) {
                    verb_ = b;
                    state_ = State::Verb;
                } else if (b == kSb) {
                    sub_.clear();
                    state_ = State::Sub;
                }
                break;
            case State::Verb:
                negotiate(verb_, b, reply);
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == kIac) {
                    state_ = State::SubIac;
                } else {
                    sub_.push_back(b);
                }
                break;
            case State::SubIac:
                if (b == kIac) {
                    sub_.push_back(b);
                    state_ = State::Sub;
                    break;
                }
                state_ = State::Data;
                if (b == kSe && sub_.size() >= 2 && sub_[0] == kComPort) {
                    Command command{sub_[1], {sub_.begin() + 2, sub_.end()}};
                    if (heldAnswers_ == command.code) {
                        commands_.push_back(std::move(command));
                        break;
                    }
                    reply.insert(reply.end(),
                                 {kIac, kSb, kComPort, static_cast<std::uint8_t>(sub_[1] + 100)});
                    for (const std::uint8_t v : command.value) {
                        reply.push_back(v);
                        if (v == kIac) {
                            reply.push_back(kIac);
                        }
                    }
                    reply.insert(reply.end(), {kIac, kSe});
                    commands_.push_back(std::move(command));
                }
                break;
        }
    }
}

void TelnetDeviceServer::negotiate(std::uint8_t verb, std::uint8_t option,
                                   std::vector<std::uint8_t>& reply) {
    if (verb == kWill && option == kComPort) {
        const bool accept = behaviour_ == Behaviour::AcceptComPort;
        reply.insert(reply.end(), {kIac, accept ? kDo : kDont, option});
    } else if (verb == kWill && option != kBinary) {
        reply.insert(reply.end(), {kIac, kDont, option});
    } else if (verb == kDo && option != kBinary) {
        reply.insert(reply.end(), {kIac, kWont, option});
    }
    // BINARY was offered both ways at the start; the client's agreement needs no answer.
}

}  // namespace sim
