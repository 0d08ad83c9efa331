// The plant's shared history on a PostgreSQL server of the benchmark's own (started in a
// temporary folder, as the tests start theirs): how many records per second two sites bring
// onto the server while 16 lines at each site hand records over, and how long a line's thread
// waits to hand a record over with the server up and with it down (the records then go to each
// site's spool), and how fast the spools drain once it is back.
//
// Each line is a thread calling HistoryRecorder::record as a sub net's thread does at the end
// of a transfer, as fast as it can: no serial line runs, so the figures are the history's own.
//   PlantBench [--records N]   (N records per line; default 150)
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "dnc/history/HistoryRecorder.h"
#include "tests/history/PostgresServer.h"

namespace fs = std::filesystem;
using namespace dnc::history;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kSites = 2;
constexpr int kLinesPerSite = 16;
constexpr std::size_t kProgramBytes = 4096;

// "prefix" and the number; appended, since GCC 12 at -O3 warns falsely of the + operator's copy.
std::string numbered(const char* prefix, long n) {
    std::string text(prefix);
    text += std::to_string(n);
    return text;
}

std::string siteName(int s) {
    std::string name = "Hall ";
    name += static_cast<char>('A' + s);
    return name;
}

TransferRecord sample(int line, int i) {
    TransferRecord r;
    r.time = std::chrono::system_clock::now();
    r.subNet = 1 + line;
    r.caption = numbered("Line ", 1 + line);
    r.unit = 1 + i % 10;
    r.direction = i % 3 == 0 ? Direction::FromUnit : Direction::ToUnit;
    r.user = numbered("unit ", r.unit);
    r.name = numbered("P", i % 200);
    r.name += ".H";
    r.path = numbered("/srv/dnc/Ferix", r.unit);
    r.path += "/";
    r.path += r.name;
    // Programs repeat, as they do on a shop floor: most are kept once.
    r.content = std::string(kProgramBytes, static_cast<char>('A' + (line * 7 + i) % 50));
    return r;
}

struct Waits {
    std::vector<double> ns;  // every hand-over
    double percentile(double p) const {
        if (ns.empty()) {
            return 0;
        }
        const auto at = static_cast<std::size_t>(p * static_cast<double>(ns.size() - 1));
        return ns[at];
    }
    double mean() const {
        double total = 0;
        for (double v : ns) {
            total += v;
        }
        return ns.empty() ? 0 : total / static_cast<double>(ns.size());
    }
};

// Every site's 16 lines hand `perLine` records over at once; the time each hand-over took.
Waits runLines(std::vector<HistoryRecorder*>& sites, int perLine) {
    std::vector<std::vector<double>> perThread(sites.size() * kLinesPerSite);
    std::vector<std::thread> lines;
    std::atomic<bool> go{false};
    for (std::size_t s = 0; s < sites.size(); ++s) {
        for (int line = 0; line < kLinesPerSite; ++line) {
            std::vector<double>& waits = perThread[s * kLinesPerSite + line];
            lines.emplace_back([&go, &waits, recorder = sites[s], line, perLine] {
                std::vector<TransferRecord> records;
                for (int i = 0; i < perLine; ++i) {
                    records.push_back(sample(line, i));
                }
                waits.reserve(records.size());
                while (!go) {
                    std::this_thread::yield();
                }
                for (TransferRecord& r : records) {
                    const auto start = Clock::now();
                    recorder->record(std::move(r));
                    waits.push_back(
                        std::chrono::duration<double, std::nano>(Clock::now() - start).count());
                    // A line's next transfer takes a moment to start.
                    std::this_thread::yield();
                }
            });
        }
    }
    go = true;
    for (std::thread& t : lines) {
        t.join();
    }
    Waits all;
    for (const auto& w : perThread) {
        all.ns.insert(all.ns.end(), w.begin(), w.end());
    }
    std::sort(all.ns.begin(), all.ns.end());
    return all;
}

RecorderOptions siteOptions(const std::string& uri, const std::string& site, const fs::path& dir,
                            std::size_t capacity) {
    RecorderOptions options;
    options.database = uri;
    options.site = site;
    options.keepPrograms = true;
    options.capacity = capacity;
    options.spool = dir / (site + "-spool.sqlite");
    options.spoolRetry = std::chrono::milliseconds(200);
    return options;
}

