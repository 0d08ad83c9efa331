// Moves a history file onto a PostgreSQL server: every record with its id, site and seal, every
// kept program, so that the chains verify on the server as they did in the file.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

namespace dnc::history {

// Copies the history in `file` into the empty history at `uri`. The file must verify and have
// this program's schema; it is only read. The number of records whose seals were carried over,
// or -1 with `error` set (nothing is written on the server then).
std::int64_t copyHistory(const std::filesystem::path& file, const std::string& uri,
                         std::string& error);

}  // namespace dnc::history
