// A prepared SQLite statement for the history's own use, finalized when it goes.
#pragma once

#include <sqlite3.h>

#include <cstdint>
#include <string>
#include <string_view>

namespace dnc::history {

class Statement {
public:
    Statement(sqlite3* db, const char* sql) {
        rc_ = sqlite3_prepare_v2(db, sql, -1, &stmt_, nullptr);
    }
    ~Statement() { sqlite3_finalize(stmt_); }
    Statement(const Statement&) = delete;
    Statement& operator=(const Statement&) = delete;

    bool prepared() const { return rc_ == SQLITE_OK; }
    void bind(int index, std::string_view text) {
        sqlite3_bind_text(stmt_, index, text.data(), static_cast<int>(text.size()),
                          SQLITE_TRANSIENT);
    }
    void bindBlob(int index, std::string_view bytes) {
        sqlite3_bind_blob64(stmt_, index, bytes.data(), bytes.size(), SQLITE_TRANSIENT);
    }
    void bind(int index, std::int64_t value) { sqlite3_bind_int64(stmt_, index, value); }
    void bindNull(int index) { sqlite3_bind_null(stmt_, index); }
    // SQLITE_ROW, SQLITE_DONE or an error code.
    int step() { return sqlite3_step(stmt_); }

    std::string text(int column) const {
        const auto* p = reinterpret_cast<const char*>(sqlite3_column_text(stmt_, column));
        return p == nullptr ? std::string() : std::string(p, sqlite3_column_bytes(stmt_, column));
    }
    std::string blob(int column) const {
        const auto* p = static_cast<const char*>(sqlite3_column_blob(stmt_, column));
        return p == nullptr ? std::string() : std::string(p, sqlite3_column_bytes(stmt_, column));
    }
    std::int64_t integer(int column) const { return sqlite3_column_int64(stmt_, column); }
    bool isNull(int column) const { return sqlite3_column_type(stmt_, column) == SQLITE_NULL; }
    int columns() const { return sqlite3_column_count(stmt_); }
    int type(int column) const { return sqlite3_column_type(stmt_, column); }
    std::string columnName(int column) const { return sqlite3_column_name(stmt_, column); }

private:
    sqlite3_stmt* stmt_ = nullptr;
    int rc_ = SQLITE_ERROR;
};

}  // namespace dnc::history
