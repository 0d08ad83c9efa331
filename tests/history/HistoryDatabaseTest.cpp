// The history database: rows and their filters, kept programs, retention, the schema version,
// and several writers on one file.
#include <sqlite3.h>
#include <sys/stat.h>
#include <sys/wait.h>

#include <fstream>
#include <thread>

#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/IsoTime.h"
#include "dnc/history/Sha256.h"
#include "tests/history/HistoryFixture.h"

namespace {

using namespace dnc::history;

// A filter made by `set`.
template <typename F>
HistoryFilter where(F set) {
    HistoryFilter filter;
    set(filter);
    return filter;
}

class Database : public HistoryFolder {
protected:
    std::vector<HistoryRow> rows(const HistoryFilter& filter = {}) {
        HistoryDatabase reader(db, HistoryDatabase::Access::Read);
        EXPECT_TRUE(reader.ok()) << reader.error();
        auto result = reader.query(filter);
        EXPECT_TRUE(result) << reader.error();
        return result.value_or(std::vector<HistoryRow>{});
    }
};

TEST(Sha256, MatchesTheKnownDigests) {
    EXPECT_EQ(sha256Hex(""), "e3b0c44298fc1c149afbf4c8996fb92427ae41e4649b934ca495991b7852b855");
    EXPECT_EQ(sha256Hex("abc"), "ba7816bf8f01cfea414140de5dae2223b00361a396177a9cb410ff61f20015ad");
    EXPECT_TRUE(isSha256Hex(sha256Hex("x")));
    EXPECT_FALSE(isSha256Hex("abc"));
}

TEST(IsoTime, StoredFormAndTheOperatorsDates) {
    EXPECT_EQ(
        isoUtc(std::chrono::system_clock::from_time_t(1772600767) + std::chrono::milliseconds(89)),
        "2026-03-04T05:06:07.089Z");
    const auto day = parseDate("2026-03-04");
    ASSERT_TRUE(day);
    EXPECT_EQ(day->first, "2026-03-04T00:00:00.000Z");
    EXPECT_EQ(day->last, "2026-03-04T23:59:59.999Z");
    const auto minute = parseDate("2026-03-04 05:06Z");
    ASSERT_TRUE(minute);
    EXPECT_EQ(minute->first, "2026-03-04T05:06:00.000Z");
    EXPECT_EQ(minute->last, "2026-03-04T05:06:59.999Z");
    EXPECT_EQ(parseDate("2026-03-04T05:06:07")->last, "2026-03-04T05:06:07.999Z");
    for (const char* bad : {"", "2026-3-4", "2026-02-30", "2026-03-04T25:00", "2026-03-04T05",
                            "2026-03-04T05:06:07.5", "yesterday", "2026-03-04x"}) {
        EXPECT_FALSE(parseDate(bad)) << bad;
    }
}

TEST_F(Database, RowsComeBackNewestFirstWithSizeAndHash) {
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    ASSERT_TRUE(writer.ok()) << writer.error();
    TransferRecord failed = transfer("P2.WTX", "", 10);
    failed.content.reset();
    failed.outcome = Outcome::Failed;
    failed.error = "No such file or directory";
    failed.direction = Direction::FromUnit;
    failed.startedBy = StartedBy::Operator;
    ASSERT_TRUE(writer.add(prepare(transfer("P1.WTX", "G01 X1\r\n", 0)), false));
    ASSERT_TRUE(writer.add(prepare(failed), false));

    const auto all = rows();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].name, "P2.WTX");
    EXPECT_EQ(all[0].time, "2026-03-04T05:06:17.000Z");
    EXPECT_FALSE(all[0].size);
    EXPECT_FALSE(all[0].sha256);
    EXPECT_EQ(all[0].outcome, Outcome::Failed);
    EXPECT_EQ(all[0].error, "No such file or directory");
    EXPECT_EQ(all[0].direction, Direction::FromUnit);
    EXPECT_EQ(all[0].startedBy, StartedBy::Operator);
    EXPECT_EQ(all[1].size, 8);
    EXPECT_EQ(all[1].sha256, sha256Hex("G01 X1\r\n"));
    EXPECT_EQ(all[1].caption, "Hall 1");
    EXPECT_EQ(all[1].path, "/srv/dnc/Ferix1/P1.WTX");
    EXPECT_FALSE(all[1].kept);

    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(raw, "PRAGMA user_version", -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(stmt, 0), kSchemaVersion);
    sqlite3_finalize(stmt);
    sqlite3_prepare_v2(raw, "PRAGMA journal_mode", -1, &stmt, nullptr);
    ASSERT_EQ(sqlite3_step(stmt), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char*>(sqlite3_column_text(stmt, 0)), "wal");
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
}

