#include "comm/link/SerialLink.h"

#include "comm/Messages.h"
#include "comm/files/FileIo.h"
#include "comm/link/LineTiming.h"
#include "comm/link/NetworkAddress.h"

namespace comm {

namespace {

constexpr std::int32_t kErrInvalidPropertyValue = 380;

}  // namespace

SerialLink::SerialLink(Host& host, std::unique_ptr<SerialPort> port)
    : host_(host), port_(std::move(port)), parsed_(*parseLineSettings(settings_)) {}

void SerialLink::setDeviceResolver(std::function<std::string(int)> resolver) {
    resolver_ = std::move(resolver);
}

std::string SerialLink::devicePath() const {
    if (resolver_) {
        return resolver_(portNumber_);
    }
    return "/dev/ttyS" + std::to_string(portNumber_ - 1);
}

Status SerialLink::setSettings(const std::string& settings) {
    const auto parsed = parseLineSettings(settings);
    if (!parsed) {
        return ComError{kErrInvalidPropertyValue, "FerixComm",
                        "Invalid line settings \"" + settings + "\"", "", 0};
    }
    settings_ = settings;
    parsed_ = *parsed;
    return port_->configure(parsed_);
}

void SerialLink::setXonXoff(std::uint8_t xon, std::uint8_t xoff) {
    control_.xonChar = xon;
    control_.xoffChar = xoff;
}

Status SerialLink::open() {
    if (portNumber_ < 1) {
        return ComError{kErrInvalidPropertyValue, "FerixComm",
                        "Invalid port number " + std::to_string(portNumber_), "", 0};
    }
    const std::string device = devicePath();
    // A malformed network address names the setting it came from, before anything is tried.
    if (isNetworkDevice(device)) {
        const auto address = parseNetworkAddress(device);
        if (const auto* why = std::get_if<std::string>(&address)) {
            return ComError{kErrInvalidPropertyValue, "FerixComm",
                            "Port " + std::to_string(portNumber_) + " (\"Ports\" key " +
                                std::to_string(portNumber_) + "=" + device +
                                ") is not a device address: " + *why,
                            "", 0};
        }
    }
    return port_->open(device, parsed_, control_);
}

void SerialLink::close() {
    port_->close();
}

Status SerialLink::ApplyLineSettings() {
    if (!port_->isOpen()) {
        return {};
    }
    return port_->applyControl(control_);
}

Status SerialLink::checkDevice() {
    const int error = port_->isOpen() ? port_->deviceLost() : 0;
    if (error == 0) {
        return {};
    }
    return ComError{
        kObjectErrorBase, "FerixComm",
        messageWithDetail(msg::DeviceLost, devicePath() + ": " + systemDescription(error)), "", 0};
}

Status SerialLink::reopenIfLost() {
    Status lost = checkDevice();
    if (lost && port_->isOpen()) {
        return {};
    }
    port_->close();
    Status opened = open();
    if (opened) {
        opened = ApplyLineSettings();
    }
    if (opened) {
        return {};
    }
    port_->close();
    return lost ? opened : lost;
}

void SerialLink::waitForInput(std::chrono::milliseconds pause) {
    if (pause.count() <= 0 || !port_->isOpen() || !port_->waitForInput(pause)) {
        host_.sleep(pause);
    }
}

Status SerialLink::WritePort(std::string_view bytes) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    return waitWritten(port_->startWrite({data, bytes.size()}), bytes.size());
}

Status SerialLink::WriteFrames(std::string_view bytes, std::span<const std::size_t> pieceEnds) {
    const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
    return waitWritten(port_->startWriteInPieces({data, bytes.size()}, pieceEnds), bytes.size());
}

Status SerialLink::waitWritten(WriteProgress progress, std::size_t size) {
    const int step = timing::writeWaitStep(size, lineSpeed_);
    while (progress.state == WriteProgress::Pending) {
        progress = port_->waitWrite(step);
        host_.pump();
        if (progress.state == WriteProgress::Pending && stopRequested_) {
            return {};
        }
    }
    if (progress.state == WriteProgress::Failed) {
        // A network port names its server and the reason; a serial port has its number.
        std::string cause = port_->failureText(progress.systemError);
        if (cause.empty()) {
            cause = "GetLastError:" + std::to_string(progress.systemError);
        }
        return ComError{kObjectErrorBase, "FerixComm",
                        message(msg::WriteError) + "(" + cause + ")   " + std::to_string(size) +
                            message(msg::BlockTimeout) + " " + std::to_string(progress.written),
                        "", 0};
    }
    return {};
}

}  // namespace comm
