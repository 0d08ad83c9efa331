#include "dnc/history/HistoryLocation.h"

#include <cstdlib>

namespace dnc::history {

std::filesystem::path historyPath(const std::optional<std::string>& given) {
    if (given && !given->empty()) {
        return *given;
    }
    // XDG: a relative value is invalid and ignored.
    if (const char* state = std::getenv("XDG_STATE_HOME"); state != nullptr && *state == '/') {
        return std::filesystem::path(state) / "DNC" / "history.db";
    }
    const char* home = std::getenv("HOME");
    return std::filesystem::path(home != nullptr ? home : ".") / ".local" / "state" / "DNC" /
           "history.db";
}

std::filesystem::path spoolPath() {
    return historyPath(std::nullopt).parent_path() / "history-spool.sqlite";
}

}  // namespace dnc::history
