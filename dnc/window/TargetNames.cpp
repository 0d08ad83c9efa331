#include "dnc/window/TargetNames.h"

namespace dnc {

namespace {

std::string inCapitals(std::string_view text) {
    std::string result(text);
    for (char& c : result) {
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
    }
    return result;
}

}  // namespace

std::string proposedBaseName(std::string_view fileName, bool capitals) {
    const std::string_view base = fileName.substr(0, fileName.find('.'));
    return capitals ? inCapitals(base) : std::string(base);
}

std::string baseNameOfSeveral(std::string_view fileName, bool capitals) {
    const std::string_view base = fileName.substr(0, fileName.rfind('.'));
    return capitals ? inCapitals(base) : std::string(base);
}

std::string targetFileName(std::string_view base, std::string_view extension,
                           std::string& problem) {
    if (base.empty()) {
        problem = "the file name is empty";
        return {};
    }
    std::string name(base);
    if (!extension.empty()) {
        name += ".";
        name += extension;
    }
    if (name.empty() || name == "." || name == "..") {
        problem = "\"" + name + "\" is no file name";
        return {};
    }
    for (const char c : name) {
        if (c == '/' || c == '\\' || static_cast<unsigned char>(c) < 0x20) {
            problem = "\"" + name + "\" is no plain file name";
            return {};
        }
    }
    return name;
}

}  // namespace dnc
