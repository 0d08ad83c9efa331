#include "dnc/automation/RequestArguments.h"

#include <array>
#include <cctype>

namespace dnc::automation {

namespace {

constexpr std::size_t kMaxFileName = 255;
constexpr std::size_t kDncNameLength = 8;

using comm::ctrlFerixComm;

const std::array<UnitCommand, 11> kCommands{{
    {"select", true,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string& f) { c.DoPCRequestFerixSEL(u, f); }},
    {"reader", false,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string&) { c.DoPCRequestFerixSTR(u); }},
    {"puncher", false,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string&) { c.DoPCRequestFerixSTP(u); }},
    {"read", false,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string&) { c.DoPCRequestFerixTR(u); }},
    {"section1", false,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string&) { c.DoPCRequestFerixSek1(u); }},
    {"section2", false,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string&) { c.DoPCRequestFerixSek2(u); }},
    {"section3", false,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string&) { c.DoPCRequestFerixSek3(u); }},
    {"section4", false,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string&) { c.DoPCRequestFerixSek4(u); }},
    {"join", false,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string&) { c.DoPCRequestFerixSekC(u); }},
    {"reset", false,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string&) { c.DoPCRequestFerixReset(u); }},
    {"purge", false,
     [](ctrlFerixComm& c, std::uint8_t u, const std::string&) { c.DoPCRequestFerixNul(u); }},
}};

}  // namespace

std::optional<std::string> unitProblem(int unit) {
    if (unit < 1 || unit > 10) {
        return "unit " + std::to_string(unit) + " is outside 1 to 10";
    }
    return std::nullopt;
}

std::optional<std::string> fileNameProblem(const std::string& name) {
    if (name.empty()) {
        return "the file name is empty";
    }
    if (name.size() > kMaxFileName) {
        return "the file name is longer than " + std::to_string(kMaxFileName) + " bytes";
    }
    if (name == "." || name == "..") {
        return "\"" + name + "\" is not a file name";
    }
    for (const char c : name) {
        const auto byte = static_cast<unsigned char>(c);
        if (c == '/' || c == '\\') {
            return "\"" + name + "\" is a path, not a plain file name";
        }
        if (byte < 0x20 || byte == 0x7F) {
            return "the file name holds a control character";
        }
    }
    return std::nullopt;
}

std::optional<std::string> dncSendNameProblem(const std::string& name) {
    const auto dot = name.find('.');
    if (dot == std::string::npos || dot == 0 || dot > kDncNameLength || dot + 1 == name.size()) {
        return "\"" + name +
               "\" cannot go to a unit: it needs a name of 1 to 8 characters, a dot and an "
               "extension";
    }
    return std::nullopt;
}

std::string dncReceiveName(const std::string& name, const std::string& workTextExtension) {
    const auto dot = name.rfind('.');
    if (dot == std::string::npos || dot == 0 || name.size() - dot - 1 != workTextExtension.size()) {
        return name;
    }
    for (std::size_t i = 0; i < workTextExtension.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(name[dot + 1 + i])) !=
            std::toupper(static_cast<unsigned char>(workTextExtension[i]))) {
            return name;
        }
    }
    return name.substr(0, dot);
}

const UnitCommand* findUnitCommand(const std::string& name) {
    for (const UnitCommand& command : kCommands) {
        if (name == command.name) {
            return &command;
        }
    }
    return nullptr;
}

std::string unitCommandNames() {
    std::string names;
    for (const UnitCommand& command : kCommands) {
        names += (names.empty() ? "" : ", ") + std::string(command.name);
    }
    return names;
}

std::optional<std::string> commandArgumentProblem(const UnitCommand& command,
                                                  const std::string& argument) {
    if (command.takesFile) {
        if (const auto problem = fileNameProblem(argument)) {
            return std::string(command.name) + ": " + *problem;
        }
        return std::nullopt;
    }
    if (!argument.empty()) {
        return std::string(command.name) + " takes no argument";
    }
    return std::nullopt;
}

}  // namespace dnc::automation