TEST_F(Database, FiltersBySubNetUnitNameAndTime) {
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    ASSERT_TRUE(writer.add(prepare(transfer("MILL1.WTX", "a", 0, 1, 1)), false));
    ASSERT_TRUE(writer.add(prepare(transfer("mill2.wtx", "b", 60, 1, 2)), false));
    ASSERT_TRUE(writer.add(prepare(transfer("LATHE.WTX", "c", 86400, 2, 2)), false));
    ASSERT_TRUE(writer.add(prepare(transfer("100%_A.WTX", "d", 86460, 2, 3)), false));

    const auto names = [&](const HistoryFilter& f) {
        std::vector<std::string> found;
        for (const auto& r : rows(f)) {
            found.push_back(r.name);
        }
        return found;
    };
    EXPECT_EQ(names(where([&](HistoryFilter& f) { f.subNet = 2; })),
              (std::vector<std::string>{"100%_A.WTX", "LATHE.WTX"}));
    EXPECT_EQ(names(where([&](HistoryFilter& f) {
                  f.subNet = 1;
                  f.unit = 2;
              })),
              (std::vector<std::string>{"mill2.wtx"}));
    EXPECT_EQ(names(where([&](HistoryFilter& f) { f.nameContains = "Mill"; })),
              (std::vector<std::string>{"mill2.wtx", "MILL1.WTX"}));
    EXPECT_EQ(names(where([&](HistoryFilter& f) { f.nameContains = "%_"; })),
              (std::vector<std::string>{"100%_A.WTX"}))
        << "no wildcards in a name";
    EXPECT_EQ(names(where([&](HistoryFilter& f) { f.since = parseDate("2026-03-05")->first; })),
              (std::vector<std::string>{"100%_A.WTX", "LATHE.WTX"}));
    EXPECT_EQ(names(where([&](HistoryFilter& f) { f.until = parseDate("2026-03-04")->last; })),
              (std::vector<std::string>{"mill2.wtx", "MILL1.WTX"}));
    EXPECT_EQ(names(where([&](HistoryFilter& f) {
                  f.since = "2026-03-04T05:07:07.000Z";
                  f.until = "2026-03-05T05:06:07.000Z";
              })),
              (std::vector<std::string>{"LATHE.WTX", "mill2.wtx"}));
    EXPECT_EQ(names(where([&](HistoryFilter& f) { f.limit = 1; })),
              (std::vector<std::string>{"100%_A.WTX"}));
}

TEST_F(Database, AProgramIsKeptOnceByItsHashAndFoundByAPrefix) {
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    const std::string text = std::string("%\r\nO1000\r\nG01 X1\r\n\0\xFF M30\r\n", 24);
    ASSERT_TRUE(writer.add(prepare(transfer("P1.WTX", text, 0, 1, 1)), true));
    ASSERT_TRUE(writer.add(prepare(transfer("P1.WTX", text, 5, 1, 2)), true));
    EXPECT_EQ(writer.keptBytes(), 24);
    const auto all = rows();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_TRUE(all[0].kept);
    EXPECT_TRUE(all[1].kept);

    HistoryDatabase reader(db, HistoryDatabase::Access::Read);
    EXPECT_EQ(reader.program(sha256Hex(text)), text);
    std::string upper = sha256Hex(text).substr(0, 10);
    for (char& c : upper) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    EXPECT_EQ(reader.program(upper), text);
    EXPECT_FALSE(reader.program(sha256Hex("other")));
    EXPECT_NE(reader.error().find("no program kept"), std::string::npos);
    EXPECT_FALSE(reader.program("abc"));
    EXPECT_FALSE(reader.program("zzzzzzzzzz"));
}

