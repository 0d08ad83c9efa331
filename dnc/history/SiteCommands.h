// The sites command of the command-line client: which sites of the plant have a service
// running, read from the heartbeats in the history. `args` are the words after the command's
// name; the result is the process's exit status (0 done, 1 the history cannot be read, 2 wrong
// arguments).
#pragma once

#include <chrono>
#include <ostream>
#include <string>
#include <vector>

#include "dnc/history/Heartbeat.h"

namespace dnc::history {

// sites [--json] [--history FILE|URI]
int runSitesCommand(const std::vector<std::string>& args, std::ostream& out, std::ostream& err);

std::string siteCommandsUsage();

// The beats as a table for people or a JSON array for programs; silent as of `now`.
void printSitesTable(const std::vector<Heartbeat>& beats, std::chrono::system_clock::time_point now,
                     std::ostream& out);
void printSitesJson(const std::vector<Heartbeat>& beats, std::chrono::system_clock::time_point now,
                    std::ostream& out);

}  // namespace dnc::history
