// The PC directory of a unit and the files in it that the line names.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "comm/ComError.h"
#include "comm/Export.h"

namespace comm {
class ctrlFerixComm;
}

namespace comm::dnc {

// FerixHomeDir followed by FerixDir(unit), joined as they are written. Only units 1 to 10
// have a directory.
Expected<std::filesystem::path> unitDirectory(const ctrlFerixComm& control, std::uint8_t unit);

// The file `name` of a unit directory: the name must be plain and not a chain file's; an existing
// file whose name differs only in letter case stands for it. A name that exists in neither form
// gives the exact path (the file to create).
FERIXCOMM_API Expected<std::filesystem::path> unitFile(const ctrlFerixComm& control,
                                                       std::uint8_t unit, const std::string& name);

}  // namespace comm::dnc
