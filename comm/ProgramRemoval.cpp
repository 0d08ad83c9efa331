#include "comm/ProgramRemoval.h"

#include <cerrno>

#include "comm/FerixComm.h"
#include "comm/files/ProgramFiles.h"

namespace comm {

Status removeUnitProgram(ctrlFerixComm& control, std::uint8_t unit, const std::string& name,
                         const std::filesystem::path& path) {
    ProgramRemoval removal;
    removal.unit = unit;
    removal.name = name;
    removal.path = path.string();
    removal.startedBy =
        control.OperatorRequest() ? TransferStarter::Operator : TransferStarter::Unit;
    // What is removed is kept in the history, so that an earlier revision can bring it back.
    Expected<std::string> content =
        readProgram(control.FerixHomeDir(), path, control.MaxProgramMegabytes());
    if (!content && content.error().number == ENOENT) {
        return content.error();
    }
    if (content) {
        removal.bytes = std::move(content.value());
        removal.hasBytes = true;
    }
    if (control.ProtectPrograms()) {
        removal.held = true;
    } else if (const Status removed = removeProgram(control.FerixHomeDir(), path); !removed) {
        return removed;
    }
    control.site().ProgramRemoved(removal);
    return {};
}

}  // namespace comm
