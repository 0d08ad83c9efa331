#include "dnc/config/SubNetConfiguration.h"

#include <cstdlib>

#include "dnc/config/TextForms.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc {

namespace {

constexpr int kStringSubNet = 750;
constexpr int kStringMachine = 751;

constexpr const char* kExtKeys[comm::kKindExtCount] = {
    "SourceTextExt", "WorkTextExt",   "ListExt",    "SourceMacroExt",
    "WorkMacroExt",  "SourceDiagExt", "WorkDiagExt"};
constexpr const char* kExtDefaults[comm::kKindExtCount] = {"STX", "WTX", "FDI", "SMC",
                                                           "WMC", "SDG", "WDG"};

std::string homeDirectory() {
    const char* home = std::getenv("HOME");
    std::string dir = home != nullptr && *home != '\0' ? home : ".";
    if (dir.back() == '/') {
        dir.pop_back();
    }
    return dir;
}

}  // namespace

std::string subNetSection(int subNet) {
    return "Config" + std::to_string(subNet);
}

std::string defaultEditor() {
    return "xdg-open";
}

SubNetConfiguration::SubNetConfiguration()
    : Editor(defaultEditor()),
      captionStem_(loc::resString(kStringSubNet) + " "),
      unitDirStem_(loc::resString(kStringMachine)) {}

std::string SubNetConfiguration::defaultCaption(int ID) const {
    return captionStem_ + std::to_string(ID);
}

std::string SubNetConfiguration::defaultFerixHomeDir(int ID) const {
    return homeDirectory() + "/DNC" + std::to_string(ID) + "/";
}

std::string SubNetConfiguration::defaultFerixDir(int unit) const {
    return unitDirStem_ + std::to_string(unit) + "/";
}

void SubNetConfiguration::onConfigChanged(std::function<void()> listener) {
    listeners_.push_back(std::move(listener));
}

void SubNetConfiguration::raiseConfigChanged() {
    for (const auto& listener : listeners_) {
        listener();
    }
}

void SubNetConfiguration::ConfigureFerixCommFromRegister(comm::ctrlFerixComm& TC,
                                                         const ConfigStore& store, int ID) {
    const StoreSection s = store.section(subNetSection(ID));
    AutoFerixLst = s.readBool("AutoFerixLst", true);
    AutoFerixLstCont = s.readBool("AutoFerixLstCont", false);
    Editor = s.readString("Editor", defaultEditor());

    // Values that the control refuses (a speed it cannot use, a protocol change on a running
    // line) leave what the control had.
    TC.setCaption(s.readString("Caption", defaultCaption(ID)));
    TC.setCommPort(static_cast<std::int16_t>(s.readInt("CommPort", 1, 1, INT16_MAX)));
    (void)TC.setCommSpeed(s.readString("CommSpeed", "4800"));
    (void)TC.setCommDataBit(s.readString("CommDataBit", "8"));
    (void)TC.setCommStopBit(s.readString("CommStopBit", "2"));
    (void)TC.setCommParity(s.readString("CommParity", "N"));
    (void)TC.setCommHandshaking(
        static_cast<std::int32_t>(s.readInt("CommHandshaking", 0, INT32_MIN, INT32_MAX)));
    TC.setCommXOnChar(static_cast<std::uint8_t>(s.readInt("CommXOnChar", 17, 0, 255)));
    TC.setCommXOffChar(static_cast<std::uint8_t>(s.readInt("CommXOffChar", 19, 0, 255)));
    TC.setFerixHomeDir(s.readString("FerixHomeDir", defaultFerixHomeDir(ID)));
    TC.setZerosInName(s.readBool("ZerosInName", false));
    TC.setF4COPYTimeout(
        static_cast<std::int16_t>(s.readInt("F4COPYTimeout", 8000, INT16_MIN, INT16_MAX)));
    TC.setDNCMaxRepeatNo(
        static_cast<std::int16_t>(s.readInt("DNCMaxRepeatNo", 4, INT16_MIN, INT16_MAX)));
    (void)TC.setProtocol(static_cast<comm::ProtocolEnum>(
        s.readInt("Protocol", comm::ProtDNC, INT32_MIN, INT32_MAX)));
    for (int k = 0; k < comm::kKindExtCount; ++k) {
        TC.setExt(static_cast<comm::KindExt>(k), s.readString(kExtKeys[k], kExtDefaults[k]));
    }
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        const std::string unit = std::to_string(n);
        (void)TC.setFerixDir(n, s.readString("FerixDir" + unit, defaultFerixDir(n)));
        (void)TC.setPrefix(n, s.readString("Prefix" + unit, "PPG"));
        (void)TC.setConnected(n, s.readBool("Connected" + unit, false));
    }
    TC.setHeidenhainMaster(s.readBool("HeidenhainMaster", true));
    TC.setHeidenhainCRLF(s.readBool("HeidenhainCRLF", true));
    TC.setHeidenhainFileType(s.readString("HeidenhainFileType", "N"));
    raiseConfigChanged();
}

bool SubNetConfiguration::ConfigureRegisterFromFerixComm(comm::ctrlFerixComm& TC,
                                                         ConfigStore& store, int ID) {
    ConfigStore::Values v;
    v.emplace_back("AutoFerixLst", formatBool(AutoFerixLst));
    v.emplace_back("AutoFerixLstCont", formatBool(AutoFerixLstCont));
    v.emplace_back("Editor", Editor);
    v.emplace_back("Caption", TC.Caption());
    v.emplace_back("CommPort", formatInt(TC.CommPort()));
    v.emplace_back("CommSpeed", TC.CommSpeed());
    v.emplace_back("CommDataBit", TC.CommDataBit());
    v.emplace_back("CommStopBit", TC.CommStopBit());
    v.emplace_back("CommParity", TC.CommParity());
    v.emplace_back("CommHandshaking", formatInt(TC.CommHandshaking()));
    v.emplace_back("CommXOnChar", formatInt(TC.CommXOnChar()));
    v.emplace_back("CommXOffChar", formatInt(TC.CommXOffChar()));
    v.emplace_back("FerixHomeDir", TC.FerixHomeDir());
    v.emplace_back("ZerosInName", formatBool(TC.ZerosInName()));
    v.emplace_back("F4COPYTimeout", formatInt(TC.F4COPYTimeout()));
    v.emplace_back("DNCMaxRepeatNo", formatInt(TC.DNCMaxRepeatNo()));
    v.emplace_back("Protocol", formatInt(TC.Protocol()));
    for (int k = 0; k < comm::kKindExtCount; ++k) {
        v.emplace_back(kExtKeys[k], TC.ext(static_cast<comm::KindExt>(k)));
    }
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        const std::string unit = std::to_string(n);
        v.emplace_back("FerixDir" + unit, TC.FerixDir(n).value());
        v.emplace_back("Prefix" + unit, TC.Prefix(n).value());
        // The stored flag, not the protocol's reading of it: a sub net switched to a
        // one-unit protocol for a while keeps its DNC units connected.
        v.emplace_back("Connected" + unit, formatBool(TC.StoredConnected(n)));
    }
    v.emplace_back("HeidenhainMaster", formatBool(TC.HeidenhainMaster()));
    v.emplace_back("HeidenhainCRLF", formatBool(TC.HeidenhainCRLF()));
    v.emplace_back("HeidenhainFileType", TC.HeidenhainFileType());
    return store.write(subNetSection(ID), v);
}

}  // namespace dnc