void printWaits(const char* what, const Waits& w) {
    std::printf("  %s: hand-over mean %.0f ns, median %.0f ns, 99%% %.0f ns, max %.0f ns\n", what,
                w.mean(), w.percentile(0.5), w.percentile(0.99), w.percentile(1.0));
}

std::uint64_t sum(const std::vector<std::unique_ptr<HistoryRecorder>>& sites,
                  std::uint64_t (HistoryRecorder::*count)() const) {
    std::uint64_t total = 0;
    for (const auto& s : sites) {
        total += ((*s).*count)();
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    int perLine = 150;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--records") == 0) {
            perLine = std::max(1, std::atoi(argv[++i]));
        }
    }
    PostgresServer server;
    server.SetUp();
    if (!server.available()) {
        std::fprintf(stderr, "PlantBench: no PostgreSQL server: %s\n", server.problem().c_str());
        server.TearDown();
        return 1;
    }
    const fs::path dir = fs::temp_directory_path() / numbered("ferix-plant-bench-", getpid());
    fs::remove_all(dir);
    fs::create_directories(dir);
    const int total = kSites * kLinesPerSite * perLine;
    // Room for every record: the figures are of writing, not of a full queue.
    const auto capacity = static_cast<std::size_t>(total);
    std::printf("%d sites x %d lines x %d records of %zu bytes (programs kept)\n", kSites,
                kLinesPerSite, perLine, kProgramBytes);

    {
        const std::string uri = server.freshDatabase();
        std::vector<std::unique_ptr<HistoryRecorder>> sites;
        std::vector<HistoryRecorder*> raw;
        for (int s = 0; s < kSites; ++s) {
            sites.push_back(std::make_unique<HistoryRecorder>(
                siteOptions(uri, siteName(s), dir / "up", capacity)));
            raw.push_back(sites.back().get());
        }
        const auto start = Clock::now();
        const Waits waits = runLines(raw, perLine);
        for (auto& s : sites) {
            s->flush();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("server up:\n");
        printWaits("lines", waits);
        std::printf("  %llu records on the server in %.2f s: %.0f records/s (%llu lost)\n",
                    static_cast<unsigned long long>(sum(sites, &HistoryRecorder::written)), seconds,
                    static_cast<double>(total) / seconds,
                    static_cast<unsigned long long>(sum(sites, &HistoryRecorder::lost)));
    }

    {
        const std::string uri = server.freshDatabase();
        std::vector<std::unique_ptr<HistoryRecorder>> sites;
        std::vector<HistoryRecorder*> raw;
        for (int s = 0; s < kSites; ++s) {
            sites.push_back(std::make_unique<HistoryRecorder>(
                siteOptions(uri, siteName(s), dir / "down", capacity)));
            raw.push_back(sites.back().get());
        }
        if (!server.stop()) {
            std::fprintf(stderr, "PlantBench: the server did not stop\n");
            return 1;
        }
        const auto start = Clock::now();
        const Waits waits = runLines(raw, perLine);
        for (auto& s : sites) {
            s->flush();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf("server down (records go to the spools):\n");
        printWaits("lines", waits);
        std::printf("  %llu records spooled in %.2f s: %.0f records/s (%llu lost)\n",
                    static_cast<unsigned long long>(sum(sites, &HistoryRecorder::behind)), seconds,
                    static_cast<double>(total) / seconds,
                    static_cast<unsigned long long>(sum(sites, &HistoryRecorder::lost)));

        const auto back = Clock::now();
        if (!server.restart()) {
            std::fprintf(stderr, "PlantBench: the server did not start again\n");
            return 1;
        }
        const auto behind = [&sites] { return sum(sites, &HistoryRecorder::behind); };
        const auto giveUp = Clock::now() + std::chrono::minutes(10);
        while (behind() > 0 && Clock::now() < giveUp) {
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        const double drained = std::chrono::duration<double>(Clock::now() - back).count();
        std::printf(
            "server back: spools drained in %.2f s (restart included): %.0f records/s, %llu "
            "still behind\n",
            drained, static_cast<double>(total) / drained,
            static_cast<unsigned long long>(behind()));
    }
    server.TearDown();
    fs::remove_all(dir);
    return 0;
}
