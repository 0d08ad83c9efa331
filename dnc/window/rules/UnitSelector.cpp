#include "dnc/window/rules/UnitSelector.h"

#include "dnc/window/rules/WindowStrings.h"

namespace dnc::window {

std::vector<std::string> maskList(const ControlSettings& settings) {
    std::vector<std::string> masks{"*.*"};
    for (const std::string& ext : settings.extensions) {
        masks.push_back("*." + ext);
    }
    return masks;
}

std::string fileTypeDescription(const std::string& fileType, const StringLookup& strings) {
    if (fileType.empty()) {
        return fileType;
    }
    for (int id = str::kFileTypeFirst; id <= str::kFileTypeLast; ++id) {
        const std::string text = strings(id);
        if (!text.empty() && text.front() == fileType.front()) {
            return text;
        }
    }
    return fileType;
}

std::vector<UnitEntry> unitEntries(const ControlSettings& settings, const StringLookup& strings) {
    std::vector<UnitEntry> entries;
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        if (!settings.connected[i]) {
            continue;
        }
        std::string dir = settings.ferixDir[i];
        if (!dir.empty()) {
            dir.pop_back();  // the trailing separator
        }
        std::string text;
        switch (settings.protocol) {
            case comm::ProtDNC:
                text = "Ferix " + std::to_string(n) + "   " + settings.ferixHomeDir + dir;
                break;
            case comm::ProtTavro1:
                text = settings.ferixHomeDir + dir + ",   " +
                       fileTypeDescription(settings.heidenhainFileType, strings);
                break;
            default:
                text = settings.ferixHomeDir + dir;
                break;
        }
        entries.push_back({n, text});
    }
    return entries;
}

int keepIndex(int remembered, int count) {
    if (remembered < count) {
        return remembered < -1 ? -1 : remembered;
    }
    return count - 1;
}

int unitIndexAfterChange(comm::ProtocolEnum protocol, int remembered, int count) {
    if (count == 0) {
        return -1;
    }
    return protocol == comm::ProtDNC ? keepIndex(remembered, count) : 0;
}

}  // namespace dnc::window
