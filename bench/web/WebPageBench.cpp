// The browser view's pages over a large history: the time from request to whole answer of the
// overview, of the first and a deep page of transfers, of a filtered page and of the JSON
// transfers, over a loopback socket, with an SQLite history and (when a server can be started)
// a PostgreSQL one.
//   WebPageBench [--records N] [--rounds N] [--sqlite-only]
#include <httplib.h>
#include <sqlite3.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <thread>
#include <vector>

#include "dnc/history/HistoryStore.h"
#include "tests/history/PostgresServer.h"
#include "web/Server.h"

namespace fs = std::filesystem;
using namespace dnc::history;
using Clock = std::chrono::steady_clock;

namespace {

// The rows, made by SQL on the store's own tables: writing 100 000 records one by one through
// the store (each sealed in a transaction of its own) takes longer than the measurement is worth.
// Columns as in both stores' schema; the chains are not sealed (no page walks them).
std::string bulkInsert(int records, bool postgres) {
    const std::string n = std::to_string(records);
    const std::string series =
        postgres ? "SELECT i FROM generate_series(1, " + n + ") AS i"
                 : "WITH RECURSIVE s(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM s WHERE i < " + n +
                       ") SELECT i FROM s";
    // 30 days back to now, the newest 3 % of them today.
    const std::string age = "((" + n + " - i) * 2592000.0 / " + n + ")";
    const std::string time =
        postgres ? "to_char((now() AT TIME ZONE 'UTC') - make_interval(secs => " + age +
                       "), 'YYYY-MM-DD\"T\"HH24:MI:SS.MS\"Z\"')"
                 : "strftime('%Y-%m-%dT%H:%M:%fZ', 'now', '-' || " + age + " || ' seconds')";
    const std::string user = postgres ? "\"user\"" : "user";
    return "INSERT INTO transfers(time, subnet, caption, unit, direction, started_by, name, path, "
           "size, sha256, stored, outcome, error, " +
           user + ", site) SELECT " + time +
           ", 1 + i % 4, 'Line ' || (1 + i % 4), 1 + i % 10, 'to-unit', 'unit', "
           "'P' || (i % 2000) || '.H', '/srv/dnc/P' || (i % 2000) || '.H', 100, NULL, 0, "
           "CASE WHEN i % 50 = 0 THEN 'failed' ELSE 'done' END, "
           "CASE WHEN i % 50 = 0 THEN 'no answer' ELSE '' END, 'unit ' || (1 + i % 10), "
           "CASE i % 3 WHEN 0 THEN 'hall-a' WHEN 1 THEN 'hall-b' ELSE 'hall-c' END FROM (" +
           series + ") AS rows";
}

bool runSqlite(const std::string& file, const std::string& sql) {
    sqlite3* db = nullptr;
    char* message = nullptr;
    const bool ok = sqlite3_open(file.c_str(), &db) == SQLITE_OK &&
                    sqlite3_exec(db, sql.c_str(), nullptr, nullptr, &message) == SQLITE_OK;
    if (!ok) {
        std::fprintf(stderr, "%s\n", message != nullptr ? message : sqlite3_errmsg(db));
    }
    sqlite3_free(message);
    sqlite3_close(db);
    return ok;
}

// The schema and the sites' heartbeats through the store, the transfers by SQL.
bool fill(const std::string& location, int records, bool postgres) {
    const auto now = std::chrono::system_clock::now();
    for (const char* site : {"hall-a", "hall-b", "hall-c"}) {
        const auto writer = openHistoryStore(location, HistoryStore::Access::Write, site);
        Heartbeat beat;
        beat.time = now;
        beat.pending = 2;
        beat.subNets = {{1, "Line 1", kSubNetRunning, ""}, {2, "Line 2", kSubNetRetrying, "gone"}};
        if (!writer->ok() || !writer->writeHeartbeat(beat)) {
            std::fprintf(stderr, "cannot write %s: %s\n", location.c_str(),
                         writer->error().c_str());
            return false;
        }
    }
    const std::string sql = bulkInsert(records, postgres);
    if (postgres) {
        const std::string problem = PostgresServer::run(location, sql + "; ANALYZE transfers");
        if (!problem.empty()) {
            std::fprintf(stderr, "%s\n", problem.c_str());
        }
        return problem.empty();
    }
    return runSqlite(location, sql + "; ANALYZE");
}

struct Figures {
    double medianMs = 0;
    double maxMs = 0;
    std::size_t bytes = 0;
    int status = 0;
};

Figures measure(httplib::Client& client, const httplib::Headers& session, const std::string& path,
                int rounds) {
    std::vector<double> ms;
    Figures f;
    for (int i = 0; i < rounds; ++i) {
        const auto start = Clock::now();
        const auto res = client.Get(path.c_str(), session);
        ms.push_back(std::chrono::duration<double, std::milli>(Clock::now() - start).count());
        f.status = res ? res->status : -1;
        f.bytes = res ? res->body.size() : 0;
    }
    std::sort(ms.begin(), ms.end());
    f.medianMs = ms[ms.size() / 2];
    f.maxMs = ms.back();
    return f;
}

void pages(const char* backend, const std::string& location, int records, int rounds) {
    std::printf("\n%s, %d transfers\n", backend, records);
    const auto start = Clock::now();
    if (!fill(location, records, std::strcmp(backend, "PostgreSQL") == 0)) {
        return;
    }
    std::printf("  written in %.1f s\n",
                std::chrono::duration<double>(Clock::now() - start).count());

    web::Accounts accounts;
    std::string error;
    accounts.set("bench", web::Role::Viewer, "bench", error);
    web::Options options;
    options.store = location;
    options.port = 0;
    web::WebServer server(options, accounts);
    const int port = server.bind(error);
    if (port < 0) {
        std::fprintf(stderr, "%s\n", error.c_str());
        return;
    }
    std::thread serving([&] { server.run(); });
    httplib::Client client("127.0.0.1", port);
    client.set_read_timeout(60, 0);
    const auto signIn =
        client.Post("/sign-in", httplib::Params{{"name", "bench"}, {"password", "bench"}});
    const std::string cookie =
        signIn ? signIn->get_header_value("Set-Cookie")
                     .substr(0, signIn->get_header_value("Set-Cookie").find(';'))
               : "";
    const httplib::Headers session{{"Cookie", cookie}};
    std::printf("  %-44s %8s %8s %8s %6s\n", "page", "median", "max", "bytes", "status");
    for (const char* path :
         {"/", "/api/v1/sites", "/transfers", "/api/v1/transfers", "/transfers?page=1000",
          "/transfers?site=hall-b&unit=3", "/transfers?name=P17", "/revisions"}) {
        const Figures f = measure(client, session, path, rounds);
        std::printf("  %-44s %6.2fms %6.2fms %8zu %6d\n", path, f.medianMs, f.maxMs, f.bytes,
                    f.status);
    }
    server.stop();
    serving.join();
}

}  // namespace

