// FerixDNC with its network manager: the manager window, the sub nets flagged for start-up
// (windows hidden), the sub nets named on the command line (windows shown), the network
// exported on the session bus. SIGINT and SIGTERM unload the manager as its Exit does.
#pragma once

#include <filesystem>
#include <vector>

namespace dnc::window {

struct ManagerProgramOptions {
    std::filesystem::path config;
    std::vector<int> subNets;       // started at once, their windows shown
    bool showInTaskbar = false;     // "ShowInTaskbar" on the command line
    std::filesystem::path history;  // the program history's database (empty: none kept)
};

int runNetworkManager(int& argc, char** argv, const ManagerProgramOptions& options);

}  // namespace dnc::window
