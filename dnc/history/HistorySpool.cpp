#include "dnc/history/HistorySpool.h"

#include <sqlite3.h>

#include <random>
#include <system_error>

#include "dnc/history/DatabaseFile.h"
#include "dnc/history/HistoryStore.h"
#include "dnc/history/SqliteStatement.h"

namespace dnc::history {

namespace {

constexpr int kBusyMilliseconds = 5000;

constexpr const char* kSchema = R"sql(
CREATE TABLE IF NOT EXISTS spool_instance(name TEXT NOT NULL);
CREATE TABLE IF NOT EXISTS spool(
    id         INTEGER PRIMARY KEY AUTOINCREMENT,
    time_us    INTEGER NOT NULL,
    subnet     INTEGER NOT NULL,
    caption    TEXT    NOT NULL,
    unit       INTEGER NOT NULL,
    direction  TEXT    NOT NULL,
    started_by TEXT    NOT NULL,
    user       TEXT    NOT NULL,
    name       TEXT    NOT NULL,
    path       TEXT    NOT NULL,
    content    BLOB,
    stored     INTEGER NOT NULL,
    held       INTEGER NOT NULL,
    deletion   INTEGER NOT NULL,
    outcome    TEXT    NOT NULL,
    error      TEXT    NOT NULL);
CREATE TABLE IF NOT EXISTS spool_set_aside AS SELECT * FROM spool WHERE 0;
)sql";

// 128 random bits: two spools (or one made again after its file went) never share origins.
std::string randomName() {
    std::random_device random;
    static constexpr char kHex[] = "0123456789abcdef";
    std::string name;
    for (int i = 0; i < 32; ++i) {
        name += kHex[random() % 16];
    }
    return name;
}

}  // namespace

HistorySpool::HistorySpool(std::filesystem::path file) : file_(std::move(file)) {
    const DatabaseFile checked = checkDatabaseFile(file_);
    if (checked.state == DatabaseFile::State::Unusable) {
        error_ = "cannot use the history spool: " + checked.problem;
        return;
    }
    if (checked.state == DatabaseFile::State::Missing && file_.has_parent_path()) {
        std::error_code ec;
        std::filesystem::create_directories(file_.parent_path(), ec);
        if (ec) {
            error_ = "cannot make the folder of the history spool " + file_.string() + ": " +
                     ec.message();
            return;
        }
    }
    sqlite3* db = nullptr;
    const int flags = SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOFOLLOW;
    if (sqlite3_open_v2(file_.c_str(), &db, flags, nullptr) != SQLITE_OK) {
        error_ = "cannot open the history spool " + file_.string() + ": " +
                 (db != nullptr ? sqlite3_errmsg(db) : "out of memory");
        sqlite3_close_v2(db);
        return;
    }
    db_ = db;
    sqlite3_busy_timeout(db_, kBusyMilliseconds);
    // Each record is on the disk before the spool says it has it.
    if (!exec("PRAGMA synchronous = FULL") || !exec("BEGIN IMMEDIATE") || !exec(kSchema)) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return;
    }
    {
        Statement read(db_, "SELECT name FROM spool_instance");
        if (read.prepared() && read.step() == SQLITE_ROW) {
            instance_ = read.text(0);
        }
    }
    if (instance_.empty()) {
        instance_ = randomName();
        Statement insert(db_, "INSERT INTO spool_instance(name) VALUES(?)");
        insert.bind(1, instance_);
        if (!insert.prepared() || insert.step() != SQLITE_DONE) {
            fail("cannot make the history spool " + file_.string());
            exec("ROLLBACK");
            sqlite3_close_v2(db_);
            db_ = nullptr;
            return;
        }
    }
    if (!exec("COMMIT")) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

HistorySpool::~HistorySpool() {
    sqlite3_close_v2(db_);
}

bool HistorySpool::fail(const std::string& what) {
    error_ = what + ": " + (db_ != nullptr ? sqlite3_errmsg(db_) : "not open");
    return false;
}

bool HistorySpool::exec(const char* sql) {
    if (sqlite3_exec(db_, sql, nullptr, nullptr, nullptr) != SQLITE_OK) {
        return fail("cannot write the history spool " + file_.string());
    }
    return true;
}