TEST_F(Database, RetentionByDaysAndByMegabytes) {
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    const std::string mebibyte(1024 * 1024, 'x');
    ASSERT_TRUE(writer.add(prepare(transfer("OLD", mebibyte + "1", 0)), true));
    ASSERT_TRUE(writer.add(prepare(transfer("MID", mebibyte + "2", 10 * 86400)), true));
    ASSERT_TRUE(writer.add(prepare(transfer("NEW", mebibyte + "3", 20 * 86400)), true));
    // Sent again later: the old program is then recent.
    ASSERT_TRUE(writer.add(prepare(transfer("OLD", mebibyte + "1", 21 * 86400)), true));

    ASSERT_TRUE(writer.applyRetention(Retention{5, 0}, at(22 * 86400)));
    HistoryDatabase reader(db, HistoryDatabase::Access::Read);
    EXPECT_TRUE(reader.program(sha256Hex(mebibyte + "1")));
    EXPECT_FALSE(reader.program(sha256Hex(mebibyte + "2")));
    EXPECT_TRUE(reader.program(sha256Hex(mebibyte + "3")));

    ASSERT_TRUE(writer.applyRetention(Retention{0, 2}, at(22 * 86400)));
    EXPECT_TRUE(reader.program(sha256Hex(mebibyte + "1"))) << "the one sent last stays";
    EXPECT_FALSE(reader.program(sha256Hex(mebibyte + "3")));
    EXPECT_EQ(rows().size(), 4u) << "the transfers stay recorded";
    ASSERT_TRUE(writer.applyRetention({}, at(99 * 86400)));
    EXPECT_TRUE(reader.program(sha256Hex(mebibyte + "1"))) << "no limit: nothing goes";
}

