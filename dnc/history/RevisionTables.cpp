// The history database's revisions of programs and the hash chain over its records.
#include <sqlite3.h>

#include <cstring>
#include <limits>
#include <map>

#include "dnc/history/ChainHash.h"
#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/IsoTime.h"
#include "dnc/history/SqliteStatement.h"

namespace dnc::history {

namespace {

using revisions::Action;
using revisions::Source;
using revisions::State;

// A database of the second schema opened for reading has no sites.
std::string revisionColumns(int version) {
    return std::string(
               "SELECT id, subnet, unit, name, path, state, source, size, time, sha256, "
               "user, note, ") +
           (version >= 3 ? "site" : "''") + " FROM revisions";
}

RevisionRow readRevision(const Statement& s) {
    RevisionRow row;
    row.id = s.integer(0);
    row.subNet = static_cast<int>(s.integer(1));
    row.unit = static_cast<int>(s.integer(2));
    row.name = s.text(3);
    row.path = s.text(4);
    row.state = revisions::stateFromText(s.text(5)).value_or(State::Rejected);
    row.source = revisions::sourceFromText(s.text(6)).value_or(Source::Unit);
    row.size = s.integer(7);
    row.timeUs = s.integer(8);
    row.sha256 = s.text(9);
    row.user = s.text(10);
    row.note = s.text(11);
    row.site = s.text(12);
    return row;
}

const char* sealedColumns(const char* table) {
    for (const ChainedTable& t : kChainedTables) {
        if (std::strcmp(t.name, table) == 0) {
            return t.sealed;
        }
    }
    return "id";
}

// The sealed fields of `row`, which holds the sealed columns in their order and, with `sited`,
// the site after them.
ChainFields fieldsOf(const Statement& row, int sealedCount) {
    ChainFields fields;
    for (int c = 0; c < sealedCount; ++c) {
        switch (row.type(c)) {
            case SQLITE_NULL:
                fields.null();
                break;
            case SQLITE_INTEGER:
                fields.number(row.integer(c));
                break;
            case SQLITE_BLOB:
                fields.blob(row.blob(c));
                break;
            default:
                fields.text(row.text(c));
                break;
        }
    }
    return fields;
}

int countColumns(const char* list) {
    int n = 1;
    for (const char* p = list; *p != '\0'; ++p) {
        n += *p == ',' ? 1 : 0;
    }
    return n;
}

}  // namespace

bool HistoryDatabase::seal(const char* table, std::int64_t id) {
    std::string previous;
    {
        const std::string sql = std::string("SELECT chain FROM ") + table +
                                " WHERE id < ?1 AND chain IS NOT NULL AND site = ?2 "
                                "ORDER BY id DESC LIMIT 1";
        Statement before(db_, sql.c_str());
        if (!before.prepared()) {
            return false;
        }
        before.bind(1, id);
        before.bind(2, site_);
        if (before.step() == SQLITE_ROW) {
            previous = before.text(0);
        }
    }
    std::string chain;
    {
        const std::string sql = std::string("SELECT ") + sealedColumns(table) + ", site FROM " +
                                table + " WHERE id = ?1";
        Statement row(db_, sql.c_str());
        if (!row.prepared()) {
            return false;
        }
        row.bind(1, id);
        if (row.step() != SQLITE_ROW) {
            return false;
        }
        chain = fieldsOf(row, row.columns()).seal(previous);
    }
    const std::string sql = std::string("UPDATE ") + table + " SET chain = ?1 WHERE id = ?2";
    Statement update(db_, sql.c_str());
    if (!update.prepared()) {
        return false;
    }
    update.bind(1, chain);
    update.bind(2, id);
    return update.step() == SQLITE_DONE;
}

std::int64_t HistoryDatabase::insertRevision(const RevisionRow& row) {
    {
        Statement insert(db_,
                         "INSERT INTO revisions(time, subnet, unit, name, path, source, sha256, "
                         "size, user, note, state, site) "
                         "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, ?9, ?10, ?11, ?12)");
        if (!insert.prepared()) {
            return 0;
        }
        insert.bind(1, row.timeUs);
        insert.bind(2, std::int64_t{row.subNet});
        insert.bind(3, std::int64_t{row.unit});
        insert.bind(4, row.name);
        insert.bind(5, row.path);
        insert.bind(6, revisions::toText(row.source));
        insert.bind(7, row.sha256);
        insert.bind(8, row.size);
        insert.bind(9, row.user);
        insert.bind(10, row.note);
        insert.bind(11, revisions::toText(row.state));
        insert.bind(12, site_);
        if (insert.step() != SQLITE_DONE) {
            return 0;
        }
    }
    const std::int64_t id = sqlite3_last_insert_rowid(db_);
    if (!seal("revisions", id) || !addState(id, row.state, row.user, row.timeUs)) {
        return 0;
    }
    return id;
}

bool HistoryDatabase::addState(std::int64_t revision, State state, const std::string& user,
                               std::int64_t timeUs) {
    {
        Statement insert(db_,
                         "INSERT INTO revision_states(revision, time, state, user, site) "
                         "VALUES(?1, ?2, ?3, ?4, ?5)");
        if (!insert.prepared()) {
            return false;
        }
        insert.bind(1, revision);
        insert.bind(2, timeUs);
        insert.bind(3, revisions::toText(state));
        insert.bind(4, user);
        insert.bind(5, site_);
        if (insert.step() != SQLITE_DONE) {
            return false;
        }
    }
    if (!seal("revision_states", sqlite3_last_insert_rowid(db_))) {
        return false;
    }
    Statement update(db_, "UPDATE revisions SET state = ?1 WHERE id = ?2");
    if (!update.prepared()) {
        return false;
    }
    update.bind(1, revisions::toText(state));
    update.bind(2, revision);
    return update.step() == SQLITE_DONE;
}

ActionResult HistoryDatabase::apply(const RevisionAction& action) {
    ActionResult result;
    if (!writable_ && (db_ == nullptr || !opensForWriting_ || !prepareForWriting())) {
        result.error = error_;
        return result;
    }
    if (!exec("BEGIN IMMEDIATE")) {
        result.error = error_;
        return result;
    }
    const std::optional<RevisionRow> target = revision(action.id);
    bool refused = false;
    bool ok = writeAction(action, target, result, refused);
    if (ok && action.request != 0 && !writeSettlement(action.request, true, "", action.timeUs)) {
        ok = false;
        refused = true;  // error() says why
    }
    result.ok = endTransaction(ok, refused ? nullptr : "cannot record the revision's change");
    if (!result.ok) {
        result.error = error_;
    }
    return result;
}

std::optional<std::vector<RevisionRow>> HistoryDatabase::revisions(const RevisionFilter& filter) {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    std::vector<RevisionRow> rows;
    if (empty_ || version_ < 2) {
        return rows;
    }
    std::string sql = revisionColumns(version_) + " WHERE 1";
    if (filter.subNet) {
        sql += " AND subnet = ?1";
    }
    if (filter.unit) {
        sql += " AND unit = ?2";
    }
    if (!filter.name.empty()) {
        sql += " AND name = ?3";
    }
    if (filter.state) {
        sql += " AND state = ?4";
    }
    if (!filter.site.empty()) {
        sql += version_ >= 3 ? " AND site = ?5" : " AND 0";
    }
    sql += " ORDER BY id DESC";
    Statement select(db_, sql.c_str());
    if (!select.prepared()) {
        fail("cannot read the revisions");
        return std::nullopt;
    }
    select.bind(1, std::int64_t{filter.subNet.value_or(0)});
    select.bind(2, std::int64_t{filter.unit.value_or(0)});
    select.bind(3, filter.name);
    select.bind(4, filter.state ? revisions::toText(*filter.state) : std::string_view());
    select.bind(5, filter.site);
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW) {
        rows.push_back(readRevision(select));
    }
    if (rc != SQLITE_DONE) {
        fail("cannot read the revisions");
        return std::nullopt;
    }
    error_.clear();
    return rows;
}

