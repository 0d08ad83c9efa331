// A PostgreSQL server of the test executable's own: initdb and pg_ctl in a temporary folder,
// reached only by a Unix socket there (no TCP), stopped and removed when the tests end. One per
// executable (a GoogleTest global environment): starting one takes about a second. As root it
// runs as the "postgres" user, since the server refuses root.
#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <string>

class PostgresServer : public ::testing::Environment {
public:
    void SetUp() override;
    void TearDown() override;

    // The one server of this executable.
    static PostgresServer& instance();

    bool available() const { return problem_.empty(); }
    // Why there is no server.
    const std::string& problem() const { return problem_; }
    // The URI of a database made empty for the caller.
    std::string freshDatabase();
    // Runs SQL statements on the database at `uri`; the server's complaint, or "".
    static std::string run(const std::string& uri, const std::string& sql);
    // Stops the server (clients are refused) and starts it again, with its databases; true
    // when done.
    bool stop();
    bool restart();

private:
    bool start();
    std::string options_;  // the server's own
    // Runs a server program (as the server's user) with its output into `log`; its exit status.
    int runProgram(const std::vector<std::string>& arguments, const std::filesystem::path& log);

    std::filesystem::path bin_;
    std::filesystem::path dir_;
    std::string problem_ = "not started";
    bool asPostgres_ = false;
    bool started_ = false;
    int databases_ = 0;
};

// For a test that needs the server: fails with the reason in CI (CI=true), skips elsewhere.
#define REQUIRE_POSTGRES()                                                                        \
    do {                                                                                          \
        if (!PostgresServer::instance().available()) {                                            \
            if (const char* ci = std::getenv("CI"); ci != nullptr && std::string(ci) == "true") { \
                FAIL() << "no PostgreSQL server for the tests: "                                  \
                       << PostgresServer::instance().problem();                                   \
            }                                                                                     \
            GTEST_SKIP() << "no PostgreSQL server: " << PostgresServer::instance().problem();     \
        }                                                                                         \
    } while (false)
