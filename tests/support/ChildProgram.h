// A program of this build run as a child process, its standard output and error read by the
// test. Killed when the object goes.
#pragma once

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <string>
#include <vector>

extern char** environ;

class ChildProgram {
public:
    // `input`: a descriptor to be the child's standard input (the test closes its own copy).
    ChildProgram(const std::string& program, std::vector<std::string> arguments, int input = -1) {
        int pipeFds[2];
        if (::pipe(pipeFds) != 0) {
            return;
        }
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 1);
        posix_spawn_file_actions_adddup2(&actions, pipeFds[1], 2);
        posix_spawn_file_actions_addclose(&actions, pipeFds[0]);
        if (input >= 0) {
            posix_spawn_file_actions_adddup2(&actions, input, 0);
        }
        arguments.insert(arguments.begin(), program);
        std::vector<char*> argv;
        for (auto& a : arguments) {
            argv.push_back(a.data());
        }
        argv.push_back(nullptr);
        if (posix_spawn(&pid_, program.c_str(), &actions, nullptr, argv.data(), environ) != 0) {
            pid_ = -1;
        }
        posix_spawn_file_actions_destroy(&actions);
        ::close(pipeFds[1]);
        out_ = pipeFds[0];
    }
    ~ChildProgram() {
        if (pid_ > 0) {
            ::kill(pid_, SIGKILL);
            ::waitpid(pid_, nullptr, 0);
        }
        if (out_ >= 0) {
            ::close(out_);
        }
    }
    ChildProgram(const ChildProgram&) = delete;
    ChildProgram& operator=(const ChildProgram&) = delete;

    pid_t pid() const { return pid_; }

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
    // Reads output until `text` appeared `count` times or the time is up.
    bool waitForCount(const std::string& text, std::size_t count, std::chrono::seconds timeout) {
        const auto deadline = std::chrono::steady_clock::now() + timeout;
        while (countOf(text) < count) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                deadline - std::chrono::steady_clock::now());
            if (left.count() <= 0 || !readSome(static_cast<int>(left.count()))) {
                return countOf(text) >= count;
            }
        }
        return true;
    }
    // Reads what the program has written so far, without waiting: a program that logs much
    // must never block on a full pipe while the test waits for something else.
    void drain() {
        while (readSome(0)) {
        }
    }
    std::size_t countOf(const std::string& text) const {
        std::size_t n = 0;
        for (auto at = output_.find(text); at != std::string::npos;
             at = output_.find(text, at + text.size())) {
            ++n;
        }
        return n;
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
