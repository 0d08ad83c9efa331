// File names that come from the line: only a plain name may become a file in a unit directory,
// so that no name from the line reaches outside its directory.
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>

namespace comm {

// True for a name that is not empty, not "." or "..", and holds no "/", "\" or control
// character.
bool isPlainName(std::string_view name);

// Why a name is not plain, for the detail of an error message; empty for a plain name.
std::string plainNameProblem(std::string_view name);

// The file `name` in `directory`: the exact name when it exists, else the only entry whose
// name matches without regard to ASCII letter case (operators come from platforms that do not
// tell case apart); nullopt when neither exists or the name is not plain.
std::optional<std::filesystem::path> findInDirectory(const std::filesystem::path& directory,
                                                     std::string_view name);

}  // namespace comm
