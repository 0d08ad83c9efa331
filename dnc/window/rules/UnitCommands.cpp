#include "dnc/window/rules/UnitCommands.h"

#include <functional>
#include <stdexcept>

#include "dnc/window/rules/WindowTexts.h"

namespace dnc::window {

const std::vector<UnitCommandEntry>& unitCommands() {
    using C = UnitCommand;
    static const std::vector<UnitCommandEntry> table{
        {C::SelectFile, "mnuFerixSelectFile", 251, 0, 425},
        {C::ReaderSimulation, "mnuFerixSTR", 252, 0, 427},
        {C::PuncherSimulation, "mnuFerixSTP", 253, 0, 426},
        {C::ReaderReading, "mnuFerixReadTR", 254, 0, 419},
        {C::Section1, "mnuFerixSEK1", 255, 0, 420},
        {C::Section2, "mnuFerixSEK2", 256, 0, 421},
        {C::Section3, "mnuFerixSEK3", 257, 0, 422},
        {C::Section4, "mnuFerixSEK4", 258, 0, 423},
        {C::JoinSections, "mnuFerixSEKC", 259, 0, 424},
        {C::Reset, "mnuFerixInit", 260, 417, 418},
        {C::PurgeMemory, "mnuFerixClearMemory", 261, 415, 416},
    };
    return table;
}

const UnitCommandEntry& unitCommandEntry(UnitCommand command) {
    for (const UnitCommandEntry& entry : unitCommands()) {
        if (entry.command == command) {
            return entry;
        }
    }
    throw std::logic_error("unknown unit command");
}

std::string unitCommandText(UnitCommand command, const std::string& fileName,
                            const std::function<std::string(int)>& strings) {
    if (command == UnitCommand::SelectFile) {
        return fileSelectText(fileName, strings);
    }
    return strings(unitCommandEntry(command).infoText);
}

void callUnitCommand(comm::ctrlFerixComm& control, UnitCommand command, std::uint8_t unit,
                     const std::string& fileName) {
    using C = UnitCommand;
    switch (command) {
        case C::SelectFile:
            control.DoPCRequestFerixSEL(unit, fileName);
            break;
        case C::ReaderSimulation:
            control.DoPCRequestFerixSTR(unit);
            break;
        case C::PuncherSimulation:
            control.DoPCRequestFerixSTP(unit);
            break;
        case C::ReaderReading:
            control.DoPCRequestFerixTR(unit);
            break;
        case C::Section1:
            control.DoPCRequestFerixSek1(unit);
            break;
        case C::Section2:
            control.DoPCRequestFerixSek2(unit);
            break;
        case C::Section3:
            control.DoPCRequestFerixSek3(unit);
            break;
        case C::Section4:
            control.DoPCRequestFerixSek4(unit);
            break;
        case C::JoinSections:
            control.DoPCRequestFerixSekC(unit);
            break;
        case C::Reset:
            control.DoPCRequestFerixReset(unit);
            break;
        case C::PurgeMemory:
            control.DoPCRequestFerixNul(unit);
            break;
    }
}

}  // namespace dnc::window
