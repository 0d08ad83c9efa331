// The recorder: the line's side never waits for the database, failures are reported once, and
// what could be written is written.
#include <sqlite3.h>

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
    bool beat(Heartbeat beat) override {
        std::lock_guard<std::mutex> lock(gate_.mutex);
        gate_.written.push_back("beat " + std::to_string(beat.subNets.size()));
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

// Another process's transaction on the database, held until released.
class Holder {
public:
    explicit Holder(const std::filesystem::path& file) {
        EXPECT_EQ(sqlite3_open(file.c_str(), &db_), SQLITE_OK);
        EXPECT_EQ(sqlite3_exec(db_, "BEGIN EXCLUSIVE", nullptr, nullptr, nullptr), SQLITE_OK)
            << sqlite3_errmsg(db_);
    }
    ~Holder() { sqlite3_close(db_); }
    void release() { EXPECT_EQ(sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr), SQLITE_OK); }

private:
    sqlite3* db_ = nullptr;
};

class Recorder : public HistoryFolder {
protected:
    // The recorder on the test's database; counts the writes that found it held.
    RecorderOptions heldCounting() {
        {
            const auto madeStore = openHistoryStore(db, HistoryStore::Access::Write);
            HistoryStore& made = *madeStore;
            EXPECT_TRUE(made.ok()) << made.error();
        }
        RecorderOptions options;
        options.database = db;
        options.tries = 3;
        options.retryPause = std::chrono::milliseconds(1);
        options.report = [this](const std::string& text) {
            note(text);
            changed.notify_all();
        };
        options.heldOff = [this] {
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++heldOffs;
            }
            changed.notify_all();
        };
        return options;
    }
    // Waits until `done` holds, checked whenever the recorder tells something.
    bool waitFor(const std::function<bool()>& done) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60), done);
    }

    void note(const std::string& text) {
        std::lock_guard<std::mutex> lock(mutex);
        reports.push_back(text);
    }
    std::vector<std::string> reported() {
        std::lock_guard<std::mutex> lock(mutex);
        return reports;
    }
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> reports;
    int heldOffs = 0;
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

TEST_F(Recorder, AHeldDatabaseGetsOnlyTheLatestHeartbeat) {
    HeldWriter::Gate gate;
    RecorderOptions options;
    options.capacity = 2;
    options.open = [&gate] { return std::make_unique<HeldWriter>(gate); };
    HistoryRecorder recorder(options);
    recorder.record(transfer("FIRST", "1"));
    {
        std::unique_lock<std::mutex> lock(gate.mutex);
        gate.changed.wait(lock, [&] { return gate.entered == 1; });
    }
    // Beats of a service whose database hangs: each replaces the one still waiting, so they
    // neither fill the queue nor push records out of it.
    for (std::size_t i = 1; i <= 20; ++i) {
        Heartbeat beat;
        beat.subNets.resize(i);
        recorder.beat(beat);
        if (i == 10) {
            recorder.record(transfer("SECOND", "2"));
        }
    }
    EXPECT_EQ(recorder.lost(), 0u);
    {
        std::lock_guard<std::mutex> lock(gate.mutex);
        gate.open = true;
    }
    gate.changed.notify_all();
    recorder.flush();
    std::lock_guard<std::mutex> lock(gate.mutex);
    EXPECT_EQ(gate.written, (std::vector<std::string>{"FIRST " + sha256Hex("1"), "beat 20",
                                                      "SECOND " + sha256Hex("2")}));
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
    const auto readerStore = openHistoryStore(db, HistoryStore::Access::Read);
    HistoryStore& reader = *readerStore;
    const auto rows = reader.query({});
    ASSERT_TRUE(rows);
    ASSERT_EQ(rows->size(), 3u);
    EXPECT_EQ(reader.program(sha256Hex("to the unit")), "to the unit");
    EXPECT_FALSE(reader.program(sha256Hex("from the unit")))
        << "what came from a unit is in its directory";
    EXPECT_FALSE(reader.program(sha256Hex("half a prog"))) << "no machine ran a cut program";
}

TEST_F(Recorder, ADatabaseHeldByAnotherProcessIsWaitedForAndNothingIsLost) {
    RecorderOptions options = heldCounting();
    Holder holder(db);
    HistoryRecorder recorder(options);
    for (int i = 0; i < 5; ++i) {
        recorder.record(transfer("P" + std::to_string(i), std::to_string(i), i));
    }
    // Many more refusals than a failing database is tried: the records still wait.
    ASSERT_TRUE(waitFor([this] { return heldOffs >= 10; }));
    EXPECT_EQ(recorder.lost(), 0u);
    holder.release();
    recorder.flush();
    EXPECT_EQ(recorder.written(), 5u);
    EXPECT_EQ(recorder.lost(), 0u);
    EXPECT_TRUE(reported().empty()) << reported()[0];
    const auto readerStore = openHistoryStore(db, HistoryStore::Access::Read);
    HistoryStore& reader = *readerStore;
    const auto rows = reader.query({});
    ASSERT_TRUE(rows) << reader.error();
    ASSERT_EQ(rows->size(), 5u);
    EXPECT_EQ(rows->front().name, "P4");
}

TEST_F(Recorder, OnlyWhatDoesNotFitTheQueueIsLostAndThatIsReported) {
    RecorderOptions options = heldCounting();
    options.capacity = 3;
    Holder holder(db);
    HistoryRecorder recorder(options);
    recorder.record(transfer("FIRST", "f"));
    ASSERT_TRUE(waitFor([this] { return heldOffs >= 1; }));  // taken, waiting for the lock
    for (int i = 0; i < 5; ++i) {
        recorder.record(transfer("P" + std::to_string(i), std::to_string(i), i + 1));
    }
    EXPECT_EQ(recorder.lost(), 2u);
    ASSERT_TRUE(waitFor([this] { return !reports.empty(); }));
    EXPECT_NE(reported()[0].find("record(s) lost: the queue of 3 records waiting for the "
                                 "database " +
                                 db.string() + " is full"),
              std::string::npos)
        << reported()[0];
    holder.release();
    recorder.flush();
    EXPECT_EQ(recorder.written(), 4u) << "the one taken and the three that waited";
    ASSERT_EQ(reported().size(), 2u);
    EXPECT_NE(reported()[1].find("is written again"), std::string::npos) << reported()[1];
}

}  // namespace
