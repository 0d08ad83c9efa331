// The history database's decision requests: filed by any site, settled by the owning one, both
// sealed onto the writer's chain.
#include <sqlite3.h>

#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/SqliteStatement.h"

namespace dnc::history {

namespace {

using revisions::Action;

constexpr const char* kRequestColumns =
    "SELECT id, revision, action, user, origin, owner, time, status, result, settled "
    "FROM decision_requests";

DecisionRequest readRequest(const Statement& s) {
    DecisionRequest request;
    request.id = s.integer(0);
    request.revision = s.integer(1);
    request.action = s.text(2) == "reject" ? Action::Reject : Action::Accept;
    request.user = s.text(3);
    request.from = s.text(4);
    request.site = s.text(5);
    request.timeUs = s.integer(6);
    request.status = requestStatusFromText(s.text(7)).value_or(DecisionRequest::Status::Failed);
    request.result = s.text(8);
    request.settledUs = s.integer(9);
    return request;
}

}  // namespace

std::optional<std::int64_t> HistoryDatabase::fileRequest(const DecisionRequest& request) {
    if (!writable_ && (db_ == nullptr || !opensForWriting_ || !prepareForWriting())) {
        return std::nullopt;
    }
    if (!exec("BEGIN IMMEDIATE")) {
        return std::nullopt;
    }
    std::int64_t id = 0;
    const bool ok = writeRequest(request, id);
    if (!endTransaction(ok, nullptr)) {
        return std::nullopt;
    }
    return id;
}

bool HistoryDatabase::writeRequest(const DecisionRequest& request, std::int64_t& id) {
    const std::optional<RevisionRow> target = requestTarget(request);
    if (!target) {
        return false;
    }
    {
        Statement insert(db_,
                         "INSERT INTO decision_requests(time, revision, action, user, origin, "
                         "owner, status, result, settled, site) "
                         "VALUES(?1, ?2, ?3, ?4, ?5, ?6, 'open', '', 0, ?7)");
        if (!insert.prepared()) {
            return fail("cannot file the request");
        }
        insert.bind(1, request.timeUs);
        insert.bind(2, request.revision);
        insert.bind(3, revisions::toText(request.action));
        insert.bind(4, request.user);
        insert.bind(5, request.from);
        insert.bind(6, target->site);
        insert.bind(7, site_);
        if (insert.step() != SQLITE_DONE) {
            return fail("cannot file the request");
        }
    }
    id = sqlite3_last_insert_rowid(db_);
    return seal("decision_requests", id) || fail("cannot seal the request");
}

std::optional<std::vector<DecisionRequest>> HistoryDatabase::requests(const RequestFilter& filter) {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    std::vector<DecisionRequest> rows;
    if (empty_ || version_ < 5) {
        return rows;  // written before requests were filed
    }
    std::string sql = std::string(kRequestColumns) + " WHERE 1";
    if (!filter.site.empty()) {
        sql += " AND owner = ?1";
    }
    if (filter.revision) {
        sql += " AND revision = ?2";
    }
    if (filter.openOnly) {
        sql += " AND status = 'open'";
    }
    sql += " ORDER BY id DESC";
    Statement select(db_, sql.c_str());
    if (!select.prepared()) {
        fail("cannot read the requests");
        return std::nullopt;
    }
    select.bind(1, filter.site);
    select.bind(2, filter.revision.value_or(0));
    int rc = SQLITE_ROW;
    while ((rc = select.step()) == SQLITE_ROW) {
        rows.push_back(readRequest(select));
    }
    if (rc != SQLITE_DONE) {
        fail("cannot read the requests");
        return std::nullopt;
    }
    error_.clear();
    return rows;
}

bool HistoryDatabase::settleRequest(std::int64_t id, bool done, const std::string& result,
                                    std::int64_t timeUs) {
    if (!writable_ && (db_ == nullptr || !opensForWriting_ || !prepareForWriting())) {
        return false;
    }
    if (!exec("BEGIN IMMEDIATE")) {
        return false;
    }
    return endTransaction(writeSettlement(id, done, result, timeUs), nullptr);
}

bool HistoryDatabase::writeSettlement(std::int64_t id, bool done, const std::string& result,
                                      std::int64_t timeUs) {
    std::optional<DecisionRequest> current;
    {
        const std::string sql = std::string(kRequestColumns) + " WHERE id = ?1";
        Statement select(db_, sql.c_str());
        if (!select.prepared()) {
            return fail("cannot read the requests");
        }
        select.bind(1, id);
        const int rc = select.step();
        if (rc == SQLITE_ROW) {
            current = readRequest(select);
        } else if (rc != SQLITE_DONE) {
            return fail("cannot read the requests");
        }
    }
    if (const auto refusal = settleRefusal(id, current, site_)) {
        error_ = *refusal;
        return false;
    }
    const std::string_view status =
        toText(done ? DecisionRequest::Status::Done : DecisionRequest::Status::Failed);
    const std::string why = done ? std::string() : result;
    {
        Statement insert(db_,
                         "INSERT INTO request_settlements(request, time, status, result, site) "
                         "VALUES(?1, ?2, ?3, ?4, ?5)");
        if (!insert.prepared()) {
            return fail("cannot settle the request");
        }
        insert.bind(1, id);
        insert.bind(2, timeUs);
        insert.bind(3, status);
        insert.bind(4, why);
        insert.bind(5, site_);
        if (insert.step() != SQLITE_DONE) {
            return fail("cannot settle the request");
        }
    }
    if (!seal("request_settlements", sqlite3_last_insert_rowid(db_))) {
        return fail("cannot seal the settlement");
    }
    Statement update(db_,
                     "UPDATE decision_requests SET status = ?1, result = ?2, settled = ?3 "
                     "WHERE id = ?4");
    if (!update.prepared()) {
        return fail("cannot settle the request");
    }
    update.bind(1, status);
    update.bind(2, why);
    update.bind(3, timeUs);
    update.bind(4, id);
    return update.step() == SQLITE_DONE || fail("cannot settle the request");
}

bool HistoryDatabase::checkRequestStates(ChainCheck& check) {
    // A request's status is that of its last sealed settlement, open without one.
    Statement states(db_,
                     "SELECT r.id, r.status, r.result, COALESCE((SELECT s.status FROM "
                     "request_settlements s WHERE s.request = r.id ORDER BY s.id DESC LIMIT 1), "
                     "'open'), COALESCE((SELECT s.result FROM request_settlements s WHERE "
                     "s.request = r.id ORDER BY s.id DESC LIMIT 1), '') "
                     "FROM decision_requests r ORDER BY r.id");
    if (!states.prepared()) {
        return fail("cannot read the requests");
    }
    int rc = SQLITE_ROW;
    while ((rc = states.step()) == SQLITE_ROW) {
        if (states.text(1) != states.text(3) || states.text(2) != states.text(4)) {
            check.intact = false;
            check.table = "decision_requests";
            check.id = states.integer(0);
            check.reason = "its status \"" + states.text(1) + "\" is not the last one recorded";
            return true;
        }
    }
    return rc == SQLITE_DONE || fail("cannot read the requests");
}

}  // namespace dnc::history
