#include "dnc/history/HistoryDatabase.h"

#include <sqlite3.h>

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <system_error>

#include "dnc/history/DatabaseFile.h"
#include "dnc/history/IsoTime.h"
#include "dnc/history/Sha256.h"
#include "dnc/history/SqliteStatement.h"

namespace dnc::history {

namespace {

// A moment of waiting for another process's write; longer and the write fails as busy, and the
// recorder (which never holds up a line) tries it again.
constexpr int kBusyMilliseconds = 250;

// A writer keeps the write-ahead log while it has the database open; without one, the last
// writer has moved everything into the file and removed the log.
bool writerPresent(const std::filesystem::path& file) {
    std::error_code ec;
    return std::filesystem::exists(file.string() + "-wal", ec) || ec;
}

// The file as an SQLite URI that reads it as it stands: no locks, no side files.
std::string immutableUri(const std::filesystem::path& file) {
    std::error_code ec;
    const std::filesystem::path absolute = std::filesystem::absolute(file, ec);
    std::string uri = "file:";
    for (const char c : (ec ? file : absolute).string()) {
        if (c == '%' || c == '?' || c == '#') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            const auto byte = static_cast<unsigned char>(c);
            uri += '%';
            uri += kHex[byte >> 4];
            uri += kHex[byte & 0x0F];
        } else {
            uri += c;
        }
    }
    return uri + "?immutable=1";
}

constexpr const char* kSchemaVersion1 = R"sql(
CREATE TABLE transfers(
    id         INTEGER PRIMARY KEY,
    time       TEXT    NOT NULL,
    subnet     INTEGER NOT NULL,
    caption    TEXT    NOT NULL,
    unit       INTEGER NOT NULL,
    direction  TEXT    NOT NULL CHECK(direction IN ('to-unit','from-unit','include','exclude')),
    started_by TEXT    NOT NULL CHECK(started_by IN ('unit','operator','window')),
    name       TEXT    NOT NULL,
    path       TEXT    NOT NULL,
    size       INTEGER,
    sha256     TEXT,
    stored     INTEGER NOT NULL,
    outcome    TEXT    NOT NULL CHECK(outcome IN ('done','failed','stopped')),
    error      TEXT    NOT NULL);
CREATE INDEX transfers_by_time ON transfers(time);
CREATE INDEX transfers_by_unit ON transfers(subnet, unit, time);
CREATE INDEX transfers_by_hash ON transfers(sha256);
CREATE TABLE programs(
    sha256     TEXT    PRIMARY KEY,
    size       INTEGER NOT NULL,
    content    BLOB    NOT NULL,
    kept       TEXT    NOT NULL,
    last_sent  TEXT    NOT NULL);
CREATE INDEX programs_by_last_sent ON programs(last_sent);
PRAGMA user_version = 1;
)sql";

// Who asked for a transfer recorded before that was kept: a unit's request names itself; an
// operator's is not known.
constexpr const char* kUserBeforeVersion2 =
    "CASE WHEN started_by = 'unit' THEN 'unit ' || unit ELSE '' END";

// Version 2: the revisions of the programs in the unit directories, and the hash chain over
// every record. The chains begin here: records written before have no seal.
constexpr const char* kRevisionsAndChain = R"sql(
ALTER TABLE transfers ADD COLUMN chain TEXT;
CREATE TABLE revisions(
    id         INTEGER PRIMARY KEY,
    time       INTEGER NOT NULL,
    subnet     INTEGER NOT NULL,
    unit       INTEGER NOT NULL,
    name       TEXT    NOT NULL,
    path       TEXT    NOT NULL,
    source     TEXT    NOT NULL
               CHECK(source IN ('unit','operator','include','accept','restore')),
    sha256     TEXT    NOT NULL,
    size       INTEGER NOT NULL,
    user       TEXT    NOT NULL,
    note       TEXT    NOT NULL,
    state      TEXT    NOT NULL
               CHECK(state IN ('released','pending','superseded','rejected','deleted')),
    chain      TEXT);
