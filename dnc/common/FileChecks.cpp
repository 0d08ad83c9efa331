#include "dnc/common/FileChecks.h"

#include <unistd.h>

#include <cstdlib>
#include <filesystem>

namespace dnc {

namespace {

std::string trimBlanks(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

bool executableFile(const std::string& path) {
    std::error_code ec;
    return std::filesystem::is_regular_file(path, ec) && ::access(path.c_str(), X_OK) == 0;
}

}  // namespace

std::string trimDirectoryPath(const std::string& path) {
    std::string trimmed = trimBlanks(path);
    if (trimmed.size() > 1 && trimmed.back() == '/') {
        trimmed.pop_back();
    }
    return trimmed;
}

bool DirectoryExists(const std::string& path) {
    const std::string trimmed = trimDirectoryPath(path);
    std::error_code ec;
    return !trimmed.empty() && std::filesystem::is_directory(trimmed, ec);
}

std::optional<std::string> findOnPath(const std::string& name, const std::string& searchPath) {
    const std::string program = trimBlanks(name);
    if (program.empty()) {
        return std::nullopt;
    }
    // A bare name is never taken from the current directory unless PATH says so: a program
    // dropped into a work folder must not stand in for the editor.
    if (program.find('/') != std::string::npos) {
        return executableFile(program) ? std::optional<std::string>(program) : std::nullopt;
    }
    std::size_t start = 0;
    while (start <= searchPath.size()) {
        const auto end = searchPath.find(':', start);
        std::string dir =
            searchPath.substr(start, end == std::string::npos ? std::string::npos : end - start);
        if (dir.empty()) {
            dir.push_back('.');
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

bool FileExistsOnPath(const std::string& name, const std::string& searchPath) {
    return findOnPath(name, searchPath).has_value();
}

std::string processSearchPath() {
    const char* path = std::getenv("PATH");
    return path != nullptr ? path : "";
}

}  // namespace dnc
