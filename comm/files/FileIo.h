// Whole-file reads and atomic replacement of files in unit directories: a failed or stopped
// write never leaves a partial file in place of a good one.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "comm/ComError.h"

namespace comm {

// The bytes of a file. Errors carry the system's error number and description.
Expected<std::string> readWholeFile(const std::filesystem::path& path);

// Writes `bytes` to a temporary file beside `path`, flushes it to the disk and renames it over
// `path`. On any failure the temporary file is removed and `path` is untouched.
Status replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes);

// Removes the temporary files that writes to `path` left behind when their process was killed
// half way. Only for callers that hold a lock excluding every other writer of `path`.
void removeStaleTemporaries(const std::filesystem::path& path);

// The system's description of an error number, for the detail of a message.
std::string systemDescription(int error);

}  // namespace comm
