// The property setters and readers of the control, with their rules on setting.
#include <algorithm>
#include <cstdlib>

#include "comm/FerixComm.h"
#include "comm/Messages.h"
#include "comm/PropertyRules.h"
#include "comm/TextRules.h"
#include "comm/link/DeviceSerialPort.h"
#include "localizing/lookup/ResourceStrings.h"

namespace comm {

std::string defaultFerixHomeDir() {
    const char* home = std::getenv("HOME");
    std::string dir = home != nullptr && *home != '\0' ? home : "";
    if (dir.empty() || dir.back() != '/') {
        dir += '/';
    }
    return dir + "DNC/";
}

std::string defaultFerixDir(int FerixNo) {
    return "Ferix" + std::to_string(FerixNo) + "/";
}

ctrlFerixComm::ctrlFerixComm(Host& host, ControlSite& site, std::unique_ptr<SerialPort> port)
    : host_(host),
      site_(site),
      link_(host, port ? std::move(port) : std::make_unique<DeviceSerialPort>()),
      indicator_([&site](int picture) { site.ShowIndicator(picture); }) {
    // A new control starts from the defaults of its saved state: a control that was never
    // configured must still have a usable line speed and repeat count.
    quiet_ = true;
    ReadProperties(PropertyBag());
    quiet_ = false;
    installLineServices(*this);
}

ctrlFerixComm::~ctrlFerixComm() {
    link_.close();
}

Status ctrlFerixComm::checkUnit(int FerixNo) const {
    if (FerixNo < 1 || FerixNo > kUnitCount) {
        return ComError{kErrSubscriptOutOfRange, "FerixComm",
                        "Subscript out of range: unit " + std::to_string(FerixNo), "", 0};
    }
    return {};
}

Expected<std::string> ctrlFerixComm::FerixDir(int FerixNo) const {
    if (Status s = checkUnit(FerixNo); !s) {
        return s.error();
    }
    return ferixDir_[FerixNo - 1];
}

Status ctrlFerixComm::setFerixDir(int FerixNo, const std::string& value) {
    if (Status s = checkUnit(FerixNo); !s) {
        return s;
    }
    ferixDir_[FerixNo - 1] = value;
    notify("FerixDir" + std::to_string(FerixNo));
    return {};
}

Expected<std::string> ctrlFerixComm::Prefix(int FerixNo) const {
    if (Status s = checkUnit(FerixNo); !s) {
        return s.error();
    }
    return prefix_[FerixNo - 1];
}

Status ctrlFerixComm::setPrefix(int FerixNo, const std::string& value) {
    if (Status s = checkUnit(FerixNo); !s) {
        return s;
    }
    prefix_[FerixNo - 1] = prefixRule(value);
    notify("Prefix" + std::to_string(FerixNo));
    return {};
}

Expected<bool> ctrlFerixComm::Connected(int FerixNo) const {
    if (protocol_ != ProtDNC) {
        return FerixNo == 1;
    }
    if (Status s = checkUnit(FerixNo); !s) {
        return s.error();
    }
    return connected_[FerixNo - 1];
}

Status ctrlFerixComm::setConnected(int FerixNo, bool value) {
    if (Status s = checkUnit(FerixNo); !s) {
        return s;
    }
    connected_[FerixNo - 1] = value;
    notify("Connected" + std::to_string(FerixNo));
    return {};
}

void ctrlFerixComm::setFerixHomeDir(const std::string& value) {
    ferixHomeDir_ = value;
    notify("FerixHomeDir");
}

void ctrlFerixComm::setCommPort(std::int16_t value) {
    if (value != link_.portNumber()) {
        link_.setPortNumber(value);
    }
    notify("CommPort");
}

Status ctrlFerixComm::setPortField(std::string& field, const std::string& value, const char* name) {
    const std::string old = field;
    field = value;
    const std::string settings =
        joinLineSettings(commSpeed_, commParity_, commDataBit_, commStopBit_);
    field = old;
    if (Status s = link_.setSettings(settings); !s) {
        return s;
    }
    field = value;
    notify(name);
    return link_.ApplyLineSettings();
}

Status ctrlFerixComm::setCommSpeed(const std::string& value) {
    Status status = setPortField(commSpeed_, value, "CommSpeed");
    if (commSpeed_ == value) {
        link_.setLineSpeed(leadingNumber(value));
    }
    return status;
}

Status ctrlFerixComm::setCommParity(const std::string& value) {
    return setPortField(commParity_, value, "CommParity");
}

Status ctrlFerixComm::setCommDataBit(const std::string& value) {
    return setPortField(commDataBit_, value, "CommDataBit");
}

Status ctrlFerixComm::setCommStopBit(const std::string& value) {
    return setPortField(commStopBit_, value, "CommStopBit");
}

Status ctrlFerixComm::setCommHandshaking(std::int32_t value) {
    if (!handshakingHolds(value)) {
        return ComError{380, "FerixComm", "Invalid handshaking " + std::to_string(value), "", 0};
    }
    link_.setHandshaking(value);
    notify("CommHandshaking");
    return link_.ApplyLineSettings();
}

void ctrlFerixComm::setCommXOnChar(std::uint8_t value) {
    xonChar_ = value;
    link_.setXonXoff(xonChar_, xoffChar_);
    notify("CommXOnChar");
    (void)link_.ApplyLineSettings();
}

void ctrlFerixComm::setCommXOffChar(std::uint8_t value) {
    xoffChar_ = value;
    link_.setXonXoff(xonChar_, xoffChar_);
    notify("CommXOffChar");
    (void)link_.ApplyLineSettings();
}

void ctrlFerixComm::setDNCMaxRepeatNo(std::int16_t value) {
    dncMaxRepeatNo_ = repeatNoRule(value);
    notify("DNCMaxRepeatNo");
}

void ctrlFerixComm::setExt(KindExt kind, const std::string& value) {
    static constexpr const char* kNames[kKindExtCount] = {
        "SourceTextExt", "WorkTextExt",   "ListExt",    "SourceMacroExt",
        "WorkMacroExt",  "SourceDiagExt", "WorkDiagExt"};
    exts_[static_cast<int>(kind)] = extensionRule(value);
    notify(kNames[static_cast<int>(kind)]);
}

void ctrlFerixComm::setF4COPYTimeout(std::int16_t value) {
    f4copyTimeout_ = value;
    notify("F4COPYTimeout");
}

Status ctrlFerixComm::setProtocol(ProtocolEnum value) {
    if (value == protocol_) {
        return {};
    }
    if (active_) {
        return ComError{kObjectErrorBase + 20, "FerixComm", message(msg::ProtocolWhileActive), "",
                        0};
    }
    protocol_ = value;
    notify("Protocol");
    return {};
}

void ctrlFerixComm::setHeidenhainMaster(bool value) {
    heidenhainMaster_ = value;
    notify("HeidenhainMaster");
}

void ctrlFerixComm::setHeidenhainCRLF(bool value) {
    heidenhainCRLF_ = value;
    notify("HeidenhainCRLF");
}

void ctrlFerixComm::setHeidenhainFileType(const std::string& value) {
    heidenhainFileType_ = heidenhainFileTypeRule(value);
    notify("HeidenhainFileType");
}

void ctrlFerixComm::setZerosInName(bool value) {
    zerosInName_ = value;
    notify("ZerosInName");
}

void ctrlFerixComm::setMaxProgramMegabytes(std::int32_t value) {
    maxProgramMegabytes_ =
        static_cast<std::int32_t>(std::clamp<std::int64_t>(value, 1, kMaxProgramMegabytes));
    notify("MaxProgramMegabytes");
}

void ctrlFerixComm::setCaption(const std::string& value) {
    caption_ = value;
    notify("Caption");
}

std::int16_t ctrlFerixComm::LangID() const {
    return static_cast<std::int16_t>(loc::currentLanguage());
}

void ctrlFerixComm::setLangID(std::int16_t value) {
    loc::selectLanguage(static_cast<std::uint16_t>(value));
    notify("LangID");
}

void ctrlFerixComm::StopTransfer() {
    link_.setStopRequested(true);
}

void ctrlFerixComm::setPortDevices(std::function<std::string(int)> resolver) {
    link_.setDeviceResolver(std::move(resolver));
}

void ctrlFerixComm::setServiceFactory(ProtocolEnum protocol, LineServiceFactory factory) {
    services_[protocol] = std::move(factory);
}

}  // namespace comm
