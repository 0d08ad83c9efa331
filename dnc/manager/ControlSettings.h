// The control's settings that a view of the sub net shows (unit table, protocol, extensions,
// the configuration's own values), copied on the sub net's thread whenever the configuration
// changes, so that another thread can read them without reaching into the control.
#pragma once

#include <array>
#include <string>

#include "comm/FerixComm.h"

namespace dnc {

class SubNetConfiguration;

struct ControlSettings {
    comm::ProtocolEnum protocol = comm::ProtDNC;
    std::string caption;
    std::string ferixHomeDir;
    std::array<std::string, comm::kUnitCount> ferixDir;  // index unit - 1
    std::array<bool, comm::kUnitCount> connected{};      // as the protocol sees it
    std::array<std::string, comm::kKindExtCount> extensions;
    std::string heidenhainFileType;
    bool autoFerixLst = true;
    bool autoFerixLstCont = false;
    std::string editor;

    // The unit directory of unit 1..10: FerixHomeDir + FerixDir(unit).
    std::string unitDirectory(int unit) const;
};

// Copies the settings; on the control's thread.
ControlSettings captureSettings(const comm::ctrlFerixComm& control,
                                const SubNetConfiguration* configuration);

}  // namespace dnc
