#include "dnc/history/RevisionCommands.h"
#include "dnc/history/TextColumns.h"

#include <algorithm>
#include <charconv>

#include "dnc/history/HistoryCommands.h"
#include "dnc/history/HistoryLocation.h"
#include "dnc/history/IsoTime.h"
#include "dnc/history/RequestCommands.h"
#include "dnc/history/ServerLocation.h"
#include "dnc/revisions/ProgramDiff.h"

namespace dnc::history {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNothing = 1;
constexpr int kExitUsage = 2;

std::optional<std::int64_t> number(const std::string& text, std::int64_t least, std::int64_t most) {
    std::int64_t value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < least || value > most) {
        return std::nullopt;
    }
    return value;
}

struct Words {
    std::vector<std::string> operands;
    std::optional<std::string> database;
    std::optional<std::string> state;
    std::optional<std::string> site;
    bool json = false;
};

// The operands and the options every revision command knows; `error` when one is wrong.
Words readWords(const std::vector<std::string>& args, bool states, std::string& error) {
    Words words;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        if (auto v = optionValue(args, i, "--history", error)) {
            words.database = *v;
            if (v->empty() && error.empty()) {
                error = "--history needs a file";
            }
        } else if (auto s = states ? optionValue(args, i, "--state", error) : std::nullopt) {
            words.state = *s;
        } else if (auto n = states ? optionValue(args, i, "--site", error) : std::nullopt) {
            words.site = *n;
            if (n->empty() && error.empty()) {
                error = "--site needs a name";
            }
        } else if (states && args[i] == "--json") {
            words.json = true;
        } else if (args[i].rfind("--", 0) == 0) {
            error = "unknown argument \"" + args[i] + "\"";
        } else {
            words.operands.push_back(args[i]);
        }
    }
    return words;
}

std::string timeText(std::int64_t timeUs) {
    return isoUtc(std::chrono::system_clock::time_point(std::chrono::microseconds(timeUs)));
}

std::string label(const RevisionRow& row) {
    return row.name + " revision " + std::to_string(row.id) + " (" +
           std::string(revisions::toText(row.state)) + ", " + timeText(row.timeUs) + ")";
}

int usage(const char* command, const std::string& error, std::ostream& err) {
    err << command << ": " << error << "\n\nUsage:\n" << revisionCommandsUsage();
    return kExitUsage;
}

}  // namespace

std::string revisionCommandsUsage() {
    return "revisions [--json] [--history FILE] [SUBNET [UNIT [NAME]]] [--state STATE]\n"
           "          [--site NAME]\n"
           "    The revisions of the programs in the unit directories, newest first. STATE:\n"
           "    released, pending, superseded, rejected or deleted. --site: those the plant\n"
           "    site NAME recorded.\n"
           "diff ID [OTHER] [--history FILE]\n"
           "    What revision ID changes against OTHER (default: the released one).\n"
           "show-revision ID [--history FILE]\n"
           "    Prints the content of revision ID unchanged.\n" +
           requestCommandsUsage();
}

std::optional<std::string> revisionContent(HistoryStore& db, const RevisionRow& row,
                                           std::string& error) {
    if (row.state == revisions::State::Deleted) {
        return std::string();
    }
    return keptContent(db, row, error);
}

std::optional<std::string> keptContent(HistoryStore& db, const RevisionRow& row,
                                       std::string& error) {
    auto content = row.sha256.empty() ? std::nullopt : db.program(row.sha256);
    if (!content) {
        error = "the content of revision " + std::to_string(row.id) + " is no longer kept";
    }
    return content;
}

std::optional<std::string> compareRevisions(HistoryStore& db, std::int64_t id, std::int64_t other,
                                            std::string& error) {
    const auto second = db.revision(id);
    if (!second) {
        error = db.error();
        return std::nullopt;
    }
    std::optional<RevisionRow> first;
    if (other != 0) {
        first = db.revision(other);
        if (!first) {
            error = db.error();
            return std::nullopt;
        }
    } else {
        first = db.released(second->subNet, second->unit, second->name, second->site);
        if (!first && !db.error().empty()) {
            error = db.error();
            return std::nullopt;
        }
    }
    const auto after = revisionContent(db, *second, error);
    if (!after) {
        return std::nullopt;
    }
    std::string before;
    std::string firstLabel = second->name + " (none released)";
    if (first) {
        const auto content = revisionContent(db, *first, error);
        if (!content) {
            return std::nullopt;
        }
        before = *content;
        firstLabel = label(*first);
    }
    return revisions::unifiedText(revisions::compare(before, *after), firstLabel, label(*second));
}

void printRevisionsTable(const std::vector<RevisionRow>& rows, std::ostream& out) {
    if (rows.empty()) {
        out << "No revisions that match.\n";
        return;
    }
    const std::vector<std::string> headers{"ID",      "TIME (UTC)", "SUB NET", "UNIT",
                                           "NAME",    "STATE",      "SOURCE",  "BYTES",
                                           "SHA-256", "USER",       "NOTE"};
    std::vector<std::vector<std::string>> cells;
    for (const RevisionRow& r : rows) {
        cells.push_back({std::to_string(r.id), timeText(r.timeUs), std::to_string(r.subNet),
                         std::to_string(r.unit), printable(r.name),
                         std::string(revisions::toText(r.state)),
                         std::string(revisions::toText(r.source)), std::to_string(r.size),
                         r.sha256.substr(0, 12), printable(r.user), printable(r.note)});
    }
    printColumns(headers, cells, out);
}

