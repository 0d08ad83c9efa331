// The headless service with 16 DNC sub nets, each with 10 connected units that never answer,
// on paced pseudo-terminals: CPU time of the service per second of wall time and peak memory.
//   SubNetServiceBench [--seconds N] [--speed BAUD] [--subnets N]
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "dnc/service/HeadlessService.h"
#include "sim/pty/PtyPair.h"

namespace fs = std::filesystem;

namespace {

// Voluntary context switches of the whole process: how often its threads went to sleep, that
// is one wake-up each.
long wakeUps() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_nvcsw;
}

double cpuSeconds() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_utime.tv_sec + usage.ru_stime.tv_sec +
           (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// The silent units: a separate process reads what the lines carry and answers nothing, so
// that its work is not counted as the service's. It writes the number of bytes it read, per
// line, to `report` when it ends.
pid_t startDrain(const std::vector<std::unique_ptr<sim::PtyPair>>& lines, int report) {
    const pid_t pid = fork();
    if (pid != 0) {
        return pid;
    }
    static volatile sig_atomic_t stop = 0;
    signal(SIGTERM, [](int) { stop = 1; });
    std::vector<long long> counts(lines.size(), 0);
    std::vector<pollfd> fds;
    for (const auto& line : lines) {
        fds.push_back({line->masterFd(), POLLIN, 0});
    }
    char buffer[4096];
    while (!stop && getppid() != 1) {
        if (poll(fds.data(), fds.size(), 200) > 0) {
            for (std::size_t i = 0; i < fds.size(); ++i) {
                if (fds[i].revents & POLLIN) {
                    const ssize_t n = read(fds[i].fd, buffer, sizeof buffer);
                    counts[i] += n > 0 ? n : 0;
                }
            }
        }
    }
    long long total = 0;
    for (long long c : counts) {
        total += c;
    }
    (void)!write(report, &total, sizeof total);
    _exit(0);
}

}  // namespace

int main(int argc, char** argv) {
    int seconds = 30;
    int speed = 115200;
    int subNets = 16;
    for (int i = 1; i + 1 < argc; i += 2) {
        const std::string option = argv[i];
        const int value = std::atoi(argv[i + 1]);
        if (option == "--seconds") {
            seconds = value;
        } else if (option == "--speed") {
            speed = value;
        } else if (option == "--subnets") {
            subNets = value;
        }
    }
    const fs::path dir =
        fs::temp_directory_path() / ("ferix-service-bench-" + std::to_string(getpid()));
    fs::create_directories(dir);
    std::vector<std::unique_ptr<sim::PtyPair>> lines;
    dnc::ConfigStore store(dir / "DNC.ini", [](const std::string&) {});
    for (int n = 1; n <= subNets; ++n) {
        lines.push_back(std::make_unique<sim::PtyPair>());
        store.write("Ports", std::to_string(n), lines.back()->devicePath());
        store.write("Common", std::to_string(n), "True");
        dnc::ConfigStore::Values config{
            {"CommPort", std::to_string(n)},
            {"CommSpeed", std::to_string(speed)},
            {"FerixHomeDir", (dir / ("DNC" + std::to_string(n))).string() + "/"}};
        for (int unit = 1; unit <= 10; ++unit) {
            config.emplace_back("Connected" + std::to_string(unit), "True");
        }
        store.write("Config" + std::to_string(n), config);
    }
    int reportPipe[2];
    if (pipe(reportPipe) != 0) {
        return 1;
    }
    const pid_t drain = startDrain(lines, reportPipe[1]);

    std::atomic<long> logLines{0};
    // Failures are shown; everything else is only counted.
    dnc::EventLog log([&logLines](const std::string& line) {
        ++logLines;
        if (line.find("Error") != std::string::npos) {
            std::printf("%s\n", line.c_str());
        }
    });
    dnc::HeadlessService service(store, log);
    const int started = service.start();
    const auto settle = std::chrono::steady_clock::now() + std::chrono::seconds(2);
    while (std::chrono::steady_clock::now() < settle) {
        service.serviceOnce(std::chrono::milliseconds(50));
    }
    const double cpuBefore = cpuSeconds();
    const long wakeUpsBefore = wakeUps();
    const auto wallBefore = std::chrono::steady_clock::now();
    const auto end = wallBefore + std::chrono::seconds(seconds);
    while (std::chrono::steady_clock::now() < end) {
        service.serviceOnce(std::chrono::milliseconds(100));
    }
    const double cpu = cpuSeconds() - cpuBefore;
    const long woken = wakeUps() - wakeUpsBefore;
    const double wall =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - wallBefore).count();
    service.closeAll();
    kill(drain, SIGTERM);
    waitpid(drain, nullptr, 0);
    long long carried = 0;
    (void)!read(reportPipe[0], &carried, sizeof carried);
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::error_code ec;
    fs::remove_all(dir, ec);

    std::printf("sub nets running            %d of %d, 10 connected silent units each\n", started,
                subNets);
    std::printf("line speed                  %d bit/s, paced pseudo-terminals\n", speed);
    std::printf("measured                    %.1f s of wall time\n", wall);
    std::printf("CPU time of the service     %.3f s = %.2f %% of one core (%.3f %% per line)\n",
                cpu, 100.0 * cpu / wall, 100.0 * cpu / wall / std::max(started, 1));
    std::printf("peak resident memory        %.1f MB\n", usage.ru_maxrss / 1024.0);
    std::printf("bytes carried by the lines  %.0f per second per line (line rate %.0f)\n",
                carried / (wall + 2.0) / std::max(started, 1), speed / 11.0);
    const double polls = carried / 26.0 * wall / (wall + 2.0);  // poll frame and fill byte
    std::printf("wake-ups of the service     %.0f per second, %.2f per poll\n", woken / wall,
                polls > 0 ? woken / polls : 0.0);
    std::printf("log lines                   %ld\n", logLines.load());
    return 0;
}
