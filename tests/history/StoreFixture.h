// Tests of the history store that run on both back ends: an SQLite file in the test's folder and
// a fresh database on the executable's PostgreSQL server.
#pragma once

#include <sqlite3.h>

#include <memory>
#include <string>

#include "dnc/history/HistoryStore.h"
#include "tests/history/HistoryFixture.h"
#include "tests/history/PostgresServer.h"

enum class Backend { Sqlite, Postgres };

class StoreFolder : public HistoryFolder {
protected:
    StoreFolder() : location(db.string()) {}

    std::unique_ptr<dnc::history::HistoryStore> open(dnc::history::HistoryStore::Access access,
                                                     const std::string& site = "hall-a") {
        return dnc::history::openHistoryStore(location, access, site);
    }
    // Runs SQL on the store behind the program's back, as a tamperer would.
    void sql(const std::string& statements) {
        if (backend == Backend::Postgres) {
            EXPECT_EQ(PostgresServer::run(location, statements), "") << statements;
            return;
        }
        sqlite3* raw = nullptr;
        ASSERT_EQ(sqlite3_open(db.c_str(), &raw), SQLITE_OK);
        char* message = nullptr;
        EXPECT_EQ(sqlite3_exec(raw, statements.c_str(), nullptr, nullptr, &message), SQLITE_OK)
            << (message != nullptr ? message : "");
        sqlite3_free(message);
        sqlite3_close(raw);
    }
    // An empty store in place of the one used so far.
    void reset() {
        if (backend == Backend::Postgres) {
            location = PostgresServer::instance().freshDatabase();
            return;
        }
        for (const char* side : {"", "-wal", "-shm"}) {
            std::filesystem::remove(db.string() + side);
        }
    }

    Backend backend = Backend::Sqlite;
    std::string location;  // the file, or the server's URI
};

// Runs the TEST_Ps of `Base` on each back end.
template <typename Base>
class OnEachStore : public Base, public ::testing::WithParamInterface<Backend> {
protected:
    void SetUp() override {
        if (GetParam() == Backend::Postgres) {
            REQUIRE_POSTGRES();
            this->backend = Backend::Postgres;
            this->location = PostgresServer::instance().freshDatabase();
        }
    }
};

inline std::string backendName(const ::testing::TestParamInfo<Backend>& info) {
    return info.param == Backend::Postgres ? "PostgreSQL" : "SQLite";
}

#define INSTANTIATE_ON_EACH_STORE(Fixture)                                                         \
    INSTANTIATE_TEST_SUITE_P(Each, Fixture, ::testing::Values(Backend::Sqlite, Backend::Postgres), \
                             backendName)
