// Which panes and commands each protocol offers, and which commands a running transfer
// switches off. Elements are named as the window names its objects.
#pragma once

#include <string>
#include <vector>

#include "comm/ProtocolEnum.h"

namespace dnc::window {

enum class Availability { Enabled, Disabled, Unchanged };

struct ProtocolLayout {
    bool memoryPane = true;       // frFerixLst shown, else frFerix (the file-name pane)
    Availability listCommands{};  // cmdFerixLstRemove, btnFerixLst, mnuTransferLst/Remove
    Availability unitCommands{};  // btnClearMemory and the Ferix menu's commands
    Availability unitSelector{};  // comboFerixAdr
};

ProtocolLayout protocolLayout(comm::ProtocolEnum protocol);

const std::vector<std::string>& listCommandNames();
const std::vector<std::string>& unitCommandNames();

// The commands switched off while a transfer runs (and on again after it).
std::vector<std::string> commandsSwitchedByShowStop(comm::ProtocolEnum protocol);

}  // namespace dnc::window