CREATE INDEX revisions_by_program ON revisions(subnet, unit, name, state);
CREATE INDEX revisions_by_state ON revisions(state, sha256);
CREATE TABLE revision_states(
    id         INTEGER PRIMARY KEY,
    revision   INTEGER NOT NULL,
    time       INTEGER NOT NULL,
    state      TEXT    NOT NULL,
    user       TEXT    NOT NULL,
    chain      TEXT);
CREATE INDEX revision_states_by_revision ON revision_states(revision, id);
CREATE TABLE chain_start(
    tbl        TEXT    PRIMARY KEY,
    first      INTEGER NOT NULL);
INSERT INTO chain_start(tbl, first)
    VALUES('transfers', (SELECT COALESCE(MAX(id), 0) + 1 FROM transfers)),
          ('revisions', 1), ('revision_states', 1);
)sql";

constexpr const char* kSitesAndTheirChains = R"sql(
ALTER TABLE chain_start ADD COLUMN sited INTEGER NOT NULL DEFAULT 1;
UPDATE chain_start SET sited = (SELECT COALESCE(MAX(id), 0) + 1 FROM transfers)
    WHERE tbl = 'transfers';
UPDATE chain_start SET sited = (SELECT COALESCE(MAX(id), 0) + 1 FROM revisions)
    WHERE tbl = 'revisions';
UPDATE chain_start SET sited = (SELECT COALESCE(MAX(id), 0) + 1 FROM revision_states)
    WHERE tbl = 'revision_states';
CREATE INDEX transfers_by_site ON transfers(site, time);
CREATE INDEX revisions_by_site ON revisions(site);
PRAGMA user_version = 3;
)sql";

// Version 4: the heartbeats of the running services, one per site with its sub nets.
constexpr const char* kHeartbeats = R"sql(
CREATE TABLE heartbeats(
    site       TEXT    PRIMARY KEY,
    time       INTEGER NOT NULL,
    pending    INTEGER NOT NULL);
CREATE TABLE heartbeat_subnets(
    site       TEXT    NOT NULL,
    subnet     INTEGER NOT NULL,
    caption    TEXT    NOT NULL,
    state      TEXT    NOT NULL,
    error      TEXT    NOT NULL,
    PRIMARY KEY(site, subnet));
PRAGMA user_version = 4;
)sql";

// Version 5: accepts and rejects asked for away from the site owning the revision, and how that
// site settled them; both on the chains. `site` wrote the row, `owner` carries it out.
constexpr const char* kDecisionRequests = R"sql(
CREATE TABLE decision_requests(
    id         INTEGER PRIMARY KEY,
    time       INTEGER NOT NULL,
    revision   INTEGER NOT NULL,
    action     TEXT    NOT NULL CHECK(action IN ('accept','reject')),
    user       TEXT    NOT NULL,
    origin     TEXT    NOT NULL,
    owner      TEXT    NOT NULL,
    status     TEXT    NOT NULL CHECK(status IN ('open','done','failed')),
    result     TEXT    NOT NULL,
    settled    INTEGER NOT NULL,
    site       TEXT    NOT NULL,
    chain      TEXT);
CREATE INDEX decision_requests_by_owner ON decision_requests(owner, status, id);
CREATE UNIQUE INDEX decision_requests_open ON decision_requests(revision) WHERE status = 'open';
CREATE TABLE request_settlements(
    id         INTEGER PRIMARY KEY,
    request    INTEGER NOT NULL,
    time       INTEGER NOT NULL,
    status     TEXT    NOT NULL,
    result     TEXT    NOT NULL,
    site       TEXT    NOT NULL,
    chain      TEXT);
CREATE INDEX request_settlements_by_request ON request_settlements(request, id);
INSERT INTO chain_start(tbl, first, sited)
    VALUES('decision_requests', 1, 1), ('request_settlements', 1, 1);
PRAGMA user_version = 5;
)sql";

bool busyCode(int code) {
    const int primary = code & 0xFF;
    return primary == SQLITE_BUSY || primary == SQLITE_LOCKED;
}

std::string lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

}  // namespace

