// The history's two commands for a command-line client: list the recorded transfers, print a
// kept program. Both read the database directly, so they work while nothing runs. `args` are
// the words after the command's name; the result is the process's exit status (0 done,
// 1 nothing to show or the database cannot be read, 2 wrong arguments).
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "dnc/history/HistoryStore.h"

namespace dnc::history {

// history [--subnet N] [--unit U] [--name NAME] [--since DATE] [--until DATE] [--limit N]
//         [--json] [--history FILE]
int runHistoryCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

// show-program SHA256 [--history FILE]: the kept program's bytes, unchanged.
int runShowProgramCommand(const std::vector<std::string>& args, std::ostream& out,
                          std::ostream& err);

// The usage lines of both commands, for the client's help.
std::string historyCommandsUsage();

struct HistoryCommandOptions {
    HistoryFilter filter;
    bool json = false;
    bool verify = false;                  // --verify: walk the hash chain instead
    std::optional<std::string> copyTo;    // --copy-to URI: move the file onto a server
    std::optional<std::string> database;  // --history
};
// The options of the history command; nullopt with `error` set when they cannot be read.
std::optional<HistoryCommandOptions> parseHistoryOptions(const std::vector<std::string>& args,
                                                         std::string& error);

// Walks the database's hash chain: 0 when intact, else 1 with the first broken record on `err`.
int verifyHistory(HistoryStore& db, const std::filesystem::path& file, std::ostream& out,
                  std::ostream& err);

// For the commands' output: a text from a line or file without control characters, and a
// JSON string (bytes that are not UTF-8 taken as Latin-1).
std::string printable(const std::string& text);
std::string jsonString(const std::string& text);
// The length of a valid UTF-8 sequence at `pos` of `text`, or 0.
std::size_t utf8Sequence(std::string_view text, std::size_t pos);
// Reads "--name VALUE" or "--name=VALUE" at args[i] (see HistoryCommands.cpp).
std::optional<std::string> optionValue(const std::vector<std::string>& args, std::size_t& i,
                                       const std::string& name, std::string& error);
// True, with the reason on `err`, when `file` cannot be read as a database.
bool databaseUnusable(const std::filesystem::path& file, const std::string& command,
                      std::ostream& err);

// The rows as a table for people, or as a JSON array for programs.
void printHistoryTable(const std::vector<HistoryRow>& rows, std::ostream& out);
void printHistoryJson(const std::vector<HistoryRow>& rows, std::ostream& out);

}  // namespace dnc::history
