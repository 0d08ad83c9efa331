// The records a history server could not take yet, kept in a local SQLite file in the order
// they came, until the server has them. Each record has an origin, unique for ever (the spool
// file's own random name and the record's number in it): the server notes the origins it has
// written, so a record sent again after a crash between the server's commit and the spool's
// delete is not written twice. A spool belongs to one thread.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "dnc/history/TransferRecord.h"

struct sqlite3;

namespace dnc::history {

class HistorySpool {
public:
    struct Entry {
        std::int64_t id = 0;
        std::string origin;
        TransferRecord record;
    };

    // Opens the spool at `file`, made with its folder when missing. See ok().
    explicit HistorySpool(std::filesystem::path file);
    ~HistorySpool();
    HistorySpool(const HistorySpool&) = delete;
    HistorySpool& operator=(const HistorySpool&) = delete;

    bool ok() const { return db_ != nullptr; }
    // Why the last operation failed.
    const std::string& error() const { return error_; }
    const std::filesystem::path& file() const { return file_; }

    // Keeps `record` behind the others; false with error().
    bool append(const TransferRecord& record);
    // The oldest record; nullopt when there is none (error() empty) or it cannot be read.
    std::optional<Entry> front();
    // The number of the oldest record when front() could not read it.
    std::optional<std::int64_t> unreadable() const { return unreadable_; }
    // Moves the record `id` out of the way into the file's table spool_set_aside, where it is
    // kept for a person to look at: one record nobody can read must not hold back the others.
    bool setAside(std::int64_t id);
    // Forgets the record `id` once the server has it.
    bool remove(std::int64_t id);
    // The records kept, or nullopt with error().
    std::optional<std::int64_t> count();

private:
    bool fail(const std::string& what);
    bool exec(const char* sql);

    std::filesystem::path file_;
    sqlite3* db_ = nullptr;
    std::string instance_;  // the file's random name; origins begin with it
    std::string error_;
    std::optional<std::int64_t> unreadable_;
};

}  // namespace dnc::history
