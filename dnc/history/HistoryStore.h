// The history's store: one row per ended transfer, the programs kept once by their SHA-256, the
// revisions of the programs in the unit directories and the hash chains over every record. An
// embedded SQLite file by default; a PostgreSQL server when several PCs share one history. A
// store belongs to one thread.
#pragma once

#include <chrono>
#include <cstdint>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "dnc/history/Heartbeat.h"
#include "dnc/history/Revisions.h"
#include "dnc/history/TransferRecord.h"

namespace dnc::history {

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
    std::string site;   // the plant site that recorded it ("" before sites were recorded)
};

// Which rows a query returns, newest first. Empty fields do not filter.
struct HistoryFilter {
    std::optional<int> subNet;
    std::optional<int> unit;
    std::string nameContains;  // regardless of letter case (ASCII)
    std::string since;         // stored-form times, inclusive
    std::string until;
    std::string site;  // exactly
    int limit = 0;     // 0: all
    int offset = 0;    // rows passed over before the first returned (a page's start)
};

// How many transfers each site recorded, by site.
using SiteCounts = std::map<std::string, std::int64_t>;

// How long kept programs stay: a program not sent for `days` days goes, and beyond
// `megabytes` the programs sent longest ago go first. 0: no limit.
struct Retention {
    int days = 0;
    std::int64_t megabytes = 0;
};

class HistoryStore {
public:
    enum class Access { Write, Read };

    virtual ~HistoryStore() = default;

    // Whether the store could be opened; error() says why not.
    bool ok() const { return error_.empty(); }
    // Why the last operation failed.
    const std::string& error() const { return error_; }
    // The last operation failed because another connection held the store: it passes.
    bool busy() const { return busy_; }

    // Writes the row and, with keepProgram, keeps its content under its hash. A record that
    // changed a program in a unit directory, or holds one for approval, also makes a revision
    // (see takeRevisionNotice).
    virtual bool add(const PreparedRecord& prepared, bool keepProgram) = 0;
    // As add, for a record kept in a spool meanwhile: a server writes each `origin` of this
    // site once, in the record's own transaction, and takes an origin it has already written
    // as written. A file, written only where it lies, just adds.
    virtual bool addOnce(const PreparedRecord& prepared, bool keepProgram,
                         const std::string& origin) {
        (void)origin;
        return add(prepared, keepProgram);
    }
    // The revision the last add made, once.
    std::optional<RevisionNotice> takeRevisionNotice() {
        std::optional<RevisionNotice> notice = std::move(notice_);
        notice_.reset();
        return notice;
    }

    // Records an operator's accept, reject or restore (see RevisionAction).
    virtual ActionResult apply(const RevisionAction& action) = 0;
    virtual std::optional<std::vector<RevisionRow>> revisions(const RevisionFilter& filter) = 0;
    // nullopt with error() when there is no revision `id`.
    virtual std::optional<RevisionRow> revision(std::int64_t id) = 0;
    // The released revision of a program of site `site`, if it has one (nullopt and an empty
    // error()). Sites of one plant may use the same sub net, unit and name for programs of
    // their own.
    virtual std::optional<RevisionRow> released(int subNet, int unit, const std::string& name,
                                                const std::string& site) = 0;
    // Walks the hash chains of every table that has one.
    virtual std::optional<ChainCheck> verifyChain() = 0;
    // Removes the kept programs beyond the retention; `now` is the time the days count from.
    virtual bool applyRetention(const Retention& retention,
                                std::chrono::system_clock::time_point now) = 0;

    virtual std::optional<std::vector<HistoryRow>> query(const HistoryFilter& filter) = 0;
    // The transfers of each site recorded at or after `since` (stored form). Reads through the
    // index on time: only those rows, however long the history.
    virtual std::optional<SiteCounts> transferCounts(const std::string& since) = 0;
    // The kept program whose hash is or begins with `hash` (at least 8 hexadecimal digits,
    // either case); nullopt with error() when none or several match.
    virtual std::optional<std::string> program(const std::string& hash) = 0;
    // Total bytes of the kept programs.
    virtual std::optional<std::int64_t> keptBytes() = 0;

