// Reading the settings file as a file: it must be a regular file (a link to one is fine), it
// must open without waiting (a FIFO never holds the program), and it must be text. A file that
// exists but fails any of these is one the program may neither run on nor write over: what it
// holds is unknown.
#pragma once

#include <filesystem>
#include <optional>
#include <string>

#include "comm/ComError.h"

namespace dnc {

// The text of the settings file. ENOENT when it is not there (every setting has its default).
comm::Expected<std::string> readSettingsText(const std::filesystem::path& file);

// Why the settings file cannot be used, or nothing (also for an absent file): "cannot be
// read: <reason>" or "is not a text file: <reason>".
std::optional<std::string> settingsFileProblem(const std::filesystem::path& file);

// What the file's name leads to, links followed one by one (relative ones from their own
// folder): the file a write must replace so that a link stays a link.
std::filesystem::path linkTarget(const std::filesystem::path& file);

}  // namespace dnc
