// The checks that the arguments of a request pass before anything reaches the line, and the
// unit commands by their names. No part of D-Bus: the texts become InvalidArgs errors there.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "comm/FerixComm.h"

namespace dnc::automation {

// Why `unit` is no unit number (1 to 10); nothing when it is one.
std::optional<std::string> unitProblem(int unit);
// Why `name` is not the plain name of a file in a unit directory (no path, no separators,
// no control characters); nothing when it is one.
std::optional<std::string> fileNameProblem(const std::string& name);
// Why `name` cannot be sent to a unit of a DNC line, which needs a name of 1 to 8 characters,
// a dot and an extension (the control would drop anything else without a word).
std::optional<std::string> dncSendNameProblem(const std::string& name);
// The name a unit of a DNC line is asked for: a receive takes the same form as a send,
// "NAME.EXT" with the line's work text extension (which the control adds itself), or the
// bare NAME as before.
std::string dncReceiveName(const std::string& name, const std::string& workTextExtension);

struct UnitCommand {
    const char* name;
    bool takesFile;  // the argument is the file to select
    void (*run)(comm::ctrlFerixComm& control, std::uint8_t unit, const std::string& file);
};

// The command of that name (select, reader, puncher, read, section1 ... section4, join,
// reset, purge), or null.
const UnitCommand* findUnitCommand(const std::string& name);
// The names of every command, separated by ", ".
std::string unitCommandNames();
// Why `argument` does not fit `command`; nothing when it does.
std::optional<std::string> commandArgumentProblem(const UnitCommand& command,
                                                  const std::string& argument);

}  // namespace dnc::automation
