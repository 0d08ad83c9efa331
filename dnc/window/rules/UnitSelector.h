// The unit selector and the mask list of the unit directory, rebuilt whenever the sub net's
// configuration changes.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "dnc/manager/ControlSettings.h"

namespace dnc::window {

using StringLookup = std::function<std::string(int)>;

struct UnitEntry {
    int unit = 0;
    std::string text;

    bool operator==(const UnitEntry&) const = default;
};

// "*.*" and "*." followed by each of the seven file-kind extensions, in property order.
std::vector<std::string> maskList(const ControlSettings& settings);

// The description of a Tavro1 file type: the first of strings 733..741 that begins with the
// type's letter, else the type itself.
std::string fileTypeDescription(const std::string& fileType, const StringLookup& strings);

// One entry per connected unit, with the protocol's text.
std::vector<UnitEntry> unitEntries(const ControlSettings& settings, const StringLookup& strings);

// The index to select after a list was rebuilt: the remembered one while it exists (-1 stays
// none), else the last entry.
int keepIndex(int remembered, int count);

// The unit selector's index after a configuration change: DNC keeps the remembered unit, every
// other protocol takes the first.
int unitIndexAfterChange(comm::ProtocolEnum protocol, int remembered, int count);

}  // namespace dnc::window
