// The commands of the Ferix menu that act on the selected unit: caption, confirmation,
// information-bar text and the control method each one calls.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/FerixComm.h"

namespace dnc::window {

enum class UnitCommand {
    SelectFile,
    ReaderSimulation,
    PuncherSimulation,
    ReaderReading,
    Section1,
    Section2,
    Section3,
    Section4,
    JoinSections,
    Reset,
    PurgeMemory
};

struct UnitCommandEntry {
    UnitCommand command;
    const char* element;  // menu item name
    int caption;          // string number
    int question;         // 0: no confirmation
    int infoText;
};

const std::vector<UnitCommandEntry>& unitCommands();
const UnitCommandEntry& unitCommandEntry(UnitCommand command);

// The information-bar text (File Select adds the file name).
std::string unitCommandText(UnitCommand command, const std::string& fileName,
                            const std::function<std::string(int)>& strings);

// Calls the control method of the command; on the control's thread.
void callUnitCommand(comm::ctrlFerixComm& control, UnitCommand command, std::uint8_t unit,
                     const std::string& fileName);

}  // namespace dnc::window
