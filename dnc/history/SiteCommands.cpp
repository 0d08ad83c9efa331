#include "dnc/history/SiteCommands.h"

#include "dnc/history/HistoryCommands.h"
#include "dnc/history/HistoryLocation.h"
#include "dnc/history/HistoryStore.h"
#include "dnc/history/IsoTime.h"
#include "dnc/history/ServerLocation.h"
#include "dnc/history/TextColumns.h"

namespace dnc::history {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNothing = 1;
constexpr int kExitUsage = 2;

}  // namespace

std::string siteCommandsUsage() {
    return "sites [--json] [--history FILE|URI]\n"
           "    The sites writing to this history: the time of each one's last heartbeat\n"
           "    (silent: none for " +
           std::to_string(kSilentAfter.count()) +
           " s), its sub nets running, stopped or retrying with\n"
           "    their port's last error, and its revisions pending approval.\n";
}

int runSitesCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    std::optional<std::string> database;
    bool json = false;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        if (auto v = optionValue(args, i, "--history", error)) {
            database = *v;
            if (v->empty() && error.empty()) {
                error = "--history needs a file";
            }
        } else if (args[i] == "--json") {
            json = true;
        } else if (error.empty()) {
            error = "unknown argument \"" + args[i] + "\"";
        }
    }
    if (!error.empty()) {
        err << "sites: " << error << "\n\nUsage:\n" << siteCommandsUsage();
        return kExitUsage;
    }
    const std::filesystem::path file = historyPath(database);
    if (databaseUnusable(file, "sites", err)) {
        return kExitNothing;
    }
    const auto opened = openHistoryStore(file, HistoryStore::Access::Read);
    const auto beats = opened->ok() ? opened->heartbeats() : std::nullopt;
    if (!beats) {
        err << "sites: " << maskedLocation(file.string()) << ": " << opened->error() << "\n";
        return kExitNothing;
    }
    const auto now = std::chrono::system_clock::now();
    if (json) {
        printSitesJson(*beats, now, out);
    } else {
        printSitesTable(*beats, now, out);
    }
    return kExitOk;
}

void printSitesTable(const std::vector<Heartbeat>& beats, std::chrono::system_clock::time_point now,
                     std::ostream& out) {
    if (beats.empty()) {
        out << "No site has sent a heartbeat.\n";
        return;
    }
    const std::vector<std::string> headers{"SITE",    "LAST BEAT (UTC)", "STATUS", "PENDING",
                                           "SUB NET", "CAPTION",         "STATE",  "LAST ERROR"};
    std::vector<std::vector<std::string>> cells;
    for (const Heartbeat& beat : beats) {
        std::vector<std::string> site{printable(beat.site), isoUtc(beat.time),
                                      silent(beat, now) ? "silent" : "up",
                                      std::to_string(beat.pending)};
        if (beat.subNets.empty()) {
            cells.push_back(site);
            cells.back().insert(cells.back().end(), {"-", "", "", ""});
        }
        // The site's columns on its first line only: its sub nets follow under it.
        for (const SubNetBeat& subNet : beat.subNets) {
            std::vector<std::string> row = site;
            row.insert(row.end(), {std::to_string(subNet.subNet), printable(subNet.caption),
                                   printable(subNet.state), printable(subNet.error)});
            cells.push_back(std::move(row));
            site.assign(4, "");
        }
    }
    printColumns(headers, cells, out);
}

void printSitesJson(const std::vector<Heartbeat>& beats, std::chrono::system_clock::time_point now,
                    std::ostream& out) {
    out << "[";
    for (std::size_t i = 0; i < beats.size(); ++i) {
        const Heartbeat& beat = beats[i];
        out << (i == 0 ? "\n" : ",\n") << "  {\"site\": " << jsonString(beat.site)
            << ", \"time\": " << jsonString(isoUtc(beat.time))
            << ", \"silent\": " << (silent(beat, now) ? "true" : "false")
            << ", \"pending\": " << beat.pending << ", \"subnets\": [";
        for (std::size_t k = 0; k < beat.subNets.size(); ++k) {
            const SubNetBeat& s = beat.subNets[k];
            out << (k == 0 ? "" : ", ") << "{\"subnet\": " << s.subNet
                << ", \"caption\": " << jsonString(s.caption)
                << ", \"state\": " << jsonString(s.state) << ", \"error\": " << jsonString(s.error)
                << "}";
        }
        out << "]}";
    }
    out << (beats.empty() ? "]\n" : "\n]\n");
}

}  // namespace dnc::history
