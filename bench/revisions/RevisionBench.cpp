// Revisions of programs: what handing a held upload over costs a line's thread, how fast the
// history writes the revisions, how fast the hash chain is verified, and how large the database
// grows against the content it keeps.
//   RevisionBench [--records N]   (default 10000 programs of 4 KiB)
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/HistoryRecorder.h"

namespace fs = std::filesystem;
using namespace dnc::history;
using Clock = std::chrono::steady_clock;

namespace {

// A 4 KiB NC program, different for each `i`.
std::string program(int i) {
    std::string text = "%\r\nO" + std::to_string(1000 + i % 9000) + "\r\n";
    for (int n = 1; text.size() < 4096 - 16; ++n) {
        text += "N" + std::to_string(n * 10) + " G01 X" + std::to_string((n * 7 + i) % 1000) +
                " Y" + std::to_string((n * 13 + i) % 1000) + "\r\n";
    }
    text.resize(4096 - 5, ' ');
    return text + "\r\n%\r\n";
}

TransferRecord upload(int i) {
    TransferRecord r;
    r.time = std::chrono::system_clock::now();
    r.subNet = 1 + i % 16;
    r.caption = "Hall";
    r.unit = 1 + i % 10;
    r.direction = Direction::FromUnit;
    r.name = "P" + std::to_string(i % 500) + ".WTX";
    r.path = "/srv/dnc/Ferix1/" + r.name;
    r.content = program(i);
    r.held = true;
    r.user = "unit " + std::to_string(r.unit);
    return r;
}

double micros(Clock::duration d) {
    return std::chrono::duration<double, std::micro>(d).count();
}

std::uintmax_t sizeOf(const fs::path& file) {
    std::error_code ec;
    std::uintmax_t total = 0;
    for (const char* suffix : {"", "-wal"}) {
        const auto n = fs::file_size(file.string() + suffix, ec);
        total += ec ? 0 : n;
    }
    return total;
}

}  // namespace

int main(int argc, char** argv) {
    int records = 10000;
    for (int i = 1; i + 1 < argc; ++i) {
        if (std::strcmp(argv[i], "--records") == 0) {
            records = std::max(1, std::atoi(argv[i + 1]));
        }
    }
    const fs::path dir =
        fs::temp_directory_path() / ("ferix-revision-bench-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path db = dir / "history.db";

    // The records are made before the clock runs: a line has its bytes at hand already.
    std::vector<TransferRecord> made;
    made.reserve(static_cast<std::size_t>(records));
    for (int i = 0; i < records; ++i) {
        made.push_back(upload(i));
    }
    RecorderOptions options;
    options.database = db;
    options.capacity = static_cast<std::size_t>(records);
    std::vector<double> handOver;
    handOver.reserve(made.size());
    const auto writeStart = Clock::now();
    {
        HistoryRecorder recorder(options);
        for (TransferRecord& r : made) {
            const auto t0 = Clock::now();
            recorder.record(std::move(r));
            handOver.push_back(micros(Clock::now() - t0));
        }
        recorder.flush();
        std::printf("revisions written: %llu, lost: %llu\n",
                    static_cast<unsigned long long>(recorder.written()),
                    static_cast<unsigned long long>(recorder.lost()));
    }
    const double writeSeconds = micros(Clock::now() - writeStart) / 1e6;
    std::sort(handOver.begin(), handOver.end());
    double sum = 0;
    for (double v : handOver) {
        sum += v;
    }
    std::printf(
        "hand-over on the line's thread: mean %.2f us, median %.2f us, 99th %.2f us, "
        "max %.1f us\n",
        sum / static_cast<double>(handOver.size()), handOver[handOver.size() / 2],
        handOver[handOver.size() * 99 / 100], handOver.back());
    std::printf("written by the history's thread: %.0f revisions/s (%.1f s)\n",
                records / writeSeconds, writeSeconds);

    const auto readerStore = openHistoryStore(db, HistoryStore::Access::Read);

    HistoryStore& reader = *readerStore;
    const auto t0 = Clock::now();
    const auto check = reader.verifyChain();
    const double verifySeconds = micros(Clock::now() - t0) / 1e6;
    if (!check || !check->intact) {
        std::printf("verify: FAILED %s\n", check ? check->reason.c_str() : reader.error().c_str());
        return 1;
    }
    std::printf("--verify: %lld records in %.2f s, %.0f records/s\n",
                static_cast<long long>(check->records), verifySeconds,
                static_cast<double>(check->records) / verifySeconds);
    const auto kept = reader.keptBytes().value_or(0);
    const auto onDisk = sizeOf(db);
    std::printf("database: %.1f MiB for %.1f MiB of content kept (%.2f x)\n",
                static_cast<double>(onDisk) / 1048576.0, static_cast<double>(kept) / 1048576.0,
                kept > 0 ? static_cast<double>(onDisk) / static_cast<double>(kept) : 0.0);
    fs::remove_all(dir);
    return 0;
}