std::optional<RevisionRow> HistoryDatabase::revision(std::int64_t id) {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    if (!empty_ && version_ >= 2) {
        const std::string sql = revisionColumns(version_) + " WHERE id = ?1";
        Statement select(db_, sql.c_str());
        if (!select.prepared()) {
            fail("cannot read the revisions");
            return std::nullopt;
        }
        select.bind(1, id);
        if (select.step() == SQLITE_ROW) {
            error_.clear();
            return readRevision(select);
        }
    }
    error_ = "there is no revision " + std::to_string(id);
    return std::nullopt;
}

std::optional<RevisionRow> HistoryDatabase::released(int subNet, int unit, const std::string& name,
                                                     const std::string& site) {
    error_.clear();
    if (db_ == nullptr || empty_ || version_ < 2) {
        return std::nullopt;
    }
    // A file of the schema before sites holds one PC's revisions.
    const std::string sql =
        revisionColumns(version_) + " WHERE subnet = ?1 AND unit = ?2 AND name = ?3 AND " +
        (version_ >= 3 ? "site = ?4 AND " : "") + "state = 'released' ORDER BY id DESC LIMIT 1";
    Statement select(db_, sql.c_str());
    if (!select.prepared()) {
        fail("cannot read the revisions");
        return std::nullopt;
    }
    select.bind(1, std::int64_t{subNet});
    select.bind(2, std::int64_t{unit});
    select.bind(3, name);
    if (version_ >= 3) {
        select.bind(4, site);
    }
    if (select.step() == SQLITE_ROW) {
        return readRevision(select);
    }
    return std::nullopt;
}

