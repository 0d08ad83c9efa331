#include "sim/net/Ser2net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <netinet/in.h>
#include <signal.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>
#include <stdexcept>
#include <thread>

namespace sim {

namespace {

// A port the system hands out now; ser2net binds it a moment later.
std::uint16_t freeLoopbackPort() {
    const int fd = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    if (fd < 0 || ::bind(fd, reinterpret_cast<sockaddr*>(&address), length) != 0 ||
        ::getsockname(fd, reinterpret_cast<sockaddr*>(&address), &length) != 0) {
        throw std::runtime_error("no loopback port");
    }
    ::close(fd);
    return ntohs(address.sin_port);
}

// Whether something listens on the loopback port, from the kernel's table, without a
// connection (which would make ser2net open the device).
bool listening(std::uint16_t port) {
    std::ifstream table("/proc/net/tcp");
    std::string line;
    char wanted[16];
    std::snprintf(wanted, sizeof wanted, ":%04X", port);
    while (std::getline(table, line)) {
        std::istringstream fields(line);
        std::string slot, local, remote, state;
        fields >> slot >> local >> remote >> state;
        if (state == "0A" && local.size() > 5 && local.substr(local.size() - 5) == wanted) {
            return true;
        }
    }
    return false;
}

}  // namespace

std::string Ser2net::program() {
    for (const char* path : {"/usr/sbin/ser2net", "/usr/bin/ser2net", "/usr/local/sbin/ser2net"}) {
        if (::access(path, X_OK) == 0) {
            return path;
        }
    }
    return {};
}

Ser2net::Ser2net(Kind kind, const std::string& device, std::int32_t speed)
    : kind_(kind), port_(freeLoopbackPort()) {
    folder_ = std::filesystem::temp_directory_path() /
              ("ferix-ser2net-" + std::to_string(::getpid()) + "-" + std::to_string(port_));
    std::filesystem::create_directories(folder_);
    std::ofstream config(folder_ / "ser2net.yaml");
    config << "%YAML 1.1\n---\nconnection: &line\n"
           << "  accepter: "
           << (kind == Kind::Rfc2217 ? "telnet(rfc2217)," : "")
           // Without nodelay a two-byte answer may wait for the acknowledgement of the last one.
           << "tcp(nodelay),127.0.0.1," << port_ << "\n"
           << "  connector: serialdev," << device << "," << speed << "n81,local\n"
           << "  options:\n    kickolduser: true\n"
           // By default the server holds what the machine sends for at least 1 ms to pack it;
           // a protocol that waits for a one-byte answer per block loses that every time.
           << "    chardelay: false\n";
}

Ser2net::~Ser2net() {
    stop();
    std::error_code ignored;
    std::filesystem::remove_all(folder_, ignored);
}

std::string Ser2net::address() const {
    return std::string(kind_ == Kind::Rfc2217 ? "rfc2217" : "tcp") +
           "://127.0.0.1:" + std::to_string(port_);
}

std::string Ser2net::start() {
    const std::string path = program();
    if (path.empty()) {
        return "ser2net is not installed";
    }
    stop();
    const std::string config = (folder_ / "ser2net.yaml").string();
    const std::string pidFile = (folder_ / "ser2net.pid").string();
    pid_ = ::fork();
    if (pid_ < 0) {
        return "cannot start ser2net";
    }
    if (pid_ == 0) {
        const int null = ::open("/dev/null", O_RDWR);
        ::dup2(null, 0);
        ::dup2(null, 1);
        ::dup2(null, 2);
        ::execl(path.c_str(), "ser2net", "-n", "-c", config.c_str(), "-P", pidFile.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(pid_, &status, WNOHANG) == pid_) {
            pid_ = -1;
            return "ser2net ended at once";
        }
        if (listening(port_)) {
            return {};
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    stop();
    return "ser2net does not accept connections";
}

void Ser2net::stop() {
    if (pid_ > 0) {
        ::kill(pid_, SIGTERM);
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
    }
}

}  // namespace sim
