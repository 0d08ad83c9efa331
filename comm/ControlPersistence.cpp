// Saving and restoring the control's state through a property bag.
#include "comm/FerixComm.h"

namespace comm {

namespace {

using Value = PropertyBag::Value;

constexpr const char* kExtKeys[kKindExtCount] = {"SourceTextExt",  "WorkTextExt",  "ListExt",
                                                 "SourceMacroExt", "WorkMacroExt", "SourceDiagExt",
                                                 "WorkDiagExt"};
constexpr const char* kExtDefaults[kKindExtCount] = {"STX", "WTX", "FDI", "SMC",
                                                     "WMC", "SDG", "WDG"};

std::string str(const char* s) {
    return std::string(s);
}

}  // namespace

void ctrlFerixComm::WriteProperties(PropertyBag& bag) const {
    bag.WriteProperty("CommPort", Value(std::int32_t{CommPort()}), Value(std::int32_t{1}));
    bag.WriteProperty("CommSpeed", Value(commSpeed_), Value(str("4800")));
    bag.WriteProperty("CommParity", Value(commParity_), Value(str("n")));
    bag.WriteProperty("CommDataBit", Value(commDataBit_), Value(str("8")));
    bag.WriteProperty("CommStopBit", Value(commStopBit_), Value(str("2")));
    bag.WriteProperty("CommHandshaking", Value(CommHandshaking()), Value(std::int32_t{0}));
    bag.WriteProperty("CommXOnChar", Value(std::int32_t{xonChar_}), Value(std::int32_t{17}));
    bag.WriteProperty("CommXOffChar", Value(std::int32_t{xoffChar_}), Value(std::int32_t{19}));
    bag.WriteProperty("DNCMaxRepeatNo", Value(std::int32_t{dncMaxRepeatNo_}),
                      Value(std::int32_t{4}));
    bag.WriteProperty("FerixHomeDir", Value(ferixHomeDir_), Value(defaultFerixHomeDir()));
    bag.WriteProperty("ZerosInName", Value(zerosInName_), Value(false));
    for (int k = 0; k < kKindExtCount; ++k) {
        bag.WriteProperty(kExtKeys[k], Value(exts_[k]), Value(str(kExtDefaults[k])));
    }
    bag.WriteProperty("F4COPYTimeout", Value(std::int32_t{f4copyTimeout_}),
                      Value(std::int32_t{8000}));
    bag.WriteProperty("Protocol", Value(std::int32_t{protocol_}), Value(std::int32_t{ProtDNC}));
    bag.WriteProperty("HeidenhainMaster", Value(heidenhainMaster_), Value(true));
    bag.WriteProperty("HeidenhainCRLF", Value(heidenhainCRLF_), Value(true));
    bag.WriteProperty("HeidenhainFileType", Value(heidenhainFileType_), Value(str("N")));
    for (int n = 1; n <= kUnitCount; ++n) {
        const std::string unit = std::to_string(n);
        bag.WriteProperty("FerixDir" + unit, Value(ferixDir_[n - 1]), Value(defaultFerixDir(n)));
        bag.WriteProperty("Prefix" + unit, Value(prefix_[n - 1]), Value(str("PPG")));
        bag.WriteProperty("Connected" + unit, Value(connected_[n - 1]), Value(false));
    }
    bag.WriteProperty("Active", Value(active_), Value(false));
}

void ctrlFerixComm::ReadProperties(const PropertyBag& bag) {
    // A stored value that a setter refuses leaves the value that was there.
    setCommPort(static_cast<std::int16_t>(bag.readInt("CommPort", 1)));
    (void)setCommSpeed(bag.readString("CommSpeed", "4800"));
    (void)setCommParity(bag.readString("CommParity", "n"));
    (void)setCommDataBit(bag.readString("CommDataBit", "8"));
    (void)setCommStopBit(bag.readString("CommStopBit", "2"));
    (void)setCommHandshaking(bag.readInt("CommHandshaking", 0));
    setCommXOnChar(static_cast<std::uint8_t>(bag.readInt("CommXOnChar", 17)));
    setCommXOffChar(static_cast<std::uint8_t>(bag.readInt("CommXOffChar", 19)));
    setDNCMaxRepeatNo(static_cast<std::int16_t>(bag.readInt("DNCMaxRepeatNo", 4)));
    setFerixHomeDir(bag.readString("FerixHomeDir", defaultFerixHomeDir()));
    setZerosInName(bag.readBool("ZerosInName", false));
    for (int k = 0; k < kKindExtCount; ++k) {
        setExt(static_cast<KindExt>(k), bag.readString(kExtKeys[k], kExtDefaults[k]));
    }
    setF4COPYTimeout(static_cast<std::int16_t>(bag.readInt("F4COPYTimeout", 8000)));
    // These are stored as they are, without their setting rules: loading never fails on the
    // protocol.
    protocol_ = static_cast<ProtocolEnum>(bag.readInt("Protocol", ProtDNC));
    heidenhainMaster_ = bag.readBool("HeidenhainMaster", true);
    heidenhainCRLF_ = bag.readBool("HeidenhainCRLF", true);
    heidenhainFileType_ = bag.readString("HeidenhainFileType", "N");
    for (int n = 1; n <= kUnitCount; ++n) {
        const std::string unit = std::to_string(n);
        (void)setFerixDir(n, bag.readString("FerixDir" + unit, defaultFerixDir(n)));
        (void)setPrefix(n, bag.readString("Prefix" + unit, "PPG"));
        (void)setConnected(n, bag.readBool("Connected" + unit, false));
    }
    // A saved Active is read but never taken over: only the Active setter opens and closes
    // the line, so the flag can never claim a line that is not open.
    (void)bag.readBool("Active", false);
}

}  // namespace comm
