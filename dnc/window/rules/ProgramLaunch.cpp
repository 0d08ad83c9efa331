#include "dnc/window/rules/ProgramLaunch.h"

#include "dnc/common/FileChecks.h"

namespace dnc::window {

std::optional<std::string> findProgram(const std::string& program, const std::string& searchPath) {
    return findOnPath(program, searchPath);
}

std::optional<ProgramCall> editorCall(const std::string& editor, const std::string& file,
                                      const std::string& searchPath) {
    const auto program = findProgram(editor, searchPath);
    if (!program) {
        return std::nullopt;
    }
    return ProgramCall{*program, {file}};
}

std::optional<std::string> firstProgram(const std::vector<std::string>& candidates,
                                        const std::string& searchPath) {
    for (const std::string& candidate : candidates) {
        if (auto found = findProgram(candidate, searchPath)) {
            return found;
        }
    }
    return std::nullopt;
}

}  // namespace dnc::window
