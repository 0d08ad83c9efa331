// The files of the single-unit protocols live in unit 1's directory. A name that comes from the
// line or the operator is taken only when it is a plain file name, so that no request reaches
// outside that directory.
#pragma once

#include <filesystem>
#include <string_view>

#include "comm/ComError.h"

namespace comm {
class ctrlFerixComm;
}  // namespace comm

namespace comm::heidenhain {

// FerixHomeDir + FerixDir(1).
std::filesystem::path unitOneDirectory(const ctrlFerixComm& control);

// The file `name` in unit 1's directory: the existing file whose name matches without regard
// to letter case when there is exactly one, else the name as given. Fails for a name that is
// not plain; the description says why.
Expected<std::filesystem::path> unitOneFile(const ctrlFerixComm& control, std::string_view name);

}  // namespace comm::heidenhain
