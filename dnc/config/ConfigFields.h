// The configuration dialog's working copy of a sub net's configuration: filled from the
// control, edited as texts and ticks, checked, and applied to the control in one piece.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>

#include "comm/FerixComm.h"

namespace dnc {

class SubNetConfiguration;

struct ConfigFields {
    std::string caption;
    comm::ProtocolEnum protocol = comm::ProtDNC;
    bool autoFerixLst = true;
    bool autoFerixLstCont = false;
    std::string editor;
    int commPort = 1;  // 1 to 16
    std::string commSpeed;
    std::string commDataBit;
    std::string commStopBit;
    char commParity = 'N';  // upper case
    int commHandshaking = 0;
    std::string commXOnChar;  // decimal text
    std::string commXOffChar;
    std::string ferixHomeDir;
    std::array<std::string, comm::kUnitCount> ferixDir;
    std::array<std::string, comm::kUnitCount> prefix;
    std::array<bool, comm::kUnitCount> connected{};
    // The line's own ticks, kept while a one-unit protocol shows unit 1 only.
    std::array<bool, comm::kUnitCount> storedConnected{};
    bool zerosInName = false;
    std::string f4copyTimeout;  // decimal text
    std::string dncMaxRepeatNo;
    std::array<std::string, comm::kKindExtCount> extensions;
    bool heidenhainMaster = true;
    bool heidenhainCRLF = true;
    std::string heidenhainFileType;
    bool protectPrograms = false;  // programs from the units wait for approval
};

// The fields of a running control, with whether its line is on.
struct ControlSnapshot {
    ConfigFields fields;
    bool active = false;
};

// On the control's thread.
ControlSnapshot readControl(const comm::ctrlFerixComm& control,
                            const SubNetConfiguration& configuration);

// The numbers of the fields, once they hold.
struct ConfigNumbers {
    std::uint8_t xon = 17;
    std::uint8_t xoff = 19;
    std::int16_t timeout = 8000;
    std::int16_t repeats = 4;
};

// Why the fields cannot be applied: the field's label (string number) and the message.
struct FieldRefusal {
    int field = 0;
    std::string message;
};

// The numbers of XOn, XOff, timeout and repeat count, or the first field that does not hold:
// a speed that is no line speed, a number that is not whole or outside its key's range (the
// rules the settings file is checked against). The message is in this thread's language.
std::optional<FieldRefusal> readNumbers(const ConfigFields& fields, ConfigNumbers& numbers);

// Why `text` cannot stand under the key's rule (the settings check's message, in this thread's
// language); nullopt when it holds or the control only adjusts it.
std::optional<std::string> refusal(const char* section, const char* key, const std::string& text);

// Stores the dialog-only values and assigns every property in the order of the stored keys,
// then raises ConfigChanged; on the control's thread, in one go, between two exchanges. Texts
// are trimmed where the dialog trims them. False when the control refused a value (the rest is
// applied).
bool applyToControl(const ConfigFields& fields, const ConfigNumbers& numbers,
                    comm::ctrlFerixComm& control, SubNetConfiguration& configuration);

// The labels of the fields a refusal names.
namespace fieldlabel {
inline constexpr int Speed = 1522;
inline constexpr int XOn = 1531;
inline constexpr int XOff = 1532;
inline constexpr int Timeout = 1543;
inline constexpr int Repeats = 1544;
}  // namespace fieldlabel

}  // namespace dnc
