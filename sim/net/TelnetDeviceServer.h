// A scripted network device server on the loopback address, for the tests of the control's
// network ports: raw TCP, or Telnet with COM port control that accepts, refuses or ignores the
// client's offer. It records the data and the COM port commands it received (decoded by a
// parser of its own, not the control's), answers each command with its value, sends data
// (escaped) and drops the connection on request; it accepts the next connection after a drop.
#pragma once

#include <chrono>
#include <condition_variable>
#include <cstdint>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

namespace sim {

class TelnetDeviceServer {
public:
    enum class Behaviour { Raw, AcceptComPort, RefuseComPort, Silent };
    struct Command {
        std::uint8_t code = 0;
        std::vector<std::uint8_t> value;
    };

    explicit TelnetDeviceServer(Behaviour behaviour);
    ~TelnetDeviceServer();
    TelnetDeviceServer(const TelnetDeviceServer&) = delete;
    TelnetDeviceServer& operator=(const TelnetDeviceServer&) = delete;

    std::uint16_t port() const { return port_; }
    // "tcp://127.0.0.1:N" for Raw, else "rfc2217://127.0.0.1:N".
    std::string address() const;

    std::vector<std::uint8_t> data() const;
    std::vector<Command> commands() const;
    int connections() const;
    bool connected() const;
    // Wait until that many data bytes or commands came in all; false after `timeout`.
    bool waitForData(std::size_t count, std::chrono::milliseconds timeout);
    bool waitForCommands(std::size_t count, std::chrono::milliseconds timeout);

    // Sends data bytes to the client (IAC doubled unless raw) / bytes exactly as given.
    void send(const std::vector<std::uint8_t>& bytes);
    void sendWire(const std::vector<std::uint8_t>& bytes);
    // Commands with this code are taken without an answer from now on: the test sends the
    // answer itself with sendWire, between data of its choosing.
    void holdAnswersTo(std::uint8_t code);
    // Closes the current connection, as a device server that restarts.
    void drop();

private:
    enum class State { Data, Iac, Verb, Sub, SubIac };

    void run();
    void accepted(int fd);
    void parse(const std::uint8_t* bytes, std::size_t count, std::vector<std::uint8_t>& reply);
    void negotiate(std::uint8_t verb, std::uint8_t option, std::vector<std::uint8_t>& reply);
    void closeClient();

    const Behaviour behaviour_;
    int listener_ = -1;
    int wake_[2] = {-1, -1};
    std::uint16_t port_ = 0;

    mutable std::mutex mutex_;
    std::condition_variable changed_;
    int client_ = -1;
    int connections_ = 0;
    bool stop_ = false;
    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    std::vector<std::uint8_t> sub_;
    std::vector<std::uint8_t> data_;
    std::vector<Command> commands_;
    std::optional<std::uint8_t> heldAnswers_;
    std::thread thread_;
};

}  // namespace sim
