#include "comm/AbandonedWrites.h"

#include "comm/FerixComm.h"
#include "comm/TransferReport.h"
#include "comm/files/ProgramFiles.h"

namespace comm {

namespace {

// ".NAME.XXXXXX" was on its way to become "NAME".
std::string programOf(const std::string& temporary) {
    return temporary.substr(1, temporary.size() - 8);
}

}  // namespace

void removeAbandonedWrites(ctrlFerixComm& control) {
    for (int unit = 1; unit <= kUnitCount; ++unit) {
        const Expected<std::string> dir = control.FerixDir(unit);
        if (!dir) {
            continue;
        }
        const std::filesystem::path directory = control.FerixHomeDir() + dir.value();
        for (const std::string& name : removeAbandonedWrites(control.FerixHomeDir(), directory)) {
            const std::string text = "the remains of an interrupted write, " +
                                     (directory / name).string() +
                                     ", were removed; the program was not stored";
            TransferReport(control, static_cast<std::uint8_t>(unit), TransferWay::FromUnit,
                           programOf(name), directory / programOf(name))
                .failedBeforeAnyBytes(text);
            control.site().OnError(false, text, "", 0);
        }
    }
}

}  // namespace comm
