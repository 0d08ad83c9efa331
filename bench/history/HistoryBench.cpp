// The program history: what handing a record over costs a line's thread (against a database
// that writes and against one that hangs), how fast records reach the database, and how long a
// filtered query of a large history takes.
//   HistoryBench [--records N]
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <mutex>
#include <string>
#include <vector>

#include "dnc/history/HistoryRecorder.h"

namespace fs = std::filesystem;
using namespace dnc::history;
using Clock = std::chrono::steady_clock;

namespace {

TransferRecord sample(int i, std::size_t bytes) {
    TransferRecord r;
    r.time = std::chrono::system_clock::now();
    r.subNet = 1 + i % 16;
    r.caption = "Hall";
    r.unit = 1 + i % 10;
    r.name = "P" + std::to_string(i % 500) + ".WTX";
    r.path = "/srv/dnc/Ferix1/" + r.name;
    r.content = std::string(bytes, static_cast<char>('A' + i % 26));
    return r;
}

// A writer on a disk that does not answer until released.
class HungWriter : public HistoryWriter {
public:
    HungWriter(std::mutex& m, std::condition_variable& cv, bool& released)
        : m_(m), cv_(cv), released_(released) {}
    bool write(const PreparedRecord&) override {
        std::unique_lock<std::mutex> lock(m_);
        cv_.wait(lock, [this] { return released_; });
        return true;
    }
    std::string error() const override { return {}; }

private:
    std::mutex& m_;
    std::condition_variable& cv_;
    bool& released_;
};

struct HandOver {
    double meanNs = 0;
    double maxNs = 0;
};

HandOver handOver(HistoryRecorder& recorder, int records, std::size_t bytes) {
    std::vector<TransferRecord> prepared;
    for (int i = 0; i < records; ++i) {
        prepared.push_back(sample(i, bytes));
    }
    HandOver result;
    double total = 0;
    for (auto& r : prepared) {
        const auto start = Clock::now();
        recorder.record(std::move(r));
        const double ns = std::chrono::duration<double, std::nano>(Clock::now() - start).count();
        total += ns;
        result.maxNs = std::max(result.maxNs, ns);
    }
    result.meanNs = total / records;
    return result;
}

}  // namespace

int main(int argc, char** argv) {
    int records = 2000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--records") == 0) {
            records = std::max(1, std::atoi(argv[++i]));
        }
    }
    const fs::path dir =
        fs::temp_directory_path() / ("ferix-history-bench-" + std::to_string(getpid()));
    fs::remove_all(dir);

    for (bool keep : {false, true}) {
        const fs::path file = dir / (keep ? "kept.db" : "plain.db");
        RecorderOptions options;
        options.database = file;
        options.keepPrograms = keep;
        options.capacity = static_cast<std::size_t>(records);
        const auto start = Clock::now();
        HandOver h;
        {
            HistoryRecorder recorder(options);
            h = handOver(recorder, records, 4096);
            recorder.flush();
        }
        const double seconds = std::chrono::duration<double>(Clock::now() - start).count();
        std::printf(
            "database%s: %d records of 4 KiB, hand-over mean %.0f ns, max %.0f ns; "
            "written at %.0f records/s\n",
            keep ? " keeping programs" : "", records, h.meanNs, h.maxNs, records / seconds);
    }

    {
        std::mutex m;
        std::condition_variable cv;
        bool released = false;
        RecorderOptions options;
        options.capacity = 1000;
        options.open = [&] { return std::make_unique<HungWriter>(m, cv, released); };
        HistoryRecorder recorder(options);
        const HandOver h = handOver(recorder, records, 4096);
        std::printf(
            "hung database: %d records, hand-over mean %.0f ns, max %.0f ns, %llu dropped\n",
            records, h.meanNs, h.maxNs, static_cast<unsigned long long>(recorder.lost()));
        {
            std::lock_guard<std::mutex> lock(m);
            released = true;
        }
        cv.notify_all();
    }

    {
        const auto readerStore = openHistoryStore(dir / "plain.db", HistoryStore::Access::Read);
        HistoryStore& reader = *readerStore;
        HistoryFilter filter;
        filter.subNet = 3;
        filter.nameContains = "p1";
        const auto start = Clock::now();
        const auto rows = reader.query(filter);
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - start).count();
        std::printf("query of %d rows by sub net and name: %zu found in %.2f ms\n", records,
                    rows ? rows->size() : 0, ms);
    }
    fs::remove_all(dir);
    return 0;
}
