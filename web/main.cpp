// ferixdnc-web: the browser view of a plant's shared history, and its accounts.
#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <iostream>
#include <string>
#include <thread>
#include <vector>

#include "web/Accounts.h"
#include "web/Options.h"
#include "web/Server.h"

namespace {

constexpr int kExitOk = 0;
constexpr int kExitFailure = 1;
constexpr int kExitUsage = 2;

// One line from standard input; on a terminal without echo.
bool readPassword(const char* prompt, std::string& password) {
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    termios saved{};
    if (terminal) {
        std::cerr << prompt << std::flush;
        ::tcgetattr(STDIN_FILENO, &saved);
        termios quiet = saved;
        quiet.c_lflag &= ~static_cast<tcflag_t>(ECHO);
        ::tcsetattr(STDIN_FILENO, TCSANOW, &quiet);
    }
    const bool ok = static_cast<bool>(std::getline(std::cin, password));
    if (terminal) {
        ::tcsetattr(STDIN_FILENO, TCSANOW, &saved);
        std::cerr << "\n";
    }
    if (!password.empty() && password.back() == '\r') {
        password.pop_back();
    }
    return ok;
}

int addUser(const web::Options& options) {
    std::string error;
    auto accounts = web::Accounts::load(options.users, error, true);
    if (!accounts) {
        std::cerr << "ferixdnc-web: " << error << "\n";
        return kExitFailure;
    }
    std::string password;
    if (!readPassword("Password: ", password)) {
        std::cerr << "ferixdnc-web: no password on standard input\n";
        return kExitFailure;
    }
    if (::isatty(STDIN_FILENO) != 0) {
        std::string again;
        if (!readPassword("Again: ", again) || again != password) {
            std::cerr << "ferixdnc-web: the passwords differ\n";
            return kExitFailure;
        }
    }
    if (!accounts->set(*options.addUser, options.role, password, error) ||
        !accounts->save(options.users, error)) {
        std::cerr << "ferixdnc-web: " << error << "\n";
        return kExitFailure;
    }
    std::cerr << "ferixdnc-web: " << *options.addUser << " may sign in as "
              << web::roleName(options.role) << "\n";
    return kExitOk;
}

int serve(const web::Options& options) {
    std::string error;
    web::Accounts accounts;
    if (!options.users.empty()) {
        auto loaded = web::Accounts::load(options.users, error);
        if (!loaded) {
            std::cerr << "ferixdnc-web: " << error << "\n";
            return kExitFailure;
        }
        accounts = std::move(*loaded);
    }
    // SIGTERM and SIGINT end the server from a thread of their own.
    sigset_t stopping;
    sigemptyset(&stopping);
    sigaddset(&stopping, SIGTERM);
    sigaddset(&stopping, SIGINT);
    pthread_sigmask(SIG_BLOCK, &stopping, nullptr);
    signal(SIGPIPE, SIG_IGN);

    web::WebServer server(options, std::move(accounts));
    const int port = server.bind(error);
    if (port < 0) {
        std::cerr << "ferixdnc-web: " << error << "\n";
        return kExitFailure;
    }
    std::cerr << "ferixdnc-web: serving " << options.host << ":" << port << "\n";
    std::thread waiter([&] {
        int signal = 0;
        sigwait(&stopping, &signal);
        server.stop();
    });
    const bool ran = server.run();
    if (waiter.joinable()) {
        // The server ended by itself: wake the waiter.
        pthread_kill(waiter.native_handle(), SIGTERM);
        waiter.join();
    }
    return ran ? kExitOk : kExitFailure;
}

}  // namespace

int main(int argc, char** argv) {
    std::string error;
    const auto options = web::parseOptions(std::vector<std::string>(argv + 1, argv + argc), error);
    if (!options) {
        std::cerr << "ferixdnc-web: " << error << "\n\n" << web::usage();
        return kExitUsage;
    }
    if (options->help) {
        std::cout << web::usage();
        return kExitOk;
    }
    return options->addUser ? addUser(*options) : serve(*options);
}
