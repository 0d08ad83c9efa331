// FerixDNC run as a process: usage, the headless service stopped by a signal, the demo.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "dnc/config/ConfigStore.h"
#include "sim/pty/PtyPair.h"

extern char** environ;

namespace fs = std::filesystem;

namespace {

// A child process whose standard output (and error) the test reads.
class Program {
public:
    explicit Program(std::vector<std::string> arguments) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        arguments.insert(arguments.begin(), FERIXDNC_PROGRAM);
        std::vector<char*> argv;
        for (auto& a : arguments) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, FERIXDNC_PROGRAM, &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
    }
    ~Program() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            ::close(out_);
        }
    }

    // Reads output until `text` appeared or the time is up.
    bool waitForOutput(const std::string& text, std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (output_.find(text) == std::string::npos) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) {
                return output_.find(text) != std::string::npos;
            }
        }
        return true;
    }
    // Waits for the exit; -1 when it did not come in time (the program is then killed).
    int exitCode(std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (std::chrono::steady_clock::now() < deadline) {
            readSome(50);
            int status = 0;
            if (::waitpid(pid_, &status, WNOHANG) == pid_) {
                pid_ = -1;
                while (readSome(50)) {
                }
                return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
            }
        }
        return -1;
    }
    void signal(int number) { ::kill(pid_, number); }
    const std::string& output() const { return output_; }

private:
    bool readSome(int milliseconds) {
        pollfd p{out_, POLLIN, 0};
        if (::poll(&p, 1, milliseconds) <= 0) {
            return false;
        }
        char buffer[4096];
        const ssize_t n = ::read(out_, buffer, sizeof buffer);
        if (n <= 0) {
            return false;
        }
        output_.append(buffer, static_cast<std::size_t>(n));
        return true;
    }

    pid_t pid_ = -1;
    int out_ = -1;
    std::string output_;
};

TEST(FerixDncProgram, WithoutAModeItPrintsTheUsageAndExitsTwo) {
    Program plain({});
    EXPECT_EQ(plain.exitCode(std::chrono::seconds(20)), 2);
    EXPECT_NE(plain.output().find("--headless [--config FILE] [--subnet N]..."), std::string::npos);
    Program wrong({"--subnet", "99"});
    EXPECT_EQ(wrong.exitCode(std::chrono::seconds(20)), 2);
    EXPECT_NE(wrong.output().find("--subnet needs a number from 1 to 16"), std::string::npos);
    Program help({"--help"});
    EXPECT_EQ(help.exitCode(std::chrono::seconds(20)), 0);
}

TEST(FerixDncProgram, HeadlessServiceStopsCleanlyOnSigterm) {
    const fs::path dir =
        fs::temp_directory_path() / ("ferixdnc-program-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    sim::PtyPair pty;
    {
        dnc::ConfigStore store(dir / "DNC.ini");
        ASSERT_TRUE(store.write("Ports", "1", pty.devicePath()));
        ASSERT_TRUE(store.write("Common", "3", "True"));
        ASSERT_TRUE(store.write("Config3", {{"Caption", "Hall B"}, {"Protocol", "4"}}));
    }
    Program service({"--headless", "--config", (dir / "DNC.ini").string()});
    ASSERT_TRUE(service.waitForOutput("[Hall B]: communication started", std::chrono::seconds(20)))
        << service.output();
    service.signal(SIGTERM);
    EXPECT_EQ(service.exitCode(std::chrono::seconds(20)), 0) << service.output();
    EXPECT_NE(service.output().find("[Hall B]: closed, configuration stored"), std::string::npos);
    const dnc::ConfigStore store(dir / "DNC.ini");
    EXPECT_EQ(store.section("Config3").size(), 57u);
    EXPECT_EQ(store.section("Config3").readString("Protocol", ""), "4");
    fs::remove_all(dir);
}

TEST(FerixDncProgram, TheDemoRunsEveryStep) {
    Program demo({"--demo"});
    EXPECT_EQ(demo.exitCode(std::chrono::seconds(100)), 0) << demo.output();
    EXPECT_NE(demo.output().find("Summary: 6 of 6 steps passed."), std::string::npos)
        << demo.output();
}

}  // namespace
