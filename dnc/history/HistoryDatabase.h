// The history store in an SQLite file (WAL): the embedded default. Several processes may share
// one file; a connection belongs to one thread. The schema is described in the README.
#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dnc/history/HistoryStore.h"

struct sqlite3;

namespace dnc::history {

inline constexpr int kSchemaVersion = 5;

class HistoryDatabase : public HistoryStore {
public:
    // Opens (for Write: creates, with its folder) the database; what is written carries `site`.
    // Nothing throws; see ok().
    HistoryDatabase(const std::filesystem::path& file, Access access, std::string site);
    ~HistoryDatabase() override;
    HistoryDatabase(const HistoryDatabase&) = delete;
    HistoryDatabase& operator=(const HistoryDatabase&) = delete;

    bool add(const PreparedRecord& prepared, bool keepProgram) override;
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

private:
    bool exec(const char* sql);
    bool fail(const std::string& what);
    bool createSchema();
    // Each step of the schema brings a database of the version before to the next, in the
    // transaction that createSchema holds.
    bool createVersion1();
    bool upgradeFrom1To2();
    bool upgradeFrom2To3();
    bool upgradeFrom3To4();
    bool upgradeFrom4To5();
    bool writeRequest(const DecisionRequest& request, std::int64_t& id);
    bool writeSettlement(std::int64_t id, bool done, const std::string& result,
                         std::int64_t timeUs);
    bool prepareForWriting();
    // Commits, or rolls back keeping the cause (with `failure` as its summary, if given).
    bool endTransaction(bool ok, const char* failure);
    bool runWithText(const char* sql, std::string_view text);
    bool checkVersion(int& version);
    // Seals record `id` of `table` onto the chain of the table.
    bool seal(const char* table, std::int64_t id);
    const std::string& writingSite() const override { return site_; }
    bool keepContent(const std::string& sha256, const std::string& content,
                     const std::string& time) override;
    std::int64_t insertRevision(const RevisionRow& row) override;
    bool addState(std::int64_t revision, revisions::State state, const std::string& user,
                  std::int64_t timeUs) override;
    bool checkChainOf(const char* table, ChainCheck& check);
    bool checkStates(ChainCheck& check);
    bool checkRequestStates(ChainCheck& check);

    sqlite3* db_ = nullptr;
    std::string site_;
    int version_ = 0;        // the schema version of the open database
    bool empty_ = false;     // a database without the schema, opened for reading
    bool writable_ = false;  // opened for writing, with this program's schema
    bool opensForWriting_ = false;
};

}  // namespace dnc::history