void printRevisionsJson(const std::vector<RevisionRow>& rows, std::ostream& out) {
    out << "[";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const RevisionRow& r = rows[i];
        out << (i == 0 ? "\n" : ",\n") << "  {\"id\": " << r.id << ", \"subnet\": " << r.subNet
            << ", \"unit\": " << r.unit << ", \"name\": " << jsonString(r.name)
            << ", \"state\": " << jsonString(std::string(revisions::toText(r.state)))
            << ", \"source\": " << jsonString(std::string(revisions::toText(r.source)))
            << ", \"bytes\": " << r.size << ", \"time\": " << r.timeUs
            << ", \"sha256\": " << jsonString(r.sha256) << ", \"user\": " << jsonString(r.user)
            << ", \"note\": " << jsonString(r.note) << ", \"site\": " << jsonString(r.site) << "}";
    }
    out << (rows.empty() ? "]\n" : "\n]\n");
}

int runRevisionsCommand(const std::vector<std::string>& args, std::ostream& out,
                        std::ostream& err) {
    // "requests" first (after the client's --json) lists the decision requests instead.
    const std::size_t first = !args.empty() && args[0] == "--json" ? 1 : 0;
    if (args.size() > first && args[first] == "requests") {
        std::vector<std::string> rest = args;
        rest.erase(rest.begin() + static_cast<std::ptrdiff_t>(first));
        return runRequestsCommand(rest, out, err);
    }
    std::string error;
    const Words words = readWords(args, true, error);
    RevisionFilter filter;
    if (error.empty() && words.operands.size() > 3) {
        error = "at most SUBNET UNIT NAME";
    }
    if (error.empty() && !words.operands.empty()) {
        const auto subNet = number(words.operands[0], 1, 16);
        filter.subNet = subNet ? std::optional<int>(static_cast<int>(*subNet)) : std::nullopt;
        if (!subNet) {
            error = "the sub net is a number from 1 to 16, not \"" + words.operands[0] + "\"";
        }
    }
    if (error.empty() && words.operands.size() > 1) {
        const auto unit = number(words.operands[1], 1, 10);
        filter.unit = unit ? std::optional<int>(static_cast<int>(*unit)) : std::nullopt;
        if (!unit) {
            error = "the unit is a number from 1 to 10, not \"" + words.operands[1] + "\"";
        }
    }
    if (error.empty() && words.operands.size() > 2) {
        filter.name = words.operands[2];
    }
    if (error.empty() && words.state) {
        filter.state = revisions::stateFromText(*words.state);
        if (!filter.state) {
            error = "no state \"" + *words.state +
                    "\" (released, pending, superseded, rejected, deleted)";
        }
    }
    filter.site = words.site.value_or("");
    if (!error.empty()) {
        return usage("revisions", error, err);
    }
    const std::filesystem::path file = historyPath(words.database);
    if (databaseUnusable(file, "revisions", err)) {
        return kExitNothing;
    }
    const auto opened = openHistoryStore(file, HistoryStore::Access::Read);
    HistoryStore& db = *opened;
    const auto rows = db.ok() ? db.revisions(filter) : std::nullopt;
    if (!rows) {
        err << "revisions: " << maskedLocation(file.string()) << ": " << db.error() << "\n";
        return kExitNothing;
    }
    if (words.json) {
        printRevisionsJson(*rows, out);
    } else {
        printRevisionsTable(*rows, out);
    }
    return kExitOk;
}

int runDiffCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const Words words = readWords(args, false, error);
    if (error.empty() && (words.operands.empty() || words.operands.size() > 2)) {
        error = "one or two revision numbers";
    }
    std::optional<std::int64_t> id;
    std::optional<std::int64_t> other = 0;
    if (error.empty()) {
        id = number(words.operands[0], 1, INT64_MAX);
        if (words.operands.size() == 2) {
            other = number(words.operands[1], 0, INT64_MAX);
        }
        if (!id || !other) {
            error = "a revision is a positive number";
        }
    }
    if (!error.empty()) {
        return usage("diff", error, err);
    }
    const std::filesystem::path file = historyPath(words.database);
    if (databaseUnusable(file, "diff", err)) {
        return kExitNothing;
    }
    const auto opened = openHistoryStore(file, HistoryStore::Access::Read);
    HistoryStore& db = *opened;
    const auto text = db.ok() ? compareRevisions(db, *id, *other, error) : std::nullopt;
    if (!text) {
        err << "diff: " << (db.ok() ? error : db.error()) << "\n";
        return kExitNothing;
    }
    out << *text;
    return kExitOk;
}

int runShowRevisionCommand(const std::vector<std::string>& args, std::ostream& out,
                           std::ostream& err) {
    std::string error;
    const Words words = readWords(args, false, error);
    std::optional<std::int64_t> id;
    if (error.empty()) {
        id = words.operands.size() == 1 ? number(words.operands[0], 1, INT64_MAX) : std::nullopt;
        if (!id) {
            error = "one revision number";
        }
    }
    if (!error.empty()) {
        return usage("show-revision", error, err);
    }
    const std::filesystem::path file = historyPath(words.database);
    if (databaseUnusable(file, "show-revision", err)) {
        return kExitNothing;
    }
    const auto opened = openHistoryStore(file, HistoryStore::Access::Read);
    HistoryStore& db = *opened;
    const auto row = db.ok() ? db.revision(*id) : std::nullopt;
    const auto content = row ? revisionContent(db, *row, error) : std::nullopt;
    if (!content) {
        err << "show-revision: " << (row ? error : db.error()) << "\n";
        return kExitNothing;
    }
    out.write(content->data(), static_cast<std::streamsize>(content->size()));
    out.flush();
    return kExitOk;
}

}  // namespace dnc::history