    // Files `request` for the site owning its revision (whatever its `site` says); its id.
    // Refused (nullopt, error()) for an unknown revision, one the action cannot be taken on
    // (only a pending revision is accepted or rejected), or one with an open request already.
    virtual std::optional<std::int64_t> fileRequest(const DecisionRequest& request) = 0;
    virtual std::optional<std::vector<DecisionRequest>> requests(const RequestFilter& filter) = 0;
    // Settles open request `id` as done, or failed for `result`; false with error() when there
    // is no such request or it is settled already.
    virtual bool settleRequest(std::int64_t id, bool done, const std::string& result,
                               std::int64_t timeUs) = 0;

    // Replaces the heartbeat of the beat's site (empty: the store's own) with `beat`.
    virtual bool writeHeartbeat(const Heartbeat& beat) = 0;
    // The last heartbeat of every site, by site.
    virtual std::optional<std::vector<Heartbeat>> heartbeats() = 0;

protected:
    // The site this store's records carry.
    virtual const std::string& writingSite() const = 0;
    // The steps each store writes revisions with, inside a transaction its caller holds.
    virtual bool keepContent(const std::string& sha256, const std::string& content,
                             const std::string& time) = 0;
    // Writes a revision with its first state; its id, or 0.
    virtual std::int64_t insertRevision(const RevisionRow& row) = 0;
    virtual bool addState(std::int64_t revision, revisions::State state, const std::string& user,
                          std::int64_t timeUs) = 0;

    // The same rules on every store, built of the steps above. The revision the record makes
    // (a removal among them), if any, noted for takeRevisionNotice.
    bool writeRevisionOf(const PreparedRecord& prepared);
    // `action` on `target` (nullopt: not found, error() says why): false with error() when it
    // is refused (`refused` set) or could not be written.
    bool writeAction(const RevisionAction& action, const std::optional<RevisionRow>& target,
                     ActionResult& result, bool& refused);
    // The revision `request` may be filed on, read inside the caller's transaction; nullopt
    // with error() when it could not be read or the request is refused.
    std::optional<RevisionRow> requestTarget(const DecisionRequest& request);
    // Why request `id` (`current`, nullopt: there is none) cannot be settled by site `site`;
    // nullopt when it can.
    static std::optional<std::string> settleRefusal(std::int64_t id,
                                                    const std::optional<DecisionRequest>& current,
                                                    const std::string& site);

    std::string error_;
    bool busy_ = false;
    std::optional<RevisionNotice> notice_;

private:
    bool supersedeReleased(int subNet, int unit, const std::string& name, const std::string& user,
                           std::int64_t timeUs);
    bool writeDeletion(const PreparedRecord& prepared, RevisionRow row);
};

// Opens the store at `location`: a postgresql:// or postgres:// URI names a server, anything
// else an SQLite file. Records written carry `site` (default: the host name). Never null; see
// ok().
std::unique_ptr<HistoryStore> openHistoryStore(const std::string& location,
                                               HistoryStore::Access access,
                                               const std::string& site = {});

// The site records carry: `configured`, or the host name when it is empty.
std::string siteName(const std::string& configured);

// Microseconds since the epoch.
std::int64_t microseconds(std::chrono::system_clock::time_point time);

// The revision a transfer record makes, if it makes one; without its id and site.
std::optional<RevisionRow> revisionOf(const PreparedRecord& prepared);

// Hash prefixes a program can be asked for by: 8 to 64 hexadecimal digits. The prefix in lower
// case, or nullopt with `error` set.
std::optional<std::string> hashPrefix(const std::string& hash, std::string& error);

}  // namespace dnc::history
