// A history on a server that goes away: the records wait in the local spool, in order, and
// reach the server once it is back, each once.
#include <sqlite3.h>

#include <condition_variable>
#include <mutex>

#include "dnc/history/HistoryRecorder.h"
#include "dnc/history/HistorySpool.h"
#include "tests/history/HistoryFixture.h"
#include "tests/history/PostgresServer.h"

namespace {

using namespace dnc::history;

class Spool : public HistoryFolder {
protected:
    Spool() : spool(dir / "settings" / "history-spool.sqlite") {}

    RecorderOptions options(const std::string& location) {
        RecorderOptions options;
        options.database = location;
        options.site = "hall-a";
        options.spool = spool;
        options.spoolRetry = std::chrono::milliseconds(50);
        options.report = [this](const std::string& text) {
            {
                std::lock_guard<std::mutex> lock(mutex);
                reports.push_back(text);
            }
            changed.notify_all();
        };
        return options;
    }
    bool reported(const std::string& part) {
        std::lock_guard<std::mutex> lock(mutex);
        return std::any_of(reports.begin(), reports.end(), [&part](const std::string& text) {
            return text.find(part) != std::string::npos;
        });
    }
    // Waits until the recorder has told `part`.
    bool waitFor(const std::string& part) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, std::chrono::seconds(60), [&] {
            return std::any_of(reports.begin(), reports.end(), [&part](const std::string& text) {
                return text.find(part) != std::string::npos;
            });
        });
    }
    // The names on the server, oldest first.
    static std::vector<std::string> namesOn(const std::string& location) {
        const auto store = openHistoryStore(location, HistoryStore::Access::Read, "hall-a");
        std::vector<std::string> names;
        const auto rows = store->query({});
        EXPECT_TRUE(rows) << store->error();
        if (rows) {
            for (auto row = rows->rbegin(); row != rows->rend(); ++row) {
                names.push_back(row->name);
            }
        }
        return names;
    }

    std::filesystem::path spool;
    std::mutex mutex;
    std::condition_variable changed;
    std::vector<std::string> reports;
};

TEST_F(Spool, KeepsEveryFieldOfARecordInOrder) {
    TransferRecord full = transfer("O1001", std::string("G1\0X\n", 5), 3, 2, 7);
    full.direction = Direction::FromUnit;
    full.startedBy = StartedBy::Window;
    full.user = "anna";
    full.stored = true;
    full.held = true;
    full.outcome = Outcome::Stopped;
    full.error = "stopped by the operator";
    TransferRecord removal = transfer("O1002", "", 4);
    removal.content.reset();
    removal.deletion = true;
    {
        HistorySpool kept(spool);
        ASSERT_TRUE(kept.ok()) << kept.error();
        ASSERT_TRUE(kept.append(full));
        ASSERT_TRUE(kept.append(removal));
    }
    HistorySpool reopened(spool);
    ASSERT_EQ(reopened.count(), 2);
    auto first = reopened.front();
    ASSERT_TRUE(first) << reopened.error();
    const TransferRecord& r = first->record;
    EXPECT_EQ(r.time, full.time);
    EXPECT_EQ(r.subNet, 2);
    EXPECT_EQ(r.caption, full.caption);
    EXPECT_EQ(r.unit, 7);
    EXPECT_EQ(r.direction, Direction::FromUnit);
    EXPECT_EQ(r.startedBy, StartedBy::Window);
    EXPECT_EQ(r.user, "anna");
    EXPECT_EQ(r.name, "O1001");
    EXPECT_EQ(r.path, full.path);
    EXPECT_EQ(r.content, full.content);
    EXPECT_TRUE(r.stored && r.held && !r.deletion);
    EXPECT_EQ(r.outcome, Outcome::Stopped);
    EXPECT_EQ(r.error, full.error);
    ASSERT_TRUE(reopened.remove(first->id));
    const auto second = reopened.front();
    ASSERT_TRUE(second);
    EXPECT_EQ(second->record.name, "O1002");
    EXPECT_FALSE(second->record.content);
    EXPECT_TRUE(second->record.deletion);
    EXPECT_NE(second->origin, first->origin);

    // A spool made afresh never repeats an origin, though its numbers begin again.
    std::filesystem::remove(spool);
    HistorySpool fresh(spool);
    ASSERT_TRUE(fresh.append(full));
    EXPECT_NE(fresh.front()->origin, first->origin);
}

TEST_F(Spool, ThatCannotBeOpenedIsReportedAndTheRecordCounted) {
    std::filesystem::create_directories(spool);  // a folder where the file belongs
    // A server nobody answers at.
    HistoryRecorder recorder(options("postgresql:///none?host=" + (dir / "nowhere").string()));
    recorder.record(transfer("O1", "G1\n"));
    recorder.flush();
    EXPECT_EQ(recorder.lost(), 1u);
    EXPECT_EQ(recorder.behind(), 0u);
    EXPECT_TRUE(reported("cannot use the history spool")) << ::testing::PrintToString(reports);
}

