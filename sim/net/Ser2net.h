// A ser2net process on the loopback address serving one serial device (the terminal end of a
// pseudo-terminal pair, with a simulator on the other end), raw TCP or Telnet with COM port
// control. For the end-to-end tests and benchmarks of the network lines; it can be stopped and
// started again on the same TCP port, as a device server that goes away and comes back.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <filesystem>
#include <string>

namespace sim {

class Ser2net {
public:
    enum class Kind { RawTcp, Rfc2217 };

    // The ser2net program, or empty when it is not installed.
    static std::string program();

    // Writes the configuration; nothing runs yet.
    Ser2net(Kind kind, const std::string& device, std::int32_t speed);
    ~Ser2net();
    Ser2net(const Ser2net&) = delete;
    Ser2net& operator=(const Ser2net&) = delete;

    // Starts the server and waits until it accepts connections; empty on success, else why not.
    std::string start();
    // Ends the server and with it every connection.
    void stop();

    // "tcp://127.0.0.1:N" or "rfc2217://127.0.0.1:N".
    std::string address() const;

private:
    Kind kind_;
    std::uint16_t port_ = 0;
    std::filesystem::path folder_;
    pid_t pid_ = -1;
};

}  // namespace sim
