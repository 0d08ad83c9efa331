#include "dnc/history/HistoryCommands.h"
#include "dnc/history/TextColumns.h"

#include <charconv>
#include <filesystem>
#include <system_error>

#include "dnc/history/DatabaseFile.h"
#include "dnc/history/HistoryCopy.h"
#include "dnc/history/HistoryLocation.h"
#include "dnc/history/IsoTime.h"
#include "dnc/history/ServerLocation.h"

namespace dnc::history {

namespace {

constexpr int kExitOk = 0;
constexpr int kExitNothing = 1;
constexpr int kExitUsage = 2;

std::optional<int> parseNumber(const std::string& text, int min, int max) {
    int value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (ec != std::errc() || ptr != end || value < min || value > max) {
        return std::nullopt;
    }
    return value;
}

std::string subNetText(const HistoryRow& row) {
    return row.caption.empty() ? std::to_string(row.subNet)
                               : std::to_string(row.subNet) + " " + row.caption;
}

std::string outcomeText(const HistoryRow& row) {
    std::string text(toText(row.outcome));
    if (!row.error.empty()) {
        text += ": " + row.error;
    }
    return text;
}

// The first (or last) stored-form time that a typed date names; empty with `error` set when
// the text is no date.
std::string dateBound(const std::string& text, const std::string& option, bool first,
                      std::string& error) {
    const auto range = parseDate(text);
    if (!range) {
        error = option + " needs a date like 2026-03-04 or 2026-03-04T05:06, not \"" + text + "\"";
        return {};
    }
    return first ? range->first : range->last;
}

}  // namespace

// Reads "--name VALUE" or "--name=VALUE" at args[i]; advances i past a separate value.
// nullopt when args[i] is not this option; an empty optional string is reported by the caller.
std::optional<std::string> optionValue(const std::vector<std::string>& args, std::size_t& i,
                                       const std::string& name, std::string& error) {
    const std::string& a = args[i];
    if (a == name) {
        if (i + 1 == args.size()) {
            error = name + " needs a value";
            return std::string();
        }
        return args[++i];
    }
    if (a.rfind(name + "=", 0) == 0) {
        return a.substr(name.size() + 1);
    }
    return std::nullopt;
}

// Whatever came from a line or a file is shown without control characters, which could
// otherwise steer the terminal.
std::string printable(const std::string& text) {
    std::string shown = text;
    for (char& c : shown) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 || byte == 0x7F) {
            c = '?';
        }
    }
    return shown;
}

std::size_t utf8Sequence(std::string_view text, std::size_t pos) {
    const auto lead = static_cast<unsigned char>(text[pos]);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
    } else {
        return 0;
    }
    if (pos + length > text.size()) {
        return 0;
    }
    for (std::size_t k = 1; k < length; ++k) {
        if ((static_cast<unsigned char>(text[pos + k]) & 0xC0) != 0x80) {
            return 0;
        }
    }
    return length;
}

// A JSON string. Bytes that are not UTF-8 (names in the line's 8-bit code page) are taken as
// Latin-1, so that the output is always valid JSON.
std::string jsonString(const std::string& text) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::string json = "\"";
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '"' || byte == '\\') {
            json += '\\';
            json += static_cast<char>(byte);
        } else if (byte == '\n') {
            json += "\\n";
        } else if (byte == '\r') {
            json += "\\r";
        } else if (byte == '\t') {
            json += "\\t";
        } else if (byte < 0x20 || byte == 0x7F) {
            json += "\\u00";
            json += kHex[byte >> 4];
            json += kHex[byte & 0x0F];
        } else if (byte < 0x80) {
            json += static_cast<char>(byte);
        } else if (const std::size_t length = utf8Sequence(text, i); length > 0) {
            json.append(text, i, length);
            i += length - 1;
        } else {
            json += "\\u00";
            json += kHex[byte >> 4];
            json += kHex[byte & 0x0F];
        }
    }
    return json + "\"";
}

// Tells why the file cannot be read as a database; false when it can be opened.
bool databaseUnusable(const std::filesystem::path& file, const std::string& command,
                      std::ostream& err) {
    if (isServerLocation(file.string())) {
        return false;  // the server answers for itself
    }
    const DatabaseFile found = checkDatabaseFile(file);
    switch (found.state) {
        case DatabaseFile::State::Regular:
            return false;
        case DatabaseFile::State::Missing:
            err << found.problem << " (nothing recorded yet, or give --history FILE)\n";
            return true;
        case DatabaseFile::State::Unusable:
            err << command << ": " << printable(found.problem) << "\n";
            return true;
    }
    return true;
}