HistoryDatabase::HistoryDatabase(const std::filesystem::path& file, Access access, std::string site)
    : site_(std::move(site)) {
    // SQLite would wait for ever on a FIFO and fail obscurely on a folder or a device.
    const DatabaseFile found = checkDatabaseFile(file);
    if (found.state == DatabaseFile::State::Unusable ||
        (found.state == DatabaseFile::State::Missing && access == Access::Read)) {
        error_ = found.problem;
        return;
    }
    int flags = SQLITE_OPEN_NOMUTEX;
    if (access == Access::Write) {
        std::error_code ec;
        if (file.has_parent_path()) {
            std::filesystem::create_directories(file.parent_path(), ec);
        }
        flags |= SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE;
    } else {
        flags |= SQLITE_OPEN_READONLY;
    }
    std::string name = file.string();
    if (access == Access::Read && !writerPresent(file)) {
        // Everything is in the file itself. A read-only connection would otherwise leave the
        // -wal and -shm files behind, owned by whoever asked, and a service writing as another
        // user could then no longer write its history.
        name = immutableUri(file);
        flags |= SQLITE_OPEN_URI;
    }
    if (sqlite3_open_v2(name.c_str(), &db_, flags, nullptr) != SQLITE_OK) {
        fail("cannot open " + file.string());
        sqlite3_close_v2(db_);
        db_ = nullptr;
        return;
    }
    sqlite3_extended_result_codes(db_, 1);
    sqlite3_busy_timeout(db_, kBusyMilliseconds);
    int version = 0;
    opensForWriting_ = access == Access::Write;
    if (access == Access::Read) {
        if (checkVersion(version)) {
            empty_ = version == 0;
        }
        return;
    }
    prepareForWriting();
}

bool HistoryDatabase::prepareForWriting() {
    // WAL lets readers (the query command, a window) go on while a line's transfer is written,
    // and lets several processes share the file. Another process holding the file may make
    // this fail for a moment: it is tried again with the next write.
    writable_ =
        exec("PRAGMA journal_mode=WAL") && exec("PRAGMA synchronous=NORMAL") && createSchema();
    return writable_;
}

HistoryDatabase::~HistoryDatabase() {
    sqlite3_close_v2(db_);
}

bool HistoryDatabase::fail(const std::string& what) {
    error_ = what;
    busy_ = false;
    if (db_ != nullptr) {
        error_ += std::string(": ") + sqlite3_errmsg(db_);
        busy_ = busyCode(sqlite3_extended_errcode(db_));
    }
    return false;
}

bool HistoryDatabase::exec(const char* sql) {
    char* message = nullptr;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, &message);
    if (rc != SQLITE_OK) {
        error_ = message != nullptr ? message : sqlite3_errmsg(db_);
        busy_ = busyCode(rc);
        sqlite3_free(message);
        return false;
    }
    error_.clear();
    busy_ = false;
    return true;
}

bool HistoryDatabase::checkVersion(int& version) {
    Statement read(db_, "PRAGMA user_version");
    if (!read.prepared() || read.step() != SQLITE_ROW) {
        return fail("cannot read the schema version");
    }
    version = static_cast<int>(read.integer(0));
    version_ = version;
    if (version > kSchemaVersion) {
        error_ = "the history database has schema version " + std::to_string(version) +
                 ", newer than this program's " + std::to_string(kSchemaVersion);
        return false;
    }
    error_.clear();
    return true;
}

bool HistoryDatabase::createSchema() {
    // Several processes may open a new file at once: the one that gets the write lock first
    // creates the tables, the others find them made.
    if (!exec("BEGIN IMMEDIATE")) {
        return false;
    }
    int version = 0;
    bool ok = checkVersion(version);
    if (ok && version == 0) {
        ok = createVersion1();
        version = 1;
    }
    if (ok && version == 1) {
        ok = upgradeFrom1To2();
        version = 2;
    }
    if (ok && version == 2) {
        ok = upgradeFrom2To3();
        version = 3;
    }
    if (ok && version == 3) {
        ok = upgradeFrom3To4();
        version = 4;
    }
    if (ok && version == 4) {
        ok = upgradeFrom4To5();
        version = 5;
    }
    if (!endTransaction(ok, nullptr)) {
        return false;
    }
    version_ = version;
    return true;
}

bool HistoryDatabase::createVersion1() {
    return exec(kSchemaVersion1);
}

