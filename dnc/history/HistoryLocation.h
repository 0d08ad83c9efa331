// Where the history database lives: the given file, else $XDG_STATE_HOME/DNC/history.db, else
// ~/.local/state/DNC/history.db.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace dnc::history {

std::filesystem::path historyPath(const std::optional<std::string>& given);

}  // namespace dnc::history
