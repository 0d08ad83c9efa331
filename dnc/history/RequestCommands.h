// The decision requests as the command-line client lists them from the database: who asked
// which site for what, and how it was settled.
#pragma once

#include <ostream>
#include <string>
#include <vector>

#include "dnc/history/HistoryStore.h"

namespace dnc::history {

// revisions requests [--site NAME] [--open] [--json] [--history FILE]; the words after
// "requests". The process's exit status, as the other revision commands.
int runRequestsCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string requestCommandsUsage();

void printRequestsTable(const std::vector<DecisionRequest>& rows, std::ostream& out);
void printRequestsJson(const std::vector<DecisionRequest>& rows, std::ostream& out);

}  // namespace dnc::history
