#include "tools/ferixdncctl/CtlArguments.h"

#include <algorithm>
#include <charconv>
#include <map>

#include "dnc/automation/BusNames.h"
#include "dnc/history/HistoryCommands.h"
#include "dnc/history/RevisionCommands.h"
#include "dnc/history/SiteCommands.h"

namespace ferixdncctl {

namespace {

using Verb = CtlArguments::Verb;

struct VerbForm {
    Verb verb;
    std::size_t least;  // operands
    std::size_t most;
};

const std::map<std::string, VerbForm>& verbs() {
    static const std::map<std::string, VerbForm> table{
        {"list", {Verb::List, 0, 0}},          {"start", {Verb::Start, 1, 1}},
        {"stop", {Verb::Stop, 1, 1}},          {"show", {Verb::Show, 1, 1}},
        {"hide", {Verb::Hide, 1, 1}},          {"send", {Verb::Send, 3, 3}},
        {"receive", {Verb::Receive, 3, 4}},    {"remove", {Verb::Remove, 3, 3}},
        {"memlist", {Verb::MemoryList, 2, 2}}, {"command", {Verb::Command, 3, 4}},
        {"watch", {Verb::Watch, 0, 1}},        {"help", {Verb::Help, 0, 0}},
        {"accept", {Verb::Accept, 1, 1}},      {"reject", {Verb::Reject, 1, 1}},
        {"restore", {Verb::Restore, 1, 1}},
    };
    return table;
}

std::optional<long> number(const std::string& text, long least, long most) {
    long value = 0;
    const char* end = text.data() + text.size();
    const auto [ptr, ec] = std::from_chars(text.data(), end, value);
    if (text.empty() || ec != std::errc() || ptr != end || value < least || value > most) {
        return std::nullopt;
    }
    return value;
}

constexpr const char* kHistory = "history";
constexpr const char* kShowProgram = "show-program";

// The commands that read the database file, with their own options.
const std::map<std::string, Verb>& databaseVerbs() {
    static const std::map<std::string, Verb> table{
        {kHistory, Verb::History},
        {kShowProgram, Verb::ShowProgram},
        {"revisions", Verb::Revisions},
        {"diff", Verb::Diff},
        {"show-revision", Verb::ShowRevision},
        {"sites", Verb::Sites},
    };
    return table;
}

// The history's commands read the database file and have options of their own, which their
// parser reads; the bus options before them cannot apply.
ParseResult historyCommand(CtlArguments a, const std::string& command,
                           std::vector<std::string> rest) {
    for (const std::string& w : rest) {
        if (w == "--help" || w == "-h") {
            a.verb = Verb::Help;
            return {a, {}};
        }
    }
    if (a.systemBus || a.instance) {
        return {std::nullopt, command +
                                  " reads the history database, not a FerixDNC: --system and "
                                  "--instance do not apply (--history FILE names the database)"};
    }
    a.verb = databaseVerbs().at(command);
    if (a.verb == Verb::History || a.verb == Verb::Revisions || a.verb == Verb::Sites) {
        if (a.json) {
            rest.insert(rest.begin(), "--json");
        }
    } else if (a.json) {
        return {std::nullopt,
                command +
                    (a.verb == Verb::Diff ? " prints a difference" : " prints the program itself") +
                    ": --json does not apply"};
    }
    a.historyArguments = std::move(rest);
    return {a, {}};
}

}  // namespace

bool readsHistory(const CtlArguments& arguments) {
    return arguments.verb == Verb::History || arguments.verb == Verb::ShowProgram ||
           arguments.verb == Verb::Revisions || arguments.verb == Verb::Diff ||
           arguments.verb == Verb::ShowRevision || arguments.verb == Verb::Sites;
}

ParseResult parseArguments(const std::vector<std::string>& words) {
    CtlArguments a;
    std::vector<std::string> operands;
    bool optionsEnded = false;
    for (std::size_t i = 0; i < words.size(); ++i) {
        const std::string& w = words[i];
        if (operands.empty() && databaseVerbs().count(w) != 0) {
            return historyCommand(
                a, w, {words.begin() + static_cast<std::ptrdiff_t>(i) + 1, words.end()});
        }
        if (optionsEnded || w.size() < 2 || w[0] != '-') {
            operands.push_back(w);
        } else if (w == "--") {
            optionsEnded = true;
        } else if (w == "--help" || w == "-h") {
            a.verb = Verb::Help;
            return {a, {}};
        } else if (w == "--json") {
            a.json = true;
        } else if (w == "--system") {
            a.systemBus = true;
        } else if (w == "--instance") {
            if (++i == words.size()) {
                return {std::nullopt, "--instance needs the process identifier of a FerixDNC"};
            }
            a.instance = number(words[i], 1, 0x7FFFFFFF);
            if (!a.instance) {
                return {std::nullopt,
                        "--instance needs a process identifier, not \"" + words[i] + "\""};
            }
        } else {
            return {std::nullopt, "unknown option \"" + w + "\""};
        }
    }
    if (operands.empty()) {
        return {std::nullopt, "a command is missing"};
    }
    const auto found = verbs().find(operands.front());
    if (found == verbs().end()) {
        return {std::nullopt, "unknown command \"" + operands.front() + "\""};
    }
    const VerbForm form = found->second;
    operands.erase(operands.begin());
    if (operands.size() < form.least || operands.size() > form.most) {
        return {std::nullopt, "wrong number of operands for \"" + found->first + "\""};
    }
    a.verb = form.verb;
    if (a.verb == Verb::Accept || a.verb == Verb::Reject || a.verb == Verb::Restore) {
        const auto id = number(operands[0], 1, 0x7FFFFFFFFFFFFFFF);
        if (!id) {
            return {std::nullopt, "a revision is a positive number, not \"" + operands[0] + "\""};
        }
        a.revision = *id;
        return {a, {}};
    }
    if (!operands.empty()) {
        const auto subNet = number(operands[0], 1, 16);
        if (!subNet) {
            return {std::nullopt,
                    "the sub net is a number from 1 to 16, not \"" + operands[0] + "\""};
        }
        a.subNet = static_cast<int>(*subNet);
    }
    if (operands.size() >= 2) {
        const auto unit = number(operands[1], 1, 10);
        if (!unit) {
            return {std::nullopt, "the unit is a number from 1 to 10, not \"" + operands[1] + "\""};
        }
        a.unit = static_cast<int>(*unit);
    }
    if (operands.size() >= 3) {
        a.name = operands[2];
    }
    if (operands.size() >= 4) {
        if (a.verb == Verb::Receive) {
            const auto length = number(operands[3], 0, 0x7FFFFFFF);
            if (!length) {
                return {std::nullopt,
                        "the length is a number of bytes, not \"" + operands[3] + "\""};
            }
            a.length = static_cast<int>(*length);
        } else {
            a.argument = operands[3];
        }
    }
    return {a, {}};
}

std::string destination(const CtlArguments& arguments) {
    if (arguments.instance) {
        return dnc::bus::kInstancePrefix + std::to_string(*arguments.instance);
    }
    return dnc::bus::kService;
}

std::string helpText(const std::string& program) {
    // The history's own usage, indented as the commands above.
    const auto indented = [](const std::string& usage) {
        std::string text;
        for (std::size_t start = 0; start < usage.size();) {
            const std::size_t end = std::min(usage.find('\n', start), usage.size());
            text += "  " + usage.substr(start, end - start) + "\n";
            start = end + 1;
        }
        return text;
    };
    const std::string history = indented(dnc::history::historyCommandsUsage());
    const std::string revisions = indented(dnc::history::revisionCommandsUsage());
    const std::string sites = indented(dnc::history::siteCommandsUsage());
    return "Usage: " + program +
           " [--json] [--system] [--instance PID] COMMAND [OPERANDS]\n"
           "       " +
           program +
           " history [OPTIONS] | show-program SHA256 [--history FILE]\n"
           "       " +
           program +
           " revisions [OPTIONS] | diff ID [OTHER] | show-revision ID\n"
           "       " +
           program +
           " sites [--json] [--history FILE|URI]\n"
           "\n"
           "Drives a running FerixDNC over D-Bus, and reads its program history.\n"
           "\n"
           "Commands:\n"
           "  list                          the 16 sub nets: caption, running, on start-up\n"
           "  start N | stop N              start or stop sub net N (1 to 16)\n"
           "  show N | hide N               show or hide the window of sub net N\n"
           "  send N UNIT NAME              send NAME from the unit directory to UNIT (1 to 10)\n"
           "  receive N UNIT NAME [LENGTH]  fetch NAME from UNIT into its unit directory\n"
           "                                (on a DNC line NAME.EXT as for send, EXT the work\n"
           "                                text extension, or NAME alone)\n"
           "  remove N UNIT NAME            delete NAME in the memory of UNIT\n"
           "  memlist N UNIT                the memory list of UNIT\n"
           "  command N UNIT COMMAND [ARG]  a unit command: select FILE, reader, puncher, read,\n"
           "                                section1 ... section4, join, reset, purge\n"
           "  watch [N]                     the events of every sub net (or of N), one a line,\n"
           "                                until interrupted\n"
           "  accept ID | reject ID         put a pending revision in place of the program in\n"
           "                                its unit directory, or turn it down (another\n"
           "                                site's revision: ask that site to)\n"
           "  restore ID                    put an earlier revision back in place\n"
           "\n"
           "Program history (read from the database file: neither FerixDNC nor a bus needed):\n" +
           history + revisions + sites +
           "\n"
           "Options:\n"
           "  --json           machine-readable output (watch: one JSON object a line)\n"
           "  --system         the system bus instead of the session bus\n"
           "  --instance PID   the FerixDNC process PID instead of the one owning\n"
           "                   org.ferixdnc.DNC\n"
           "  --help           this text\n"
           "\n"
           "A request returns when the unit's request has ended; on a terminal, send, receive\n"
           "and command show a progress bar (Ctrl-C stops the transfer).\n"
           "\n"
           "Exit status: 0 done, 1 the request failed (the reason on standard error), 2 usage\n"
           "or arguments refused, 3 no FerixDNC running, 4 the bus refused the call: on the\n"
           "system bus only members of group " +
           std::string(dnc::bus::kOperatorsGroup) +
           " may drive the service. history and\n"
           "show-program: 1 when there is no database, it cannot be read, or no such program\n"
           "is kept.\n";
}

}  // namespace ferixdncctl