int main(int argc, char** argv) {
    int records = 100000;
    int rounds = 20;
    bool sqliteOnly = false;
    for (int i = 1; i < argc; ++i) {
        if (std::strcmp(argv[i], "--records") == 0 && i + 1 < argc) {
            records = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--rounds") == 0 && i + 1 < argc) {
            rounds = std::max(1, std::atoi(argv[++i]));
        } else if (std::strcmp(argv[i], "--sqlite-only") == 0) {
            sqliteOnly = true;
        } else {
            std::fprintf(stderr,
                         "usage: WebPageBench [--records N] [--rounds N] [--sqlite-only]\n");
            return 2;
        }
    }
    const fs::path dir =
        fs::temp_directory_path() / ("ferix-web-bench-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    std::printf("Page times from request to whole answer over a loopback socket (%d rounds each)\n",
                rounds);
    pages("SQLite", (dir / "history.db").string(), records, rounds);
    if (!sqliteOnly) {
        PostgresServer postgres;
        postgres.SetUp();
        if (postgres.available()) {
            pages("PostgreSQL", postgres.freshDatabase(), records, rounds);
        } else {
            std::printf("\nPostgreSQL: no server (%s)\n", postgres.problem().c_str());
        }
        postgres.TearDown();
    }
    fs::remove_all(dir);
    return 0;
}
