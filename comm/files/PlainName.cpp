#include "comm/files/PlainName.h"

#include <algorithm>
#include <cctype>
#include <system_error>

namespace comm {

std::string plainNameProblem(std::string_view name) {
    if (name.empty()) {
        return "the file name is empty";
    }
    if (name == "." || name == "..") {
        return std::string("\"").append(name).append("\" is not a file name");
    }
    for (char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\') {
            return std::string("the file name \"")
                .append(name)
                .append("\" contains a directory separator");
        }
        if (byte < 0x20 || byte == 0x7F) {
            return "the file name contains the control character " + std::to_string(byte);
        }
    }
    return {};
}

bool isPlainName(std::string_view name) {
    return plainNameProblem(name).empty();
}

namespace {

bool sameIgnoringCase(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

}  // namespace

bool isChainFileName(std::string_view name) {
    return sameIgnoringCase(name, kIncludeChainName) || sameIgnoringCase(name, kExcludeChainName);
}

std::string unitFileNameProblem(std::string_view name) {
    if (std::string problem = plainNameProblem(name); !problem.empty()) {
        return problem;
    }
    if (name.front() == '.') {
        // Hidden: never listed, and the form of our own temporary files.
        return std::string("\"").append(name).append(
            "\" begins with a dot: a hidden file is not a program");
    }
    if (isChainFileName(name)) {
        return std::string("\"").append(name).append(
            "\" is the unit's conversion chain, not a program");
    }
    return {};
}

std::optional<std::filesystem::path> findInDirectory(const std::filesystem::path& directory,
                                                     std::string_view name) {
    if (!isPlainName(name)) {
        return std::nullopt;
    }
    std::error_code ec;
    const std::filesystem::path exact = directory / std::string(name);
    if (std::filesystem::is_regular_file(exact, ec)) {
        return exact;
    }
    std::optional<std::filesystem::path> found;
    for (std::filesystem::directory_iterator it(directory, ec), end; !ec && it != end;
         it.increment(ec)) {
        if (!it->is_regular_file(ec) || !sameIgnoringCase(it->path().filename().string(), name)) {
            continue;
        }
        if (found) {
            return std::nullopt;  // two candidates: refuse to guess
        }
        found = it->path();
    }
    return found;
}

}  // namespace comm
