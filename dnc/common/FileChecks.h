// Whether a directory exists and where a program is found: the checks of the configuration
// dialog and of the sub-net window, in one place so that both judge a path alike.
#pragma once

#include <optional>
#include <string>

namespace dnc {

// Blanks at both ends removed and one trailing separator dropped ("/" stays "/").
std::string trimDirectoryPath(const std::string& path);

// The trimmed path names an existing directory (a link to one counts).
bool DirectoryExists(const std::string& path);

// The program's path: a name with a separator must be an executable file as written; a bare
// name is looked up along `searchPath` (":"-separated, an empty entry is the current
// directory). Blanks around the name are ignored.
std::optional<std::string> findOnPath(const std::string& name, const std::string& searchPath);

// Whether findOnPath finds the program.
bool FileExistsOnPath(const std::string& name, const std::string& searchPath);

// The PATH of this process ("" when unset).
std::string processSearchPath();

}  // namespace dnc
