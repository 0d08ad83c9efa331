// The browser view's pages over a large history: the time from request to whole answer of the
// overview, of the first and a deep page of transfers, of a filtered page and of the JSON
// transfers, over a loopback socket, with an SQLite history and (when a server can be started)
// a PostgreSQL one.
//   WebPageBench [--records N] [--rounds N] [--sqlite-only]
#include <httplib.h>
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

// `records` transfers over the last 30 days from three sites, the newest 3 % of them today.
bool fill(const std::string& location, int records) {
    const char* const sites[] = {"hall-a", "hall-b", "hall-c"};
    std::vector<std::unique_ptr<HistoryStore>> writers;
    for (const char* site : sites) {
        writers.push_back(openHistoryStore(location, HistoryStore::Access::Write, site));
        if (!writers.back()->ok()) {
            std::fprintf(stderr, "cannot write %s: %s\n", location.c_str(),
                         writers.back()->error().c_str());
            return false;
        }
    }
    const auto now = std::chrono::system_clock::now();
    const auto start = Clock::now();
    for (int i = 0; i < records; ++i) {
        TransferRecord r;
        const double age = 30.0 * 86400 * (records - i) / records;
        r.time = now - std::chrono::milliseconds(static_cast<long long>(age * 1000));
        r.subNet = 1 + i % 4;
        r.caption = "Line " + std::to_string(r.subNet);
        r.unit = 1 + i % 10;
        r.name = "P" + std::to_string(i % 2000) + ".H";
        r.path = "/srv/dnc/" + r.name;
        r.content = "G01 X" + std::to_string(i) + "\n";
        if (!writers[static_cast<std::size_t>(i % 3)]->add(prepare(r), false)) {
            std::fprintf(stderr, "cannot write: %s\n", writers[i % 3]->error().c_str());
            return false;
        }
        if ((i + 1) % 20000 == 0) {
            std::fprintf(stderr, "  %d records written (%.0f s)\n", i + 1,
                         std::chrono::duration<double>(Clock::now() - start).count());
        }
    }
    for (std::size_t k = 0; k < writers.size(); ++k) {
        Heartbeat beat;
        beat.time = now;
        beat.pending = 2;
        beat.subNets = {{1, "Line 1", kSubNetRunning, ""}, {2, "Line 2", kSubNetRetrying, "gone"}};
        writers[k]->writeHeartbeat(beat);
    }
    return true;
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
    if (!fill(location, records)) {
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