// The user who asked for each transfer (rows already there keep what can be known of it),
// the revisions of the programs and the hash chain.
bool HistoryDatabase::upgradeFrom1To2() {
    const std::string sql = std::string(
                                "ALTER TABLE transfers ADD COLUMN user TEXT NOT NULL "
                                "DEFAULT '';"
                                "UPDATE transfers SET user = ") +
                            kUserBeforeVersion2 +
                            ";"
                            "PRAGMA user_version = 2;";
    return exec(sql.c_str()) && exec(kRevisionsAndChain);
}

// Every record carries the plant site that wrote it, and the chains are per site. The records
// already there are this site's; their seals stay as they were made, without the site (the
// chain's "sited" says where the seals with the site begin).
bool HistoryDatabase::upgradeFrom2To3() {
    bool ok = true;
    for (const char* table : {"transfers", "revisions", "revision_states"}) {
        const std::string t = table;
        ok = ok &&
             exec(("ALTER TABLE " + t + " ADD COLUMN site TEXT NOT NULL DEFAULT ''").c_str()) &&
             runWithText(("UPDATE " + t + " SET site = ?1").c_str(), site_);
    }
    return ok && exec(kSitesAndTheirChains);
}

bool HistoryDatabase::upgradeFrom3To4() {
    return exec(kHeartbeats);
}

bool HistoryDatabase::upgradeFrom4To5() {
    return exec(kDecisionRequests);
}

bool HistoryDatabase::endTransaction(bool ok, const char* failure) {
    if (ok) {
        return exec("COMMIT");
    }
    if (failure != nullptr) {
        fail(failure);
    }
    const std::string why = error_;  // the rollback must not hide the cause
    const bool busy = busy_;
    exec("ROLLBACK");
    error_ = why;
    busy_ = busy;
    return false;
}

bool HistoryDatabase::runWithText(const char* sql, std::string_view text) {
    Statement statement(db_, sql);
    if (!statement.prepared()) {
        return false;
    }
    statement.bind(1, text);
    return statement.step() == SQLITE_DONE;
}

bool HistoryDatabase::add(const PreparedRecord& prepared, bool keepProgram) {
    if (!writable_ && (db_ == nullptr || !opensForWriting_ || !prepareForWriting())) {
        return false;  // error() says why
    }
    const TransferRecord& r = prepared.record;
    if (!exec("BEGIN IMMEDIATE")) {
        return false;
    }
    const std::string time = isoUtc(r.time);
    notice_.reset();
    if (r.deletion) {  // no transfer: only the revision
        const bool removed = writeRevisionOf(prepared);
        if (!endTransaction(removed, "cannot record the removal")) {
            notice_.reset();
            return false;
        }
        return true;
    }
    bool written = false;
    {
        Statement insert(
            db_,
            "INSERT INTO transfers(time, subnet, caption, unit, direction, "
            "started_by, name, path, size, sha256, stored, outcome, error, user, site) "
            "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12, ?13, ?14, "
            "?15)");
        if (insert.prepared()) {
            insert.bind(1, time);
            insert.bind(2, std::int64_t{r.subNet});
            insert.bind(3, r.caption);
            insert.bind(4, std::int64_t{r.unit});
            insert.bind(5, toText(r.direction));
            insert.bind(6, toText(r.startedBy));
            insert.bind(7, r.name);
            insert.bind(8, r.path);
            if (prepared.size) {
                insert.bind(9, *prepared.size);
                insert.bind(10, *prepared.sha256);
            } else {
                insert.bindNull(9);
                insert.bindNull(10);
            }
            insert.bind(11, std::int64_t{r.stored ? 1 : 0});
            insert.bind(12, toText(r.outcome));
            insert.bind(13, r.error);
            insert.bind(14, r.user);
            insert.bind(15, site_);
            written = insert.step() == SQLITE_DONE;
        }
    }
    const std::int64_t transfer = sqlite3_last_insert_rowid(db_);
    written = written && seal("transfers", transfer);
    if (written && keepProgram && r.content) {
        written = keepContent(*prepared.sha256, *r.content, time);
    }
    notice_.reset();
    written = written && writeRevisionOf(prepared);
    if (!endTransaction(written, "cannot write the transfer")) {
        notice_.reset();
        return false;
    }
    return true;
}

