// Whether a history database file may be handed to SQLite: only a regular file is. A FIFO
// would hold the opener for ever, and a folder or a device gives no useful message.
#pragma once

#include <filesystem>
#include <string>

namespace dnc::history {

struct DatabaseFile {
    enum class State { Regular, Missing, Unusable };
    State state = State::Missing;
    std::string problem;  // for Missing and Unusable: a sentence naming the file
};

DatabaseFile checkDatabaseFile(const std::filesystem::path& file);

}  // namespace dnc::history
