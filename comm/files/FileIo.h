// Whole-file reads and atomic replacement of files in unit directories: a failed or stopped
// write never leaves a partial file in place of a good one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

#include "comm/ComError.h"

namespace comm {

// The bytes of a file. Errors carry the system's error number and description.
Expected<std::string> readWholeFile(const std::filesystem::path& path);

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and renames it over
// `path`. On any failure the temporary file is removed and `path` is untouched. A replaced file
// keeps its permissions; a new one gets 0666 less the process's umask. An entry of that name
// that is not a regular file (a link, a FIFO, a folder) is refused, never replaced.
Status replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// The same for the entry `name` of the open directory `directoryFd`; `shownAs` names the file
// in errors.
Status replaceInDirectory(int directoryFd, const std::string& name, std::string_view bytes,
                          const std::filesystem::path& shownAs);

// Removes the temporary files that writes to `path` left behind when their process was killed
// half way. A write in progress holds a lock on its temporary file, so it is never taken.
void removeStaleTemporaries(const std::filesystem::path& path);

// The same for every file of the open directory `directoryFd`; the names removed.
std::vector<std::string> removeStaleTemporariesIn(int directoryFd);

// Whether `name` has the form of our temporary files: ".<name>.XXXXXX".
bool isTemporaryName(std::string_view name);

// The system's description of an error number, for the detail of a message.
std::string systemDescription(int error);

}  // namespace comm