bool HistoryDatabase::keepContent(const std::string& sha256, const std::string& content,
                                  const std::string& time) {
    Statement keep(db_,
                   "INSERT INTO programs(sha256, size, content, kept, last_sent) "
                   "VALUES(?1, ?2, ?3, ?4, ?4) "
                   "ON CONFLICT(sha256) DO UPDATE SET last_sent = excluded.last_sent");
    if (!keep.prepared()) {
        return false;
    }
    keep.bind(1, sha256);
    keep.bind(2, static_cast<std::int64_t>(content.size()));
    keep.bindBlob(3, content);
    keep.bind(4, time);
    return keep.step() == SQLITE_DONE;
}

bool HistoryDatabase::applyRetention(const Retention& retention,
                                     std::chrono::system_clock::time_point now) {
    if (!writable_ || (retention.days <= 0 && retention.megabytes <= 0)) {
        return writable_;
    }
    if (!exec("BEGIN IMMEDIATE")) {
        return false;
    }
    bool ok = true;
    if (retention.days > 0) {
        ok = runWithText(
            "DELETE FROM programs WHERE last_sent < ?1 AND "
            "NOT EXISTS(SELECT 1 FROM revisions r WHERE r.sha256 = programs.sha256 "
            "AND r.state IN ('released', 'pending'))",
            isoUtc(now - std::chrono::hours(24) * retention.days));
    }
    if (ok && retention.megabytes > 0) {
        // Newest first: the programs beyond the limit are those sent longest ago.
        const std::int64_t limit = retention.megabytes * 1024 * 1024;
        std::vector<std::string> beyond;
        {
            // Released and pending revisions count against the limit but never go.
            Statement all(db_,
                          "SELECT sha256, size, NOT EXISTS(SELECT 1 FROM revisions r "
                          "WHERE r.sha256 = programs.sha256 AND r.state IN ('released', "
                          "'pending')) FROM programs "
                          "ORDER BY last_sent DESC");
            ok = all.prepared();
            std::int64_t total = 0;
            int rc = SQLITE_ROW;
            while (ok && (rc = all.step()) == SQLITE_ROW) {
                total += all.integer(1);
                if (total > limit && all.integer(2) != 0) {
                    beyond.push_back(all.text(0));
                }
            }
            ok = ok && rc == SQLITE_DONE;
        }
        for (std::size_t i = 0; ok && i < beyond.size(); ++i) {
            ok = runWithText("DELETE FROM programs WHERE sha256 = ?1", beyond[i]);
        }
    }
    return endTransaction(ok, "cannot apply the retention");
}

