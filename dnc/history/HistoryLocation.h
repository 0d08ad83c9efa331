// Where the history database lives: the given file, else $XDG_STATE_HOME/DNC/history.db, else
// ~/.local/state/DNC/history.db.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

namespace dnc::history {

std::filesystem::path historyPath(const std::optional<std::string>& given);

// Where records wait for a history server that does not take them: history-spool.sqlite in
// the folder of the default history file.
std::filesystem::path spoolPath();

}  // namespace dnc::history