bool HistorySpool::append(const TransferRecord& r) {
    if (db_ == nullptr) {
        return false;
    }
    Statement insert(db_,
                     "INSERT INTO spool(time_us, subnet, caption, unit, direction, started_by, "
                     "user, name, path, content, stored, held, deletion, outcome, error) "
                     "VALUES(?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?)");
    insert.bind(1, microseconds(r.time));
    insert.bind(2, static_cast<std::int64_t>(r.subNet));
    insert.bind(3, r.caption);
    insert.bind(4, static_cast<std::int64_t>(r.unit));
    insert.bind(5, toText(r.direction));
    insert.bind(6, toText(r.startedBy));
    insert.bind(7, r.user);
    insert.bind(8, r.name);
    insert.bind(9, r.path);
    if (r.content) {
        insert.bindBlob(10, *r.content);
    } else {
        insert.bindNull(10);
    }
    insert.bind(11, std::int64_t{r.stored ? 1 : 0});
    insert.bind(12, std::int64_t{r.held ? 1 : 0});
    insert.bind(13, std::int64_t{r.deletion ? 1 : 0});
    insert.bind(14, toText(r.outcome));
    insert.bind(15, r.error);
    if (!insert.prepared() || insert.step() != SQLITE_DONE) {
        return fail("cannot keep the record in the history spool " + file_.string());
    }
    error_.clear();
    return true;
}

std::optional<HistorySpool::Entry> HistorySpool::front() {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    Statement read(db_,
                   "SELECT id, time_us, subnet, caption, unit, direction, started_by, user, name, "
                   "path, content, stored, held, deletion, outcome, error FROM spool "
                   "ORDER BY id LIMIT 1");
    if (!read.prepared()) {
        fail("cannot read the history spool " + file_.string());
        return std::nullopt;
    }
    unreadable_.reset();
    const int rc = read.step();
    if (rc == SQLITE_DONE) {
        error_.clear();
        return std::nullopt;
    }
    if (rc != SQLITE_ROW) {
        fail("cannot read the history spool " + file_.string());
        return std::nullopt;
    }
    Entry entry;
    entry.id = read.integer(0);
    entry.origin = instance_ + "/" + std::to_string(entry.id);
    TransferRecord& r = entry.record;
    r.time = std::chrono::system_clock::time_point(std::chrono::microseconds(read.integer(1)));
    r.subNet = static_cast<int>(read.integer(2));
    r.caption = read.text(3);
    r.unit = static_cast<int>(read.integer(4));
    const auto direction = directionFromText(read.text(5));
    const auto startedBy = startedByFromText(read.text(6));
    const auto outcome = outcomeFromText(read.text(14));
    if (!direction || !startedBy || !outcome) {
        error_ = "the history spool " + file_.string() + " holds a record it cannot read (number " +
                 std::to_string(entry.id) + ")";
        unreadable_ = entry.id;
        return std::nullopt;
    }
    r.direction = *direction;
    r.startedBy = *startedBy;
    r.user = read.text(7);
    r.name = read.text(8);
    r.path = read.text(9);
    if (!read.isNull(10)) {
        r.content = read.blob(10);
    }
    r.stored = read.integer(11) != 0;
    r.held = read.integer(12) != 0;
    r.deletion = read.integer(13) != 0;
    r.outcome = *outcome;
    r.error = read.text(15);
    error_.clear();
    return entry;
}

bool HistorySpool::remove(std::int64_t id) {
    if (db_ == nullptr) {
        return false;
    }
    Statement erase(db_, "DELETE FROM spool WHERE id = ?");
    erase.bind(1, id);
    if (!erase.prepared() || erase.step() != SQLITE_DONE) {
        return fail("cannot write the history spool " + file_.string());
    }
    error_.clear();
    return true;
}

bool HistorySpool::setAside(std::int64_t id) {
    if (db_ == nullptr) {
        return false;
    }
    if (!exec("BEGIN IMMEDIATE")) {
        return fail("cannot write the history spool " + file_.string());
    }
    Statement keep(db_, "INSERT INTO spool_set_aside SELECT * FROM spool WHERE id = ?");
    keep.bind(1, id);
    Statement erase(db_, "DELETE FROM spool WHERE id = ?");
    erase.bind(1, id);
    if (!keep.prepared() || keep.step() != SQLITE_DONE || !erase.prepared() ||
        erase.step() != SQLITE_DONE || !exec("COMMIT")) {
        fail("cannot write the history spool " + file_.string());
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return false;
    }
    unreadable_.reset();
    error_.clear();
    return true;
}

std::optional<std::int64_t> HistorySpool::count() {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    Statement read(db_, "SELECT COUNT(*) FROM spool");
    if (!read.prepared() || read.step() != SQLITE_ROW) {
        fail("cannot read the history spool " + file_.string());
        return std::nullopt;
    }
    return read.integer(0);
}

}  // namespace dnc::history
