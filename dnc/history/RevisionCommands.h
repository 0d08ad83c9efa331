// The revision commands of the command-line client that read the database directly: list the
// revisions, compare two of them, print one. `args` are the words after the command's name; the
// result is the process's exit status (0 done, 1 nothing to show or the database cannot be
// read, 2 wrong arguments).
#pragma once

#include <cstdint>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

#include "dnc/history/HistoryStore.h"

namespace dnc::history {

// revisions [--json] [--history FILE] [SUBNET [UNIT [NAME]]] [--state STATE]
int runRevisionsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// diff ID [OTHER] [--history FILE]: OTHER (default: the released one) against ID.
int runDiffCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);
// show-revision ID [--history FILE]: the revision's content, byte for byte.
int runShowRevisionCommand(const std::vector<std::string>& args, std::ostream& out,
                           std::ostream& err);

std::string revisionCommandsUsage();

// The unified difference from revision `other` (0: the released revision of the same program)
// to revision `id`; nullopt with `error` when either or its content is not at hand. Empty
// when both are the same bytes.
std::optional<std::string> compareRevisions(HistoryStore& db, std::int64_t id, std::int64_t other,
                                            std::string& error);
// The content of a revision (empty for one that removed its program); nullopt with `error`
// when it is gone.
std::optional<std::string> revisionContent(HistoryStore& db, const RevisionRow& row,
                                           std::string& error);
// The content kept under a revision's hash, also of one that removed its program (what the
// file held before); nullopt with `error` when it is gone or was never known.
std::optional<std::string> keptContent(HistoryStore& db, const RevisionRow& row,
                                       std::string& error);

void printRevisionsTable(const std::vector<RevisionRow>& rows, std::ostream& out);
void printRevisionsJson(const std::vector<RevisionRow>& rows, std::ostream& out);

}  // namespace dnc::history
