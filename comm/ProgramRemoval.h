// The one way a program leaves a unit directory on behalf of a unit or the line's own rules:
// the host is told of every removal so that it becomes a revision. When the control protects
// its programs the file stays and the removal waits for the operator's approval.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "comm/ComError.h"

namespace comm {

class ctrlFerixComm;

// Removes the program `path` (named `name`, of unit `unit`), or holds its removal. ENOENT when
// there is no such program (nothing is told then); another failure leaves the file and is
// returned untold.
Status removeUnitProgram(ctrlFerixComm& control, std::uint8_t unit, const std::string& name,
                         const std::filesystem::path& path);

}  // namespace comm
