// The history store on a PostgreSQL server, shared by the DNC PCs of a plant: the same records,
// kept programs, revisions and chains as the SQLite file, each record with the site that wrote
// it and one chain per site. Writers of one site take turns (a lock on the server per site),
// so two processes never seal onto the same chain head. The program creates and upgrades its
// schema itself; credentials come from the URI, ~/.pgpass or the environment, as libpq reads
// them, and the password never appears in a message.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dnc/history/HistoryStore.h"

struct pg_conn;
struct pg_result;

namespace dnc::history {

inline constexpr int kServerSchemaVersion = 3;

class PostgresHistory : public HistoryStore {
public:
    PostgresHistory(const std::string& uri, Access access, std::string site);
    ~PostgresHistory() override;
    PostgresHistory(const PostgresHistory&) = delete;
    PostgresHistory& operator=(const PostgresHistory&) = delete;

    bool add(const PreparedRecord& prepared, bool keepProgram) override;
    bool addOnce(const PreparedRecord& prepared, bool keepProgram,
                 const std::string& origin) override;
    ActionResult apply(const RevisionAction& action) override;
    std::optional<std::vector<RevisionRow>> revisions(const RevisionFilter& filter) override;
    std::optional<RevisionRow> revision(std::int64_t id) override;
    std::optional<RevisionRow> released(int subNet, int unit, const std::string& name,
                                        const std::string& site) override;
    std::optional<ChainCheck> verifyChain() override;
    bool applyRetention(const Retention& retention,
                        std::chrono::system_clock::time_point now) override;
    std::optional<std::vector<HistoryRow>> query(const HistoryFilter& filter) override;
    std::optional<SiteCounts> transferCounts(const std::string& since) override;
    std::optional<std::string> program(const std::string& hash) override;
    std::optional<std::int64_t> keptBytes() override;
    std::optional<std::int64_t> fileRequest(const DecisionRequest& request) override;
    std::optional<std::vector<DecisionRequest>> requests(const RequestFilter& filter) override;
    bool settleRequest(std::int64_t id, bool done, const std::string& result,
                       std::int64_t timeUs) override;
    bool writeHeartbeat(const Heartbeat& beat) override;
    std::optional<std::vector<Heartbeat>> heartbeats() override;

    // A statement's parameters, as text (nullopt: NULL) or as bytes.
    struct Parameter {
        std::optional<std::string> value;
        bool binary = false;
    };
    using Row = std::vector<Parameter>;
    // Hands the rows of `table` (its `columns`, in that order) to `put`, which says whether the
    // row was taken; false when the rows could not be read.
    using RowSource = std::function<bool(const std::string& table, const std::string& columns,
                                         const std::function<bool(const Row&)>& put)>;
    struct ChainStart {
        std::string table;
        std::int64_t first = 1;
        std::int64_t sited = 1;
    };
    // Takes over a whole history into this one, which must hold no records yet: every record
    // with its id, site and seal, every kept program, where the chains begin. The chains are
    // walked before anything is kept; nothing is kept unless all of it is. The walk's result
    // (with the records counted), or nullopt with error().
    std::optional<ChainCheck> takeOver(const RowSource& source,
                                       const std::vector<ChainStart>& starts);

private:
    class Result;
    Result run(const std::string& sql, const std::vector<Parameter>& parameters,
               bool binaryResult = false);
    // Runs a statement that returns no rows; false with error() on failure.
    bool command(const std::string& sql, const std::vector<Parameter>& parameters = {});
    bool fail(const std::string& what, const pg_result* result);
    bool connected();
    bool createSchema();
    bool readVersion(int& version);
    bool begin();
    bool endTransaction(bool ok, const char* failure);
    bool lockAll();
    bool lockSite();
    bool seal(const char* table, std::int64_t id);
    const std::string& writingSite() const override { return site_; }
    bool keepContent(const std::string& sha256, const std::string& content,
                     const std::string& time) override;
    std::int64_t insertRevision(const RevisionRow& row) override;
    bool addState(std::int64_t revision, revisions::State state, const std::string& user,
                  std::int64_t timeUs) override;
    // Walks every chain within the transaction the caller holds.
    bool walkChains(ChainCheck& check);
    bool checkChainOf(const char* table, ChainCheck& check);
    bool checkStates(ChainCheck& check);
    bool checkRequestStates(ChainCheck& check);
    bool writeRequest(const DecisionRequest& request, std::int64_t& id);
    bool writeSettlement(std::int64_t id, bool done, const std::string& result,
                         std::int64_t timeUs);
    std::optional<std::vector<DecisionRequest>> selectRequests(const std::string& where,
                                                               const std::vector<Parameter>& p);
    std::optional<std::vector<RevisionRow>> selectRevisions(const std::string& where,
                                                            const std::vector<Parameter>& p);

    pg_conn* conn_ = nullptr;
    std::string site_;
    std::string shown_;     // the URI as messages show it
    std::string password_;  // taken out of every message
    bool empty_ = false;    // a server without the schema, opened for reading
    int version_ = 0;       // the schema version found on the server
    bool writable_ = false;
    std::optional<std::string> origin_;  // of the record add writes, when it was spooled
    bool opensForWriting_ = false;
};

}  // namespace dnc::history