TEST_F(Database, ANewerSchemaIsNeitherWrittenNorRead) {
    {
        HistoryDatabase writer(db, HistoryDatabase::Access::Write);
        ASSERT_TRUE(writer.ok());
    }
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(raw, "PRAGMA user_version = 7", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(raw);
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    EXPECT_FALSE(writer.ok());
    EXPECT_NE(writer.error().find("schema version 7"), std::string::npos) << writer.error();
    EXPECT_FALSE(writer.add(prepare(transfer("P", "x")), false));
    HistoryDatabase reader(db, HistoryDatabase::Access::Read);
    EXPECT_FALSE(reader.ok());
}

TEST_F(Database, AFileThatIsNoDatabaseIsAnError) {
    std::filesystem::create_directories(db.parent_path());
    std::ofstream(db) << "this is a settings file, not a database\n" << std::string(600, 'x');
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    EXPECT_FALSE(writer.ok());
    EXPECT_FALSE(writer.add(prepare(transfer("P", "x")), false));
    EXPECT_FALSE(writer.error().empty());
}

TEST_F(Database, ReadingLeavesNoFilesBehindAndSeesWhatAWriterAdds) {
    const auto sideFiles = [](const std::filesystem::path& file) {
        return std::filesystem::exists(file.string() + "-wal") ||
               std::filesystem::exists(file.string() + "-shm");
    };
    {
        HistoryDatabase writer(db, HistoryDatabase::Access::Write);
        ASSERT_TRUE(writer.add(prepare(transfer("P1", "a")), true)) << writer.error();
    }
    ASSERT_FALSE(sideFiles(db)) << "the last writer cleans up";
    EXPECT_EQ(rows().size(), 1u);
    {
        HistoryDatabase reader(db, HistoryDatabase::Access::Read);
        EXPECT_TRUE(reader.program(sha256Hex("a")));
    }
    // Files owned by whoever asked would keep a writer of another user out.
    EXPECT_FALSE(sideFiles(db));

    // While a writer has the file, its rows are read from its log.
    HistoryDatabase writer(db, HistoryDatabase::Access::Write);
    ASSERT_TRUE(writer.add(prepare(transfer("P2", "b", 60)), false)) << writer.error();
    ASSERT_TRUE(sideFiles(db));
    const auto both = rows();
    ASSERT_EQ(both.size(), 2u);
    EXPECT_EQ(both[0].name, "P2");

    // Characters that mean something in an SQLite URI stay part of the name.
    const auto odd = dir / "50% done?#1" / "history.db";
    {
        HistoryDatabase other(odd, HistoryDatabase::Access::Write);
        ASSERT_TRUE(other.add(prepare(transfer("ODD", "c")), false)) << other.error();
    }
    HistoryDatabase reader(odd, HistoryDatabase::Access::Read);
    const auto found = reader.query({});
    ASSERT_TRUE(found) << reader.error();
    ASSERT_EQ(found->size(), 1u);
    EXPECT_EQ((*found)[0].name, "ODD");
}

TEST_F(Database, TwoConnectionsWriteSideBySide) {
    constexpr int kEach = 150;
    const auto write = [this](int subNet) {
        HistoryDatabase writer(db, HistoryDatabase::Access::Write);
        for (int i = 0; i < kEach; ++i) {
            // A write that meets the other's lock for longer than a moment is tried again,
            // as the recorder does.
            while (!writer.add(prepare(transfer("P" + std::to_string(i), "x", i, subNet)), true)) {
            }
        }
    };
    std::thread one(write, 1);
    std::thread two(write, 2);
    one.join();
    two.join();
    EXPECT_EQ(rows(where([&](HistoryFilter& f) { f.subNet = 1; })).size(),
              static_cast<std::size_t>(kEach));
    EXPECT_EQ(rows(where([&](HistoryFilter& f) { f.subNet = 2; })).size(),
              static_cast<std::size_t>(kEach));
}

TEST_F(Database, TwoProcessesWriteOneFile) {
    constexpr int kEach = 100;
    std::vector<pid_t> children;
    for (int subNet : {3, 4}) {
        const pid_t pid = ::fork();
        ASSERT_GE(pid, 0);
        if (pid == 0) {
            // The child opens its own connection, possibly while the other creates the file.
            HistoryDatabase writer(db, HistoryDatabase::Access::Write);
            int written = 0;
            for (int tries = 0; written < kEach && tries < 100 * kEach; ++tries) {
                written += writer.add(prepare(transfer("P", "x", written, subNet)), false) ? 1 : 0;
            }
            ::_exit(written == kEach ? 0 : 1);
        }
        children.push_back(pid);
    }
    for (pid_t pid : children) {
        int status = 0;
        ASSERT_EQ(::waitpid(pid, &status, 0), pid);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(rows(where([&](HistoryFilter& f) { f.subNet = 3; })).size(),
              static_cast<std::size_t>(kEach));
    EXPECT_EQ(rows(where([&](HistoryFilter& f) { f.subNet = 4; })).size(),
              static_cast<std::size_t>(kEach));
}

// A file as the first version of the schema left it, with a unit's and an operator's transfer.
void writeVersion1(const std::filesystem::path& file) {
    std::filesystem::create_directories(file.parent_path());
    sqlite3* raw = nullptr;
    ASSERT_EQ(sqlite3_open(file.c_str(), &raw), SQLITE_OK);
    const char* sql = R"sql(
PRAGMA journal_mode=WAL;
CREATE TABLE transfers(id INTEGER PRIMARY KEY, time TEXT NOT NULL, subnet INTEGER NOT NULL,
    caption TEXT NOT NULL, unit INTEGER NOT NULL, direction TEXT NOT NULL,
    started_by TEXT NOT NULL, name TEXT NOT NULL, path TEXT NOT NULL, size INTEGER,
    sha256 TEXT, stored INTEGER NOT NULL, outcome TEXT NOT NULL, error TEXT NOT NULL);
CREATE TABLE programs(sha256 TEXT PRIMARY KEY, size INTEGER NOT NULL, content BLOB NOT NULL,
    kept TEXT NOT NULL, last_sent TEXT NOT NULL);
INSERT INTO transfers VALUES(1, '2026-03-04T05:06:07.000Z', 1, 'Hall', 4, 'to-unit', 'unit',
    'A.WTX', '/p/A.WTX', NULL, NULL, 0, 'done', '');
INSERT INTO transfers VALUES(2, '2026-03-04T05:06:08.000Z', 1, 'Hall', 2, 'from-unit',
    'operator', 'B.WTX', '/p/B.WTX', NULL, NULL, 0, 'done', '');
PRAGMA user_version = 1;
)sql";
    EXPECT_EQ(sqlite3_exec(raw, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(raw);
    sqlite3_close(raw);
}

int fileVersion(const std::filesystem::path& file) {
    sqlite3* raw = nullptr;
    sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    sqlite3_stmt* stmt = nullptr;
    sqlite3_prepare_v2(raw, "PRAGMA user_version", -1, &stmt, nullptr);
    const int version = sqlite3_step(stmt) == SQLITE_ROW ? sqlite3_column_int(stmt, 0) : -1;
    sqlite3_finalize(stmt);
    sqlite3_close(raw);
    return version;
}

TEST_F(Database, TheUserIsRecordedAndAnOlderFileIsUpgradedInPlace) {
    writeVersion1(db);
    // Reading changes nothing; the rows say what can be known of who asked.
    auto before = rows();
    ASSERT_EQ(before.size(), 2u);
    EXPECT_EQ(before[0].user, "") << "an operator not recorded";
    EXPECT_EQ(before[1].user, "unit 4");
    EXPECT_EQ(fileVersion(db), 1);

    TransferRecord asked = transfer("C.WTX", "x", 60);
    asked.startedBy = StartedBy::Operator;
    asked.user = "anna";
    {
        HistoryDatabase writer(db, HistoryDatabase::Access::Write);
        ASSERT_TRUE(writer.ok()) << writer.error();
        ASSERT_TRUE(writer.add(prepare(asked), false)) << writer.error();
    }
    EXPECT_EQ(fileVersion(db), kSchemaVersion);
    const auto after = rows();
    ASSERT_EQ(after.size(), 3u);
    EXPECT_EQ(after[0].name, "C.WTX");
    EXPECT_EQ(after[0].user, "anna");
    EXPECT_EQ(after[1].user, "");
    EXPECT_EQ(after[2].user, "unit 4");
    EXPECT_EQ(after[2].name, "A.WTX") << "the old rows stay as they were";
}

TEST_F(Database, OnlyARegularFileIsOpened) {
    const auto folder = dir / "folder.db";
    std::filesystem::create_directories(folder);
    HistoryDatabase reader(folder, HistoryDatabase::Access::Read);
    EXPECT_EQ(reader.error(), folder.string() + " is a folder, not a history database");
    EXPECT_FALSE(reader.query({}));

    // A writer would otherwise wait for ever for a FIFO's other end.
    const auto fifo = dir / "fifo.db";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    HistoryDatabase writer(fifo, HistoryDatabase::Access::Write);
    EXPECT_EQ(writer.error(), fifo.string() + " is a FIFO, not a history database");
    EXPECT_FALSE(writer.add(prepare(transfer("P", "x")), false));
    EXPECT_FALSE(writer.busy());

    HistoryDatabase missing(dir / "none.db", HistoryDatabase::Access::Read);
    EXPECT_EQ(missing.error(), "no history database at " + (dir / "none.db").string());
    EXPECT_FALSE(std::filesystem::exists(dir / "none.db"));
}

}  // namespace
