#include "comm/dnc/UnitDirectory.h"

#include "comm/FerixComm.h"
#include "comm/files/PlainName.h"

namespace comm::dnc {

namespace {

ComError fileStepError(std::string description) {
    return ComError{0, "FerixComm", std::move(description), "", 0};
}

}  // namespace

Expected<std::filesystem::path> unitDirectory(const ctrlFerixComm& control, std::uint8_t unit) {
    const Expected<std::string> dir = control.FerixDir(unit);
    if (!dir) {
        return fileStepError("address " + std::to_string(unit) + " has no unit directory");
    }
    return std::filesystem::path(control.FerixHomeDir() + dir.value());
}

Expected<std::filesystem::path> unitFile(const ctrlFerixComm& control, std::uint8_t unit,
                                         const std::string& name) {
    if (const std::string problem = unitFileNameProblem(name); !problem.empty()) {
        return fileStepError(problem);
    }
    const Expected<std::filesystem::path> directory = unitDirectory(control, unit);
    if (!directory) {
        return directory.error();
    }
    if (auto found = findInDirectory(directory.value(), name)) {
        return *found;
    }
    return directory.value() / name;
}

}  // namespace comm::dnc
