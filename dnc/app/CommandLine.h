// The program's command line.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace dnc {

struct CommandLine {
    enum class Mode { Usage, Help, Version, Headless, Demo, CheckConfig, Windows, DemoWindow };
    Mode mode = Mode::Usage;
    std::optional<std::string> config;
    std::optional<std::string> history;  // the history database
    // The history when neither --history nor the settings name one.
    std::optional<std::string> defaultHistory;
    std::vector<int> subNets;
    bool showInTaskbar = false;        // "ShowInTaskbar" anywhere on the line
    bool systemBus = false;            // --system-bus: the headless service on the system bus
    std::string error;                 // why the line could not be read
    std::string demoProtocol = "dnc";  // --demo-window PROTOCOL
};

CommandLine parseCommandLine(const std::vector<std::string>& arguments);

std::string usageText(const std::string& program);

}  // namespace dnc
