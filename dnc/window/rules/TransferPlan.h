// What a transfer or delete command does with the operator's selection, decided before the
// first request goes out (so a refresh during the batch cannot change which files are sent).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "comm/ProtocolEnum.h"
#include "dnc/window/rules/SelectionSummary.h"

namespace dnc::window {

struct TransferPlan {
    enum class Refusal { None, NoFileSelected, FileNameMissing, Silent };

    Refusal refusal = Refusal::None;
    std::uint8_t unit = 0;
    std::vector<ListEntry> files;  // in list order
    bool withLength = false;       // pass each size from the memory list
    bool batch = false;            // set BatchRunning for the duration
    bool refreshAtEnd = false;     // refresh the memory list once at the end
    bool clearInfoAtEnd = false;   // clear the information bar at the end
};

struct Selection {
    int unit = 0;                     // 0: no unit selected
    std::vector<ListEntry> selected;  // in list order
    std::optional<ListEntry> current;
};

struct AutoRefresh {
    bool autoFerixLst = true;
    bool autoFerixLstCont = false;
};

// Files of the unit directory to the unit.
TransferPlan planTransferToUnit(comm::ProtocolEnum protocol, const Selection& unitDirectory,
                                AutoRefresh refresh);
// Files of the unit's memory (or the typed name) into the unit directory.
TransferPlan planTransferFromUnit(comm::ProtocolEnum protocol, const Selection& memory,
                                  const std::string& typedName);
// Delete files in the unit's memory (after the confirmation).
TransferPlan planRemove(const Selection& memory, AutoRefresh refresh);

// Whether a FerixMemChanged of the selected unit refreshes the memory list now.
bool refreshOnMemoryChange(AutoRefresh refresh, bool batchRunning);

}  // namespace dnc::window
