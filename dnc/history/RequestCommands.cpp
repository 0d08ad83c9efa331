#include "dnc/history/RequestCommands.h"

#include "dnc/history/HistoryCommands.h"
#include "dnc/history/HistoryLocation.h"
#include "dnc/history/IsoTime.h"
#include "dnc/history/ServerLocation.h"
#include "dnc/history/TextColumns.h"

namespace dnc::history {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNothing = 1;
constexpr int kExitUsage = 2;

std::string timeText(std::int64_t timeUs) {
    if (timeUs == 0) {
        return "";
    }
    return isoUtc(std::chrono::system_clock::time_point(std::chrono::microseconds(timeUs)));
}

}  // namespace

std::string requestCommandsUsage() {
    return "revisions requests [--site NAME] [--open] [--json] [--history FILE]\n"
           "    The accepts and rejects asked of the site owning the revision, newest first,\n"
           "    with their status (open, done, failed and why). --site: those for site NAME;\n"
           "    --open: only those not yet carried out.\n";
}

void printRequestsTable(const std::vector<DecisionRequest>& rows, std::ostream& out) {
    if (rows.empty()) {
        out << "No requests that match.\n";
        return;
    }
    const std::vector<std::string> headers{
        "ID",   "TIME (UTC)", "REVISION", "ACTION",        "SITE",
        "FROM", "USER",       "STATUS",   "SETTLED (UTC)", "RESULT"};
    std::vector<std::vector<std::string>> cells;
    for (const DecisionRequest& r : rows) {
        cells.push_back({std::to_string(r.id), timeText(r.timeUs), std::to_string(r.revision),
                         std::string(revisions::toText(r.action)), printable(r.site),
                         printable(r.from), printable(r.user), std::string(toText(r.status)),
                         timeText(r.settledUs), printable(r.result)});
    }
    printColumns(headers, cells, out);
}

void printRequestsJson(const std::vector<DecisionRequest>& rows, std::ostream& out) {
    out << "[";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const DecisionRequest& r = rows[i];
        out << (i == 0 ? "\n" : ",\n") << "  {\"id\": " << r.id << ", \"revision\": " << r.revision
            << ", \"action\": " << jsonString(std::string(revisions::toText(r.action)))
            << ", \"site\": " << jsonString(r.site) << ", \"from\": " << jsonString(r.from)
            << ", \"user\": " << jsonString(r.user) << ", \"time\": " << r.timeUs
            << ", \"status\": " << jsonString(std::string(toText(r.status)))
            << ", \"result\": " << jsonString(r.result) << ", \"settled\": " << r.settledUs << "}";
    }
    out << (rows.empty() ? "]\n" : "\n]\n");
}

int runRequestsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    RequestFilter filter;
    std::optional<std::string> database;
    bool json = false;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        if (auto v = optionValue(args, i, "--history", error)) {
            database = *v;
            if (v->empty() && error.empty()) {
                error = "--history needs a file";
            }
        } else if (auto n = optionValue(args, i, "--site", error)) {
            filter.site = *n;
            if (n->empty() && error.empty()) {
                error = "--site needs a name";
            }
        } else if (error.empty() && args[i] == "--open") {
            filter.openOnly = true;
        } else if (error.empty() && args[i] == "--json") {
            json = true;
        } else if (error.empty()) {
            error = "unknown argument \"" + args[i] + "\"";
        }
    }
    if (!error.empty()) {
        err << "revisions requests: " << error << "\n\nUsage:\n" << requestCommandsUsage();
        return kExitUsage;
    }
    const std::filesystem::path file = historyPath(database);
    if (databaseUnusable(file, "revisions requests", err)) {
        return kExitNothing;
    }
    const auto opened = openHistoryStore(file, HistoryStore::Access::Read);
    const auto rows = opened->ok() ? opened->requests(filter) : std::nullopt;
    if (!rows) {
        err << "revisions requests: " << maskedLocation(file.string()) << ": " << opened->error()
            << "\n";
        return kExitNothing;
    }
    if (json) {
        printRequestsJson(*rows, out);
    } else {
        printRequestsTable(*rows, out);
    }
    return kExitOk;
}

}  // namespace dnc::history