std::string historyCommandsUsage() {
    return "history [--subnet N] [--unit U] [--name TEXT] [--since DATE] [--until DATE]\n"
           "        [--site NAME] [--limit N] [--json] [--history FILE]\n"
           "    The recorded program transfers, newest first. --name: names containing TEXT,\n"
           "    regardless of case. --site: those the plant site NAME recorded. DATE in UTC: "
           "2026-03-04, 2026-03-04T05:06 or\n"
           "    2026-03-04T05:06:07 (a date alone stands for the whole day, for --until too).\n"
           "history --copy-to URI [--history FILE]\n"
           "    Copies the history file into the empty history on the PostgreSQL server at URI,\n"
           "    every record with its seal: the chain verifies there as it did in the file.\n"
           "history --verify [--history FILE]\n"
           "    Walks the hash chain of the records: exit status 0 when it is intact, 1 naming\n"
           "    the first record that does not match.\n"
           "show-program SHA256 [--history FILE]\n"
           "    Prints a kept program unchanged (HistoryKeepPrograms=True); at least the first 8\n"
           "    hexadecimal digits of its SHA-256.\n"
           "--history FILE: the database, or postgresql://[USER@]HOST[:PORT]/DATABASE for a\n"
           "    server; without it $XDG_STATE_HOME/DNC/history.db, else\n"
           "    ~/.local/state/DNC/history.db.\n";
}

std::optional<HistoryCommandOptions> parseHistoryOptions(const std::vector<std::string>& args,
                                                         std::string& error) {
    HistoryCommandOptions options;
    error.clear();
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& a = args[i];
        if (a == "--json") {
            options.json = true;
        } else if (a == "--verify") {
            options.verify = true;
        } else if (auto v = optionValue(args, i, "--subnet", error)) {
            options.filter.subNet = parseNumber(*v, 1, 16);
            if (!options.filter.subNet) {
                error = "--subnet needs a number from 1 to 16, not \"" + *v + "\"";
            }
        } else if (auto v = optionValue(args, i, "--unit", error)) {
            options.filter.unit = parseNumber(*v, 1, 10);
            if (!options.filter.unit) {
                error = "--unit needs a number from 1 to 10, not \"" + *v + "\"";
            }
        } else if (auto v = optionValue(args, i, "--name", error)) {
            options.filter.nameContains = *v;
            if (v->empty()) {
                error = "--name needs a text";
            }
        } else if (auto v = optionValue(args, i, "--limit", error)) {
            const auto limit = parseNumber(*v, 1, 1000000000);
            options.filter.limit = limit.value_or(0);
            if (!limit) {
                error = "--limit needs a positive number, not \"" + *v + "\"";
            }
        } else if (auto v = optionValue(args, i, "--since", error)) {
            options.filter.since = dateBound(*v, "--since", true, error);
        } else if (auto v = optionValue(args, i, "--until", error)) {
            options.filter.until = dateBound(*v, "--until", false, error);
        } else if (auto v = optionValue(args, i, "--copy-to", error)) {
            options.copyTo = *v;
            if (!isServerLocation(*v) && error.empty()) {
                error = "--copy-to needs a postgresql:// or postgres:// URI";
            }
        } else if (auto v = optionValue(args, i, "--site", error)) {
            options.filter.site = *v;
            if (v->empty()) {
                error = "--site needs a name";
            }
        } else if (auto v = optionValue(args, i, "--history", error)) {
            options.database = *v;
            if (v->empty()) {
                error = "--history needs a file";
            }
        } else {
            error = "unknown argument \"" + a + "\"";
        }
        if (!error.empty()) {
            return std::nullopt;
        }
    }
    if (!options.filter.since.empty() && !options.filter.until.empty() &&
        options.filter.since > options.filter.until) {
        error = "--since is after --until";
        return std::nullopt;
    }
    return options;
}

void printHistoryTable(const std::vector<HistoryRow>& rows, std::ostream& out) {
    if (rows.empty()) {
        out << "No transfers recorded that match.\n";
        return;
    }
    const std::vector<std::string> headers{"TIME (UTC)", "SUB NET", "UNIT",   "DIRECTION",
                                           "BY",         "USER",    "NAME",   "BYTES",
                                           "SHA-256",    "KEPT",    "OUTCOME"};
    std::vector<std::vector<std::string>> cells;
    cells.reserve(rows.size());
    for (const HistoryRow& row : rows) {
        cells.push_back({row.time, printable(subNetText(row)), std::to_string(row.unit),
                         std::string(toText(row.direction)), std::string(toText(row.startedBy)),
                         row.user.empty() ? "-" : printable(row.user), printable(row.name),
                         row.size ? std::to_string(*row.size) : "-", row.sha256.value_or("-"),
                         row.kept ? "yes" : "-", printable(outcomeText(row))});
    }
    printColumns(headers, cells, out);
}

