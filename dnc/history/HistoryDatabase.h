// The history database (SQLite, WAL): one row per ended transfer and, when asked to, each
// distinct program sent to a unit, kept once by its SHA-256. Several processes may share one
// database; a connection belongs to one thread. The schema is described in the README.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dnc/history/Revisions.h"
#include "dnc/history/TransferRecord.h"

struct sqlite3;

namespace dnc::history {

inline constexpr int kSchemaVersion = 2;

// A record with the size and hash of its content, ready to be written.
struct PreparedRecord {
    TransferRecord record;
    std::optional<std::int64_t> size;
    std::optional<std::string> sha256;
};
PreparedRecord prepare(TransferRecord record);

struct HistoryRow {
    std::int64_t id = 0;
    std::string time;  // UTC, ISO 8601 with milliseconds
    int subNet = 0;
    std::string caption;
    int unit = 0;
    Direction direction = Direction::ToUnit;
    StartedBy startedBy = StartedBy::Unit;
    // Who asked; rows written before it was recorded say "" (an operator) or "unit N".
    std::string user;
    std::string name;
    std::string path;
    std::optional<std::int64_t> size;
    std::optional<std::string> sha256;
    bool stored = false;
    Outcome outcome = Outcome::Done;
    std::string error;
    bool kept = false;  // the program is kept in the database and can be shown
};

// Which rows a query returns, newest first. Empty fields do not filter.
struct HistoryFilter {
    std::optional<int> subNet;
    std::optional<int> unit;
    std::string nameContains;  // regardless of letter case (ASCII)
    std::string since;         // stored-form times, inclusive
    std::string until;
    int limit = 0;  // 0: all
};

// How long kept programs stay: a program not sent for `days` days goes, and beyond
// `megabytes` the programs sent longest ago go first. 0: no limit.
struct Retention {
    int days = 0;
    std::int64_t megabytes = 0;
};

class HistoryDatabase {
public:
    enum class Access { Write, Read };

    // Opens (for Write: creates, with its folder) the database. Nothing throws; see ok().
    HistoryDatabase(const std::filesystem::path& file, Access access);
    ~HistoryDatabase();
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    bool ok() const { return error_.empty(); }
    // Why the last operation failed.
    const std::string& error() const { return error_; }
    // The last operation failed because another connection held the database: it passes.
    bool busy() const { return busy_; }

    // Writes the row and, with keepProgram, keeps its content under its hash. A record that
    // changed a program in a unit directory, or holds one for approval, also makes a revision
    // (see takeRevisionNotice).
    bool add(const PreparedRecord& prepared, bool keepProgram);
    // The revision the last add made, once.
    std::optional<RevisionNotice> takeRevisionNotice();

    // Records an operator's accept, reject or restore (see RevisionAction).
    ActionResult apply(const RevisionAction& action);
    std::optional<std::vector<RevisionRow>> revisions(const RevisionFilter& filter);
    // nullopt with error() when there is no revision `id`.
    std::optional<RevisionRow> revision(std::int64_t id);
    // The released revision of a program, if it has one (nullopt and an empty error()).
    std::optional<RevisionRow> released(int subNet, int unit, const std::string& name);
    // Walks the hash chains of every table that has one.
    std::optional<ChainCheck> verifyChain();
    // Removes the kept programs beyond the retention; `now` is the time the days count from.
    bool applyRetention(const Retention& retention, std::chrono::system_clock::time_point now);

    std::optional<std::vector<HistoryRow>> query(const HistoryFilter& filter);
    // The kept program whose hash is or begins with `hash` (at least 8 hexadecimal digits,
    // either case); nullopt with error() when none or several match.
    std::optional<std::string> program(const std::string& hash);
    // Total bytes of the kept programs.
    std::optional<std::int64_t> keptBytes();

private:
    bool exec(const char* sql);
    bool fail(const std::string& what);
    bool createSchema();
    // Each step of the schema brings a database of the version before to the next, in the
    // transaction that createSchema holds.
    bool createVersion1();
    bool upgradeFrom1To2();
    bool prepareForWriting();
    // Commits, or rolls back keeping the cause (with `failure` as its summary, if given).
    bool endTransaction(bool ok, const char* failure);
    bool runWithText(const char* sql, std::string_view text);
    bool checkVersion(int& version);
    // Seals record `id` of `table` onto the chain of the table.
    bool seal(const char* table, std::int64_t id);
    bool keepContent(const std::string& sha256, std::string_view content, const std::string& time);
    // Writes a revision with its first state; its id, or 0.
    std::int64_t insertRevision(const RevisionRow& row);
    bool addState(std::int64_t revision, revisions::State state, const std::string& user,
                  std::int64_t timeUs);
    bool supersedeReleased(int subNet, int unit, const std::string& name, const std::string& user,
                           std::int64_t timeUs);
    bool addRevisionOf(const PreparedRecord& prepared, std::int64_t transfer);
    bool addDeletion(const PreparedRecord& prepared, RevisionRow row);
    bool checkChainOf(const char* table, ChainCheck& check);
    bool checkStates(ChainCheck& check);

    sqlite3* db_ = nullptr;
    std::string error_;
    bool busy_ = false;
    int version_ = 0;        // the schema version of the open database
    bool empty_ = false;     // a database without the schema, opened for reading
    bool writable_ = false;  // opened for writing, with this program's schema
    bool opensForWriting_ = false;
    std::optional<RevisionNotice> notice_;
};

// Microseconds since the epoch.
std::int64_t microseconds(std::chrono::system_clock::time_point time);

}  // namespace dnc::history