std::optional<std::vector<HistoryRow>> HistoryDatabase::query(const HistoryFilter& filter) {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    std::vector<HistoryRow> rows;
    if (empty_) {
        return rows;
    }
    // A database of an older version opened for reading is not upgraded: its users are
    // derived as the upgrade would.
    std::string sql =
        "SELECT t.id, t.time, t.subnet, t.caption, t.unit, t.direction, t.started_by, t.name, "
        "t.path, t.size, t.sha256, t.stored, t.outcome, t.error, "
        "EXISTS(SELECT 1 FROM programs p WHERE p.sha256 = t.sha256), " +
        std::string(version_ >= 2 ? "t.user" : kUserBeforeVersion2) +
        (version_ >= 3 ? ", t.site" : ", ''") + " FROM transfers t WHERE 1";
    if (filter.subNet) {
        sql += " AND t.subnet = ?1";
    }
    if (filter.unit) {
        sql += " AND t.unit = ?2";
    }
    if (!filter.nameContains.empty()) {
        sql += " AND instr(lower(t.name), ?3) > 0";
    }
    if (!filter.since.empty()) {
        sql += " AND t.time >= ?4";
    }
    if (!filter.until.empty()) {
        sql += " AND t.time <= ?5";
    }
    if (!filter.site.empty()) {
        sql += version_ >= 3 ? " AND t.site = ?7" : " AND 0";
    }
    sql += " ORDER BY t.time DESC, t.id DESC";
    if (filter.limit > 0) {
        sql += " LIMIT ?6";
    } else if (filter.offset > 0) {
        sql += " LIMIT -1";
    }
    if (filter.offset > 0) {
        sql += " OFFSET ?8";
    }
    Statement select(db_, sql.c_str());
    if (!select.prepared()) {
        fail("cannot read the history");
        return std::nullopt;
    }
    if (filter.subNet) {
        select.bind(1, std::int64_t{*filter.subNet});
    }
    if (filter.unit) {
        select.bind(2, std::int64_t{*filter.unit});
    }
    select.bind(3, lowered(filter.nameContains));
    select.bind(4, filter.since);
    select.bind(5, filter.until);
    select.bind(6, std::int64_t{filter.limit});
    select.bind(7, filter.site);
    select.bind(8, std::int64_t{filter.offset});
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW) {
        HistoryRow row;
        row.id = select.integer(0);
        row.time = select.text(1);
        row.subNet = static_cast<int>(select.integer(2));
        row.caption = select.text(3);
        row.unit = static_cast<int>(select.integer(4));
        row.direction = directionFromText(select.text(5)).value_or(Direction::ToUnit);
        row.startedBy = startedByFromText(select.text(6)).value_or(StartedBy::Unit);
        row.name = select.text(7);
        row.path = select.text(8);
        if (!select.isNull(9)) {
            row.size = select.integer(9);
        }
        if (!select.isNull(10)) {
            row.sha256 = select.text(10);
        }
        row.stored = select.integer(11) != 0;
        row.outcome = outcomeFromText(select.text(12)).value_or(Outcome::Failed);
        row.error = select.text(13);
        row.kept = select.integer(14) != 0;
        row.user = select.text(15);
        row.site = select.text(16);
        rows.push_back(std::move(row));
    }
    if (rc != SQLITE_DONE) {
        fail("cannot read the history");
        return std::nullopt;
    }
    return rows;
}

std::optional<SiteCounts> HistoryDatabase::transferCounts(const std::string& since) {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    SiteCounts counts;
    if (empty_) {
        return counts;
    }
    // The time index bounds the scan to the rows asked for.
    Statement select(db_, version_ >= 3 ? "SELECT site, COUNT(*) FROM transfers "
                                          "INDEXED BY transfers_by_time WHERE time >= ?1 "
                                          "GROUP BY site"
                                        : "SELECT '', COUNT(*) FROM transfers "
                                          "INDEXED BY transfers_by_time WHERE time >= ?1");
    if (!select.prepared()) {
        fail("cannot read the history");
        return std::nullopt;
    }
    select.bind(1, since);
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW) {
        if (select.integer(1) > 0) {
            counts[select.text(0)] = select.integer(1);
        }
    }
    if (rc != SQLITE_DONE) {
        fail("cannot read the history");
        return std::nullopt;
    }
    return counts;
}

std::optional<std::string> HistoryDatabase::program(const std::string& hash) {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    const auto given = hashPrefix(hash, error_);
    if (!given) {
        return std::nullopt;
    }
    const std::string& prefix = *given;
    if (empty_) {
        error_ = "no program kept with SHA-256 " + prefix;
        return std::nullopt;
    }
    Statement select(db_,
                     "SELECT content FROM programs WHERE substr(sha256, 1, length(?1)) = ?1 "
                     "LIMIT 2");
    if (!select.prepared()) {
        fail("cannot read the kept programs");
        return std::nullopt;
    }
    select.bind(1, prefix);
    if (select.step() != SQLITE_ROW) {
        error_ = "no program kept with SHA-256 " + prefix;
        return std::nullopt;
    }
    std::string content = select.blob(0);
    if (select.step() == SQLITE_ROW) {
        error_ = "several kept programs begin with " + prefix + ": give more digits";
        return std::nullopt;
    }
    error_.clear();
    return content;
}

std::optional<std::int64_t> HistoryDatabase::keptBytes() {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    if (empty_) {
        return 0;
    }
    Statement sum(db_, "SELECT COALESCE(SUM(size), 0) FROM programs");
    if (!sum.prepared() || sum.step() != SQLITE_ROW) {
        fail("cannot read the kept programs");
        return std::nullopt;
    }
    return sum.integer(0);
}

}  // namespace dnc::history
