#include "dnc/window/rules/ProgramLaunch.h"

#include <unistd.h>

#include <filesystem>

namespace dnc::window {

namespace {

bool executableFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::optional<std::string> findProgram(const std::string& program, const std::string& searchPath) {
    if (program.empty()) {
        return std::nullopt;
    }
    if (program.find('/') != std::string::npos) {
        return executableFile(program) ? std::optional<std::string>(program) : std::nullopt;
    }
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        const auto end = searchPath.find(':', start);
        std::string dir =
            searchPath.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (dir.empty()) {
            dir.push_back('.');  // an empty entry means the current directory
        }
        const std::string candidate = dir + "/" + program;
        if (executableFile(candidate)) {
            return candidate;
        }
        if (end == std::string::npos) {
            break;
        }
        start = end + 1;
    }
    return std::nullopt;
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
