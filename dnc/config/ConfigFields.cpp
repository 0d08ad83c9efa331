#include "dnc/config/ConfigFields.h"

#include <cctype>

#include "dnc/config/ConfigDialogRules.h"
#include "dnc/config/SettingRules.h"
#include "dnc/config/SettingsCheck.h"
#include "dnc/config/SubNetConfiguration.h"

namespace dnc {

ControlSnapshot readControl(const comm::ctrlFerixComm& control,
                            const SubNetConfiguration& configuration) {
    ControlSnapshot snapshot;
    snapshot.active = control.Active();
    ConfigFields& f = snapshot.fields;
    f.caption = control.Caption();
    f.protocol = control.Protocol();
    f.autoFerixLst = configuration.AutoFerixLst;
    f.autoFerixLstCont = configuration.AutoFerixLstCont;
    f.editor = configuration.Editor;
    f.commPort = control.CommPort();
    f.commSpeed = control.CommSpeed();
    f.commDataBit = control.CommDataBit();
    f.commStopBit = control.CommStopBit();
    const std::string& parity = control.CommParity();
    f.commParity = parity.empty()
                       ? 'N'
                       : static_cast<char>(std::toupper(static_cast<unsigned char>(parity[0])));
    f.commHandshaking = control.CommHandshaking();
    f.commXOnChar = std::to_string(control.CommXOnChar());
    f.commXOffChar = std::to_string(control.CommXOffChar());
    f.ferixHomeDir = control.FerixHomeDir();
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        f.ferixDir[i] = control.FerixDir(n).value();
        f.prefix[i] = control.Prefix(n).value();
        f.connected[i] = control.Connected(n).value();
        f.storedConnected[i] = control.StoredConnected(n);
    }
    f.zerosInName = control.ZerosInName();
    f.f4copyTimeout = std::to_string(control.F4COPYTimeout());
    f.dncMaxRepeatNo = std::to_string(control.DNCMaxRepeatNo());
    for (int k = 0; k < comm::kKindExtCount; ++k) {
        f.extensions[static_cast<std::size_t>(k)] = control.ext(static_cast<comm::KindExt>(k));
    }
    f.heidenhainMaster = control.HeidenhainMaster();
    f.heidenhainCRLF = control.HeidenhainCRLF();
    f.heidenhainFileType = control.HeidenhainFileType();
    f.protectPrograms = control.ProtectPrograms();
    return snapshot;
}

std::optional<std::string> refusal(const char* section, const char* key, const std::string& text) {
    const KeyRule* rule = findKeyRule(section, key);
    if (const auto finding = checkValue(*rule, configdialog::trimmed(text));
        finding && !finding->adjusted) {
        SettingProblem problem;
        problem.messageId = finding->message;
        problem.messageArgs = finding->messageArgs;
        return problem.message();
    }
    return std::nullopt;
}

std::optional<FieldRefusal> readNumbers(const ConfigFields& fields, ConfigNumbers& numbers) {
    struct Field {
        const char* key;
        const std::string& text;
        int label;
    };
    if (auto message = refusal("Config1", "CommSpeed", fields.commSpeed)) {
        return FieldRefusal{fieldlabel::Speed, *message};
    }
    const Field list[] = {{"CommXOnChar", fields.commXOnChar, fieldlabel::XOn},
                          {"CommXOffChar", fields.commXOffChar, fieldlabel::XOff},
                          {"F4COPYTimeout", fields.f4copyTimeout, fieldlabel::Timeout},
                          {"DNCMaxRepeatNo", fields.dncMaxRepeatNo, fieldlabel::Repeats}};
    std::int64_t values[4] = {};
    for (std::size_t i = 0; i < 4; ++i) {
        // A repeat count below the least the control takes is no refusal: the control
        // raises it.
        if (auto message = refusal("Config1", list[i].key, list[i].text)) {
            return FieldRefusal{list[i].label, *message};
        }
        values[i] = std::stoll(configdialog::trimmed(list[i].text));
    }
    numbers.xon = static_cast<std::uint8_t>(values[0]);
    numbers.xoff = static_cast<std::uint8_t>(values[1]);
    numbers.timeout = static_cast<std::int16_t>(values[2]);
    numbers.repeats = static_cast<std::int16_t>(values[3]);
    return std::nullopt;
}

bool applyToControl(const ConfigFields& f, const ConfigNumbers& numbers,
                    comm::ctrlFerixComm& control, SubNetConfiguration& configuration) {
    using configdialog::trimmed;
    configuration.AutoFerixLst = f.autoFerixLst;
    configuration.AutoFerixLstCont = f.autoFerixLstCont;
    configuration.Editor = trimmed(f.editor);
    bool all = true;
    auto take = [&all](const comm::Status& status) { all = all && status.ok(); };
    control.setCaption(f.caption);
    control.setCommPort(static_cast<std::int16_t>(f.commPort));
    take(control.setCommSpeed(trimmed(f.commSpeed)));
    take(control.setCommDataBit(f.commDataBit));
    take(control.setCommStopBit(f.commStopBit));
    take(control.setCommParity(std::string(1, f.commParity)));
    take(control.setCommHandshaking(f.commHandshaking));
    control.setCommXOnChar(numbers.xon);
    control.setCommXOffChar(numbers.xoff);
    control.setFerixHomeDir(trimmed(f.ferixHomeDir));
    control.setZerosInName(f.zerosInName);
    control.setF4COPYTimeout(numbers.timeout);
    control.setDNCMaxRepeatNo(numbers.repeats);
    take(control.setProtocol(f.protocol));
    for (int k = 0; k < comm::kKindExtCount; ++k) {
        control.setExt(static_cast<comm::KindExt>(k), f.extensions[static_cast<std::size_t>(k)]);
    }
    // Under a one-unit protocol the ticks shown are the protocol's (unit 1 only), not the
    // stored ones: writing them would wipe the units of the line's multi-unit configuration.
    const bool keepStoredTicks = configdialog::protocolChange(f.protocol).oneUnit;
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        const auto i = static_cast<std::size_t>(n - 1);
        take(control.setFerixDir(n, trimmed(f.ferixDir[i])));
        take(control.setPrefix(n, f.prefix[i]));
        if (!keepStoredTicks) {
            take(control.setConnected(n, f.connected[i]));
        }
    }
    control.setHeidenhainMaster(f.heidenhainMaster);
    control.setHeidenhainCRLF(f.heidenhainCRLF);
    control.setHeidenhainFileType(trimmed(f.heidenhainFileType));
    control.setProtectPrograms(f.protectPrograms);
    configuration.raiseConfigChanged();
    return all;
}

}  // namespace dnc
