// The configuration of one sub net: copies it between the settings store and the sub net's
// communication control, and keeps the three settings that have no control property. The
// configuration dialog reuses it; the headless service uses it as it is.
#pragma once

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

#include "comm/FerixComm.h"
#include "dnc/config/ConfigStore.h"

namespace dnc {

inline constexpr int kSubNetCount = 16;

std::string subNetSection(int subNet);  // "Config" + N

class SubNetConfiguration {
public:
    // Takes the localized stems ("Sub Net ", "Machine") in the language of the calling thread.
    SubNetConfiguration();

    // Reads section "Config"ID and applies every key to the control, then raises ConfigChanged.
    void ConfigureFerixCommFromRegister(comm::ctrlFerixComm& TC, const ConfigStore& store, int ID);
    // Writes every key of section "Config"ID from the control and this object, in the fixed
    // order. False when the store could not be written (it warned).
    bool ConfigureRegisterFromFerixComm(comm::ctrlFerixComm& TC, ConfigStore& store, int ID);

    // Called after stored or edited values were applied to the control.
    void onConfigChanged(std::function<void()> listener);
    void raiseConfigChanged();

    bool AutoFerixLst = true;
    bool AutoFerixLstCont = false;
    std::string Editor;

    // The defaults of sub net ID that depend on its number and on the language.
    std::string defaultCaption(int ID) const;
    std::string defaultFerixHomeDir(int ID) const;
    std::string defaultFerixDir(int unit) const;

private:
    std::string captionStem_;
    std::string unitDirStem_;
    std::vector<std::function<void()>> listeners_;
};

// The default editor of program files on this platform.
std::string defaultEditor();

}  // namespace dnc
