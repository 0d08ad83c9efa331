// The recorder: the line's side never waits for the database, failures are reported once, and
// what could be written is written.
#include <condition_variable>
#include <mutex>

#include "dnc/history/HistoryRecorder.h"
#include "dnc/history/Sha256.h"
#include "tests/history/HistoryFixture.h"

namespace {

using namespace dnc::history;

// A writer that holds every write until released: a database on a slow or hung disk.
class HeldWriter : public HistoryWriter {
public:
    struct Gate {
        std::mutex mutex;
        std::condition_variable changed;
        bool open = false;
        int entered = 0;
        std::vector<std::string> written;
    };
    explicit HeldWriter(Gate& gate) : gate_(gate) {}
    bool write(const PreparedRecord& record) override {
        std::unique_lock<std::mutex> lock(gate_.mutex);
        ++gate_.entered;
        gate_.changed.notify_all();
        gate_.changed.wait(lock, [this] { return gate_.open; });
        gate_.written.push_back(record.record.name + " " + record.sha256.value_or("-"));
        return true;
    }
    std::string error() const override { return {}; }

private:
    Gate& gate_;
};

// A writer whose database fails while `failing` holds: a full disk, a read-only file.
class FlakyWriter : public HistoryWriter {
public:
    explicit FlakyWriter(std::atomic<bool>& failing, std::atomic<int>& attempts)
        : failing_(failing), attempts_(attempts) {}
    bool write(const PreparedRecord&) override {
        ++attempts_;
        return !failing_;
    }
    std::string error() const override { return "database or disk is full"; }

private:
    std::atomic<bool>& failing_;
    std::atomic<int>& attempts_;
};

class Recorder : public HistoryFolder {
protected:
    void note(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex);
        reports.push_back(text);
    }
    std::vector<std::string> reported() {
        std::lock_guard<std::mutex> lock(mutex);
        return reports;
    }
    std::mutex mutex;
    std::vector<std::string> reports;
};

TEST_F(Recorder, AHeldDatabaseNeverHoldsTheLine) {
    HeldWriter::Gate gate;
    RecorderOptions options;
    options.capacity = 10;
    options.open = [&gate] { return std::make_unique<HeldWriter>(gate); };
    HistoryRecorder recorder(options);
    recorder.record(transfer("FIRST", "1"));
    {
        std::unique_lock<std::mutex> lock(gate.mutex);
        gate.changed.wait(lock, [&] { return gate.entered == 1; });
    }
    // The writer is stuck on the first record; the line goes on handing over its transfers
    // and every call returns: 10 wait, the rest are dropped and counted.
    for (int i = 0; i < 25; ++i) {
        recorder.record(transfer("P" + std::to_string(i), std::to_string(i)));
    }
    EXPECT_EQ(recorder.lost(), 15u);
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.open = true;
    }
    gate.changed.notify_all();
    recorder.flush();
    EXPECT_EQ(recorder.written(), 11u);
    std::lock_guard<std::mutex> lock(gate.mutex);
    ASSERT_EQ(gate.written.size(), 11u);
    EXPECT_EQ(gate.written[0], "FIRST " + sha256Hex("1"));
    EXPECT_EQ(gate.written[10], "P9 " + sha256Hex("9")) << "in the order handed over";
}

TEST_F(Recorder, AFailingDatabaseIsReportedOnceAndItsRecoveryToo) {
    std::atomic<bool> failing = true;
    std::atomic<int> attempts = 0;
    RecorderOptions options;
    options.database = db;
    options.tries = 3;
    options.retryPause = std::chrono::milliseconds(1);
    options.open = [&] { return std::make_unique<FlakyWriter>(failing, attempts); };
    options.report = [this](const std::string& text) { note(text); };
    HistoryRecorder recorder(options);
    for (int i = 0; i < 5; ++i) {
        recorder.record(transfer("P", "x"));
    }
    recorder.flush();
    EXPECT_EQ(recorder.lost(), 5u);
    EXPECT_EQ(attempts, 3 + 4) << "three tries for the first, then one each while it fails";
    ASSERT_EQ(reported().size(), 1u);
    EXPECT_NE(reported()[0].find("database or disk is full"), std::string::npos);
    EXPECT_NE(reported()[0].find(db.string()), std::string::npos);

    failing = false;
    recorder.record(transfer("P", "x"));
    recorder.flush();
    EXPECT_EQ(recorder.written(), 1u);
    ASSERT_EQ(reported().size(), 2u);
    EXPECT_NE(reported()[1].find("written again; 5 transfer record(s) were lost"),
              std::string::npos)
        << reported()[1];
}

TEST_F(Recorder, ADatabaseThatCannotBeOpenedIsReportedOnce) {
    std::filesystem::create_directories(db);  // a folder where the file should be
    RecorderOptions options;
    options.database = db;
    options.retryPause = std::chrono::milliseconds(1);
    options.report = [this](const std::string& text) { note(text); };
    {
        HistoryRecorder recorder(options);
        for (int i = 0; i < 4; ++i) {
            recorder.record(transfer("P", "x"));
        }
        recorder.flush();
        EXPECT_EQ(recorder.lost(), 4u);
    }
    ASSERT_EQ(reported().size(), 1u);
    EXPECT_NE(reported()[0].find("cannot write the database"), std::string::npos);
}

TEST_F(Recorder, WritesTheDatabaseAndKeepsProgramsSentToAUnit) {
    RecorderOptions options;
    options.database = db;
    options.keepPrograms = true;
    {
        HistoryRecorder recorder(options);
        recorder.record(transfer("SENT", "to the unit"));
        TransferRecord received = transfer("TAKEN", "from the unit");
        received.direction = Direction::FromUnit;
        recorder.record(received);
        TransferRecord stopped = transfer("CUT", "half a prog");
        stopped.outcome = Outcome::Stopped;
        recorder.record(stopped);
    }  // the rest is written before the recorder goes
    HistoryDatabase reader(db, HistoryDatabase::Access::Read);
    const auto rows = reader.query({});
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 3u);
    EXPECT_EQ(reader.program(sha256Hex("to the unit")), "to the unit");
    EXPECT_FALSE(reader.program(sha256Hex("from the unit")))
        << "what came from a unit is in its directory";
    EXPECT_FALSE(reader.program(sha256Hex("half a prog"))) << "no machine ran a cut program";
}

}  // namespace
