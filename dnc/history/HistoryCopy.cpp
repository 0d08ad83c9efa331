#include "dnc/history/HistoryCopy.h"

#include <sqlite3.h>

#include <memory>

#include "dnc/history/DatabaseFile.h"
#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/PostgresHistory.h"
#include "dnc/history/ServerLocation.h"
#include "dnc/history/SqliteStatement.h"

namespace dnc::history {

namespace {

using Parameter = PostgresHistory::Parameter;

struct Closer {
    void operator()(sqlite3* db) const { sqlite3_close_v2(db); }
};

// The value of `column` as the server takes it: numbers and text as text, content as bytes.
Parameter valueOf(const Statement& row, int column) {
    switch (row.type(column)) {
        case SQLITE_NULL:
            return {std::nullopt, false};
        case SQLITE_BLOB:
            return {row.blob(column), true};
        default:
            return {row.text(column), false};
    }
}

}  // namespace

std::int64_t copyHistory(const std::filesystem::path& file, const std::string& uri,
                         std::string& error) {
    if (!isServerLocation(uri)) {
        error = "\"" + uri + "\" is no postgresql:// or postgres:// URI";
        return -1;
    }
    const DatabaseFile found = checkDatabaseFile(file);
    if (found.state != DatabaseFile::State::Regular) {
        error = found.problem;
        return -1;
    }
    {
        // What does not verify in the file would not verify on the server either.
        HistoryDatabase source(file, HistoryStore::Access::Read, "");
        const auto check = source.ok() ? source.verifyChain() : std::nullopt;
        if (!check) {
            error = file.string() + ": " + source.error();
            return -1;
        }
        if (!check->intact) {
            error = file.string() + " does not verify (" + check->table + " record " +
                    std::to_string(check->id) + ": " + check->reason + "): it is not copied";
            return -1;
        }
    }
    sqlite3* raw = nullptr;
    const int rc = sqlite3_open_v2(file.c_str(), &raw, SQLITE_OPEN_READONLY, nullptr);
    const std::unique_ptr<sqlite3, Closer> db(raw);
    int version = 0;
    if (rc == SQLITE_OK) {
        Statement read(raw, "PRAGMA user_version");
        version =
            read.prepared() && read.step() == SQLITE_ROW ? static_cast<int>(read.integer(0)) : 0;
    }
    if (version != kSchemaVersion) {
        error = file.string() + " has schema version " + std::to_string(version) + ", not " +
                std::to_string(kSchemaVersion) +
                ": let this FerixDNC write to it once (it upgrades the file), then copy it";
        return -1;
    }
    std::vector<PostgresHistory::ChainStart> starts;
    {
        Statement start(raw, "SELECT tbl, first, sited FROM chain_start");
        while (start.prepared() && start.step() == SQLITE_ROW) {
            starts.push_back({start.text(0), start.integer(1), start.integer(2)});
        }
    }
    std::string readError;
    const auto source = [&](const std::string& table, const std::string& columns,
                            const std::function<bool(const PostgresHistory::Row&)>& put) {
        const std::string sql = "SELECT " + columns + " FROM " + table + " ORDER BY rowid";
        Statement rows(raw, sql.c_str());
        if (!rows.prepared()) {
            readError = file.string() + ": cannot read " + table + ": " + sqlite3_errmsg(raw);
            return false;
        }
        int step = SQLITE_ROW;
        while ((step = rows.step()) == SQLITE_ROW) {
            PostgresHistory::Row row;
            for (int c = 0; c < rows.columns(); ++c) {
                row.push_back(valueOf(rows, c));
            }
            if (!put(row)) {
                return false;
            }
        }
        if (step != SQLITE_DONE) {
            readError = file.string() + ": cannot read " + table + ": " + sqlite3_errmsg(raw);
            return false;
        }
        return true;
    };
    PostgresHistory target(uri, HistoryStore::Access::Write, "");
    if (!target.ok()) {
        error = target.error();
        return -1;
    }
    const auto copied = target.takeOver(source, starts);
    if (!copied) {
        error = readError.empty() ? target.error() : readError;
        return -1;
    }
    return copied->records;
}

}  // namespace dnc::history
