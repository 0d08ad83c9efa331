// The directory listing that a machine on a Tavro1 line asks for: one line per ordinary file of
// unit 1's directory, the name, a blank, the size in bytes in decimal, CR LF.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

#include "comm/ComError.h"

namespace comm::heidenhain {

// The listing of `directory`, in name order, leaving out the file named `listingName` and
// hidden files (names beginning with "."; unfinished replacements are among them). The text is
// built in memory, so that asking for a listing never touches a file of the directory.
Expected<std::string> directoryListing(const std::filesystem::path& directory,
                                       std::string_view listingName);

}  // namespace comm::heidenhain
