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

// The names of a unit directory's conversion chains ("In.cnv" for include, "Out.cnv" for
// exclude). They are the program's own files: never listed for the operator or a unit, never
// served to a unit, never overwritten by a program (this platform has no hidden attribute).
inline constexpr std::string_view kIncludeChainName = "In.cnv";
inline constexpr std::string_view kExcludeChainName = "Out.cnv";

// True for a chain file name, letter case ignored (a unit may ask for "IN.CNV").
bool isChainFileName(std::string_view name);

// Why a unit may not read or write the file `name`: the plain-name problem, or that the name
// belongs to a conversion chain. Empty when it may.
std::string unitFileNameProblem(std::string_view name);

// The file `name` in `directory`: the exact name when it exists, else the only entry whose
// name matches without regard to ASCII letter case (operators come from platforms that do not
// tell case apart); nullopt when neither exists or the name is not plain.
std::optional<std::filesystem::path> findInDirectory(const std::filesystem::path& directory,
                                                     std::string_view name);

}  // namespace comm