TEST_F(Spool, KeepsWhatAnAbsentServerDoesNotTakeUntilItIsBack) {
    REQUIRE_POSTGRES();
    PostgresServer& server = PostgresServer::instance();
    const std::string location = server.freshDatabase();
    std::uint64_t written = 0;
    {
        HistoryRecorder recorder(options(location));
        recorder.record(transfer("O1", "G1\n", 1));
        recorder.flush();
        ASSERT_EQ(recorder.written(), 1u) << ::testing::PrintToString(reports);

        ASSERT_TRUE(server.stop());
        for (int i = 2; i <= 6; ++i) {
            recorder.record(transfer("O" + std::to_string(i), "G" + std::to_string(i) + "\n", i));
        }
        recorder.flush();
        EXPECT_EQ(recorder.behind(), 5u);
        EXPECT_EQ(recorder.lost(), 0u);
        EXPECT_TRUE(reported("shared history behind by 1 record ("));
        EXPECT_FALSE(reported("caught up"));
        EXPECT_TRUE(waitFor("shared history behind by 5 records"));  // a retry that failed

        ASSERT_TRUE(server.restart());
        ASSERT_TRUE(waitFor("shared history caught up"));
        EXPECT_EQ(recorder.behind(), 0u);
        recorder.record(transfer("O7", "G7\n", 7));
        recorder.flush();
        written = recorder.written();
    }
    EXPECT_EQ(written, 7u);
    EXPECT_EQ(namesOn(location),
              (std::vector<std::string>{"O1", "O2", "O3", "O4", "O5", "O6", "O7"}));
    const auto store = openHistoryStore(location, HistoryStore::Access::Read, "hall-a");
    const auto check = store->verifyChain();
    ASSERT_TRUE(check) << store->error();
    EXPECT_TRUE(check->intact) << check->reason;
    EXPECT_EQ(HistorySpool(spool).count(), 0);
}

TEST_F(Spool, ARecordTheServerHadBeforeTheSpoolForgotItIsNotWrittenTwice) {
    REQUIRE_POSTGRES();
    const std::string location = PostgresServer::instance().freshDatabase();
    {
        HistorySpool kept(spool);
        ASSERT_TRUE(kept.append(transfer("O1", "G1\n", 1)));
        ASSERT_TRUE(kept.append(transfer("O2", "G2\n", 2)));
        // The server commits the first, and the program ends before the spool forgets it.
        const auto first = kept.front();
        ASSERT_TRUE(first);
        const auto store = openHistoryStore(location, HistoryStore::Access::Write, "hall-a");
        ASSERT_TRUE(store->addOnce(prepare(first->record), false, first->origin)) << store->error();
    }
    {
        HistoryRecorder recorder(options(location));
        ASSERT_TRUE(waitFor("shared history caught up")) << ::testing::PrintToString(reports);
        EXPECT_TRUE(reported("shared history behind by 2 records"));
    }
    EXPECT_EQ(namesOn(location), (std::vector<std::string>{"O1", "O2"}));
    // Another site's record of the same origin is its own.
    HistorySpool kept(spool);
    ASSERT_TRUE(kept.append(transfer("O3", "G3\n", 3)));
    const auto entry = kept.front();
    const auto other = openHistoryStore(location, HistoryStore::Access::Write, "hall-b");
    ASSERT_TRUE(other->addOnce(prepare(entry->record), false, entry->origin));
    const auto again = openHistoryStore(location, HistoryStore::Access::Write, "hall-a");
    ASSERT_TRUE(again->addOnce(prepare(entry->record), false, entry->origin));
    ASSERT_TRUE(again->addOnce(prepare(entry->record), false, entry->origin));
    EXPECT_EQ(namesOn(location), (std::vector<std::string>{"O1", "O2", "O3", "O3"}));
}

TEST_F(Spool, ARecordNobodyCanReadIsSetAsideAndTheOthersGoOn) {
    REQUIRE_POSTGRES();
    const std::string location = PostgresServer::instance().freshDatabase();
    {
        HistorySpool kept(spool);
        for (int i = 1; i <= 3; ++i) {
            ASSERT_TRUE(
                kept.append(transfer("O" + std::to_string(i), "G" + std::to_string(i) + "\n", i)));
        }
    }
    // The second record as a later version might have written it, or as a damaged disk left it.
    sqlite3* db = nullptr;
    ASSERT_EQ(sqlite3_open(spool.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "UPDATE spool SET direction = 'sideways' WHERE name = 'O2'", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    {
        HistoryRecorder recorder(options(location));
        ASSERT_TRUE(waitFor("shared history caught up")) << ::testing::PrintToString(reports);
        EXPECT_TRUE(reported("holds a record it cannot read (number 2); it is kept aside"))
            << ::testing::PrintToString(reports);
    }
    EXPECT_EQ(namesOn(location), (std::vector<std::string>{"O1", "O3"}));
    EXPECT_EQ(HistorySpool(spool).count(), 0);
    ASSERT_EQ(sqlite3_open(spool.c_str(), &db), SQLITE_OK);
    sqlite3_stmt* kept = nullptr;
    ASSERT_EQ(
        sqlite3_prepare_v2(db, "SELECT name, direction FROM spool_set_aside", -1, &kept, nullptr),
        SQLITE_OK);
    ASSERT_EQ(sqlite3_step(kept), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(kept, 0)), "O2");
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(kept, 1)), "sideways");
    EXPECT_EQ(sqlite3_step(kept), SQLITE_DONE);
    sqlite3_finalize(kept);
    sqlite3_close(db);
}

}  // namespace
