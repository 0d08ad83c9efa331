#include "dnc/manager/ControlSettings.h"

#include "dnc/config/SubNetConfiguration.h"

namespace dnc {

std::string ControlSettings::unitDirectory(int unit) const {
    if (unit < 1 || unit > comm::kUnitCount) {
        return ferixHomeDir;
    }
    return ferixHomeDir + ferixDir[static_cast<std::size_t>(unit - 1)];
}

ControlSettings captureSettings(const comm::ctrlFerixComm& control,
                                const SubNetConfiguration* configuration) {
    ControlSettings s;
    s.protocol = control.Protocol();
    s.caption = control.Caption();
    s.ferixHomeDir = control.FerixHomeDir();
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        const auto dir = control.FerixDir(n);
        const auto connected = control.Connected(n);
        s.ferixDir[i] = dir.ok() ? dir.value() : std::string();
        s.connected[i] = connected.ok() && connected.value();
    }
    for (int k = 0; k < comm::kKindExtCount; ++k) {
        s.extensions[static_cast<std::size_t>(k)] = control.ext(static_cast<comm::KindExt>(k));
    }
    s.heidenhainFileType = control.HeidenhainFileType();
    if (configuration != nullptr) {
        s.autoFerixLst = configuration->AutoFerixLst;
        s.autoFerixLstCont = configuration->AutoFerixLstCont;
        s.editor = configuration->Editor;
    }
    return s;
}

}  // namespace dnc
