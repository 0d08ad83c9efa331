#include "comm/heidenhain/UnitOneFile.h"

#include <cerrno>

#include "comm/FerixComm.h"
#include "comm/files/PlainName.h"

namespace comm::heidenhain {

std::filesystem::path unitOneDirectory(const ctrlFerixComm& control) {
    return std::filesystem::path(control.FerixHomeDir() + control.FerixDir(1).value());
}

Expected<std::filesystem::path> unitOneFile(const ctrlFerixComm& control, std::string_view name) {
    if (std::string problem = unitFileNameProblem(name); !problem.empty()) {
        return ComError{EINVAL, "FerixComm", std::move(problem), "", 0};
    }
    const std::filesystem::path directory = unitOneDirectory(control);
    if (auto existing = findInDirectory(directory, name)) {
        return *existing;
    }
    return directory / std::string(name);
}

}  // namespace comm::heidenhain