void printHistoryJson(const std::vector<HistoryRow>& rows, std::ostream& out) {
    out << "[";
    for (std::size_t i = 0; i < rows.size(); ++i) {
        const HistoryRow& r = rows[i];
        out << (i == 0 ? "\n" : ",\n") << "  {\"time\": " << jsonString(r.time)
            << ", \"subnet\": " << r.subNet << ", \"caption\": " << jsonString(r.caption)
            << ", \"unit\": " << r.unit
            << ", \"direction\": " << jsonString(std::string(toText(r.direction)))
            << ", \"started_by\": " << jsonString(std::string(toText(r.startedBy)))
            << ", \"user\": " << jsonString(r.user) << ", \"name\": " << jsonString(r.name)
            << ", \"path\": " << jsonString(r.path)
            << ", \"size\": " << (r.size ? std::to_string(*r.size) : "null")
            << ", \"sha256\": " << (r.sha256 ? jsonString(*r.sha256) : "null")
            << ", \"stored\": " << (r.stored ? "true" : "false")
            << ", \"outcome\": " << jsonString(std::string(toText(r.outcome)))
            << ", \"error\": " << jsonString(r.error)
            << ", \"kept\": " << (r.kept ? "true" : "false") << ", \"site\": " << jsonString(r.site)
            << "}";
    }
    out << (rows.empty() ? "]\n" : "\n]\n");
}

int verifyHistory(HistoryStore& db, const std::filesystem::path& file, std::ostream& out,
                  std::ostream& err) {
    const auto check = db.ok() ? db.verifyChain() : std::nullopt;
    if (!check) {
        err << "history: " << maskedLocation(file.string()) << ": " << db.error() << "\n";
        return kExitNothing;
    }
    if (!check->intact) {
        err << "history: " << maskedLocation(file.string()) << ": " << check->table << " record "
            << check->id << ": " << check->reason << "\n";
        return kExitNothing;
    }
    out << "The chain of " << check->records << " record(s) is intact.\n";
    return kExitOk;
}

namespace {

int copyToServer(const std::filesystem::path& file, const std::string& uri, std::ostream& out,
                 std::ostream& err) {
    if (isServerLocation(file.string())) {
        err << "history: --copy-to copies a history file; --history names a server\n";
        return kExitUsage;
    }
    std::string error;
    const std::int64_t records = copyHistory(file, uri, error);
    if (records < 0) {
        err << "history: " << printable(error) << "\n";
        return kExitNothing;
    }
    out << "Copied " << file.string() << " to " << maskedLocation(uri) << ": the chain of "
        << records << " record(s) is intact there.\n";
    return kExitOk;
}

}  // namespace

int runHistoryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err) {
    std::string error;
    const auto options = parseHistoryOptions(args, error);
    if (!options) {
        err << "history: " << error << "\n\nUsage:\n" << historyCommandsUsage();
        return kExitUsage;
    }
    const std::filesystem::path file = historyPath(options->database);
    if (databaseUnusable(file, "history", err)) {
        return kExitNothing;
    }
    if (options->copyTo) {
        return copyToServer(file, *options->copyTo, out, err);
    }
    const auto opened = openHistoryStore(file, HistoryStore::Access::Read);
    HistoryStore& db = *opened;
    if (options->verify) {
        return verifyHistory(db, file, out, err);
    }
    const auto rows = db.ok() ? db.query(options->filter) : std::nullopt;
    if (!rows) {
        err << "history: " << maskedLocation(file.string()) << ": " << db.error() << "\n";
        return kExitNothing;
    }
    if (options->json) {
        printHistoryJson(*rows, out);
    } else {
        printHistoryTable(*rows, out);
    }
    return kExitOk;
}

int runShowProgramCommand(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err) {
    std::optional<std::string> hash;
    std::optional<std::string> database;
    std::string error;
    for (std::size_t i = 0; i < args.size() && error.empty(); ++i) {
        if (auto v = optionValue(args, i, "--history", error)) {
            database = *v;
            if (v->empty() && error.empty()) {
                error = "--history needs a file";
            }
        } else if (args[i].rfind("--", 0) == 0) {
            error = "unknown argument \"" + args[i] + "\"";
        } else if (hash) {
            error = "one SHA-256 only";
        } else {
            hash = args[i];
        }
    }
    if (error.empty() && !hash) {
        error = "the SHA-256 of the program is missing";
    }
    if (error.empty() && (hash->size() < 8 || hash->size() > 64 ||
                          hash->find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)) {
        error = "\"" + *hash + "\" is no SHA-256 (8 to 64 hexadecimal digits)";
    }
    if (!error.empty()) {
        err << "show-program: " << error << "\n\nUsage:\n" << historyCommandsUsage();
        return kExitUsage;
    }
    const std::filesystem::path file = historyPath(database);
    if (databaseUnusable(file, "show-program", err)) {
        return kExitNothing;
    }
    const auto opened = openHistoryStore(file, HistoryStore::Access::Read);
    HistoryStore& db = *opened;
    const auto program = db.ok() ? db.program(*hash) : std::nullopt;
    if (!program) {
        err << "show-program: " << db.error() << "\n";
        return kExitNothing;
    }
    out.write(program->data(), static_cast<std::streamsize>(program->size()));
    out.flush();
    return kExitOk;
}

}  // namespace dnc::history
