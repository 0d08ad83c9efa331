#include "dnc/config/SubNetConfiguration.h"

#include <cstdlib>

#include "dnc/config/SettingRules.h"
#include "dnc/config/TextForms.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc {

namespace {

constexpr int kStringSubNet = 750;
constexpr int kStringMachine = 751;

constexpr const char* kExtKeys[comm::kKindExtCount] = {
    "SourceTextExt", "WorkTextExt",   "ListExt",    "SourceMacroExt",
    "WorkMacroExt",  "SourceDiagExt", "WorkDiagExt"};

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
    // Every value goes through its key's rule: one that does not hold gives what the settings
    // check reports in its place. Values that the control still refuses (a protocol change on
    // a running line) leave what the control had.
    const std::string section = subNetSection(ID);
    const CheckedSection s(section, store.section(section));
    AutoFerixLst = s.boolean("AutoFerixLst");
    AutoFerixLstCont = s.boolean("AutoFerixLstCont");
    Editor = s.text("Editor", defaultEditor());

    TC.setCaption(s.text("Caption", defaultCaption(ID)));
    TC.setCommPort(static_cast<std::int16_t>(s.integer("CommPort")));
    (void)TC.setCommSpeed(s.text("CommSpeed"));
    (void)TC.setCommDataBit(s.text("CommDataBit"));
    (void)TC.setCommStopBit(s.text("CommStopBit"));
    (void)TC.setCommParity(s.text("CommParity"));
    (void)TC.setCommHandshaking(static_cast<std::int32_t>(s.integer("CommHandshaking")));
    TC.setCommXOnChar(static_cast<std::uint8_t>(s.integer("CommXOnChar")));
    TC.setCommXOffChar(static_cast<std::uint8_t>(s.integer("CommXOffChar")));
    TC.setFerixHomeDir(s.text("FerixHomeDir", defaultFerixHomeDir(ID)));
    TC.setZerosInName(s.boolean("ZerosInName"));
    TC.setF4COPYTimeout(static_cast<std::int16_t>(s.integer("F4COPYTimeout")));
    TC.setMaxProgramMegabytes(static_cast<std::int32_t>(s.integer("MaxProgramMegabytes")));
    TC.setDNCMaxRepeatNo(static_cast<std::int16_t>(s.integer("DNCMaxRepeatNo")));
    (void)TC.setProtocol(static_cast<comm::ProtocolEnum>(s.integer("Protocol")));
    for (int k = 0; k < comm::kKindExtCount; ++k) {
        TC.setExt(static_cast<comm::KindExt>(k), s.text(kExtKeys[k]));
    }
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        const std::string unit = std::to_string(n);
        (void)TC.setFerixDir(n, s.text("FerixDir" + unit, defaultFerixDir(n)));
        (void)TC.setPrefix(n, s.text("Prefix" + unit));
        (void)TC.setConnected(n, s.boolean("Connected" + unit));
    }
    TC.setHeidenhainMaster(s.boolean("HeidenhainMaster"));
    TC.setHeidenhainCRLF(s.boolean("HeidenhainCRLF"));
    TC.setHeidenhainFileType(s.text("HeidenhainFileType"));
    TC.setProtectPrograms(s.boolean("ProtectPrograms"));
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
    v.emplace_back("ProtectPrograms", formatBool(TC.ProtectPrograms()));
    return store.write(subNetSection(ID), v);
}

}  // namespace dnc