std::optional<ChainCheck> HistoryDatabase::verifyChain() {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    ChainCheck check;
    if (empty_ || version_ < 2) {
        return check;  // nothing sealed yet
    }
    int walked = 0;
    for (const ChainedTable& t : kChainedTables) {
        const char* table = t.name;
        if (version_ < 5 && walked++ >= kChainedBeforeRequests) {
            break;  // an older file opened for reading has no requests
        }
        if (!checkChainOf(table, check)) {
            return std::nullopt;
        }
        if (!check.intact) {
            return check;
        }
    }
    if (!checkStates(check)) {
        return std::nullopt;
    }
    if (check.intact && version_ >= 5 && !checkRequestStates(check)) {
        return std::nullopt;
    }
    return check;
}

bool HistoryDatabase::checkChainOf(const char* table, ChainCheck& check) {
    std::int64_t first = 1;
    std::int64_t sited = 1;
    {
        const std::string sql = std::string("SELECT first, ") + (version_ >= 3 ? "sited" : "NULL") +
                                " FROM chain_start WHERE tbl = ?1";
        Statement start(db_, sql.c_str());
        if (!start.prepared()) {
            return fail("cannot read the chain");
        }
        start.bind(1, std::string_view(table));
        if (start.step() != SQLITE_ROW) {
            check = {false, table, 0, "the start of the chain is missing", check.records};
            return true;
        }
        first = start.integer(0);
        sited = start.isNull(1) ? std::numeric_limits<std::int64_t>::max() : start.integer(1);
    }
    const int sealedCount = countColumns(sealedColumns(table));
    const std::string sql = std::string("SELECT ") + sealedColumns(table) + ", " +
                            (version_ >= 3 ? "site" : "''") + ", chain FROM " + table +
                            " ORDER BY id";
    Statement rows(db_, sql.c_str());
    if (!rows.prepared()) {
        return fail(std::string("cannot read ") + table);
    }
    std::map<std::string, std::string> previous;  // each site's chain
    std::int64_t expected = first;
    int rc = SQLITE_ROW;
    while ((rc = rows.step()) == SQLITE_ROW) {
        const std::int64_t id = rows.integer(0);
        if (id < first) {
            continue;  // written before the chain began
        }
        ++check.records;
        auto broken = [&](std::int64_t at, std::string reason) {
            check.intact = false;
            check.table = table;
            check.id = at;
            check.reason = std::move(reason);
        };
        if (id != expected) {
            broken(expected, id > expected ? "the record is missing" : "a record is out of order");
            return true;
        }
        // Records sealed before sites were recorded have their seal without the site.
        const std::string site = rows.text(sealedCount);
        const std::string stored = rows.text(sealedCount + 1);
        std::string& before = previous[site];
        if (fieldsOf(rows, id >= sited ? sealedCount + 1 : sealedCount).seal(before) != stored) {
            broken(id, kSealMismatch);
            return true;
        }
        before = stored;
        ++expected;
    }
    return rc == SQLITE_DONE || fail(std::string("cannot read ") + table);
}

bool HistoryDatabase::checkStates(ChainCheck& check) {
    // A revision's state is the last of its sealed state records.
    Statement states(db_,
                     "SELECT r.id, r.state, (SELECT s.state FROM revision_states s "
                     "WHERE s.revision = r.id ORDER BY s.id DESC LIMIT 1) FROM revisions r "
                     "ORDER BY r.id");
    if (!states.prepared()) {
        return fail("cannot read the revisions");
    }
    int rc = SQLITE_ROW;
    while ((rc = states.step()) == SQLITE_ROW) {
        if (states.isNull(2) || states.text(1) != states.text(2)) {
            check.intact = false;
            check.table = "revisions";
            check.id = states.integer(0);
            check.reason = "its state \"" + states.text(1) + "\" is not the last one recorded";
            return true;
        }
    }
    return rc == SQLITE_DONE || fail("cannot read the revisions");
}

}  // namespace dnc::history
