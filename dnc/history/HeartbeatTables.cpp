// The heartbeats in the history database: one row per site and its sub nets, replaced by each
// beat.
#include <sqlite3.h>

#include <map>

#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/SqliteStatement.h"

namespace dnc::history {

namespace {

std::chrono::system_clock::time_point fromMicroseconds(std::int64_t us) {
    return std::chrono::system_clock::time_point(
        std::chrono::duration_cast<std::chrono::system_clock::duration>(
            std::chrono::microseconds(us)));
}

}  // namespace

bool HistoryDatabase::writeHeartbeat(const Heartbeat& beat) {
    if (!writable_ && (db_ == nullptr || !opensForWriting_ || !prepareForWriting())) {
        return false;
    }
    if (!exec("BEGIN IMMEDIATE")) {
        return false;
    }
    const std::string site = beat.site.empty() ? site_ : beat.site;
    bool ok = false;
    {
        Statement head(db_,
                       "INSERT INTO heartbeats(site, time, pending) VALUES(?1, ?2, ?3) "
                       "ON CONFLICT(site) DO UPDATE SET time = excluded.time, "
                       "pending = excluded.pending");
        Statement clear(db_, "DELETE FROM heartbeat_subnets WHERE site = ?1");
        if (head.prepared() && clear.prepared()) {
            head.bind(1, site);
            head.bind(2, microseconds(beat.time));
            head.bind(3, static_cast<std::int64_t>(beat.pending));
            clear.bind(1, site);
            ok = head.step() == SQLITE_DONE && clear.step() == SQLITE_DONE;
        }
    }
    for (const SubNetBeat& subNet : beat.subNets) {
        if (!ok) {
            break;
        }
        Statement insert(db_,
                         "INSERT INTO heartbeat_subnets(site, subnet, caption, state, error) "
                         "VALUES(?1, ?2, ?3, ?4, ?5)");
        ok = insert.prepared();
        if (ok) {
            insert.bind(1, site);
            insert.bind(2, static_cast<std::int64_t>(subNet.subNet));
            insert.bind(3, subNet.caption);
            insert.bind(4, subNet.state);
            insert.bind(5, subNet.error);
            ok = insert.step() == SQLITE_DONE;
        }
    }
    return endTransaction(ok, "cannot write the heartbeat");
}

std::optional<std::vector<Heartbeat>> HistoryDatabase::heartbeats() {
    if (db_ == nullptr) {
        return std::nullopt;
    }
    std::vector<Heartbeat> beats;
    if (empty_ || version_ < 4) {
        return beats;  // written before services told their state
    }
    std::map<std::string, std::size_t> bySite;
    {
        Statement heads(db_, "SELECT site, time, pending FROM heartbeats ORDER BY site");
        if (!heads.prepared()) {
            fail("cannot read the heartbeats");
            return std::nullopt;
        }
        int rc = SQLITE_ROW;
        while ((rc = heads.step()) == SQLITE_ROW) {
            Heartbeat beat;
            beat.site = heads.text(0);
            beat.time = fromMicroseconds(heads.integer(1));
            beat.pending = static_cast<int>(heads.integer(2));
            bySite[beat.site] = beats.size();
            beats.push_back(std::move(beat));
        }
        if (rc != SQLITE_DONE) {
            fail("cannot read the heartbeats");
            return std::nullopt;
        }
    }
    Statement subNets(db_,
                      "SELECT site, subnet, caption, state, error FROM heartbeat_subnets "
                      "ORDER BY site, subnet");
    if (!subNets.prepared()) {
        fail("cannot read the heartbeats");
        return std::nullopt;
    }
    int rc = SQLITE_ROW;
    while ((rc = subNets.step()) == SQLITE_ROW) {
        const auto found = bySite.find(subNets.text(0));
        if (found != bySite.end()) {
            beats[found->second].subNets.push_back({static_cast<int>(subNets.integer(1)),
                                                    subNets.text(2), subNets.text(3),
                                                    subNets.text(4)});
        }
    }
    if (rc != SQLITE_DONE) {
        fail("cannot read the heartbeats");
        return std::nullopt;
    }
    error_.clear();
    return beats;
}

}  // namespace dnc::history
