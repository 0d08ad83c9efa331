#include "comm/link/DeviceSerialPort.h"

#include "comm/link/NetworkAddress.h"
#include "comm/link/NetworkSerialPort.h"
#include "comm/link/PosixSerialPort.h"

namespace comm {

DeviceSerialPort::DeviceSerialPort()
    : terminal_(std::make_unique<PosixSerialPort>()),
      network_(std::make_unique<NetworkSerialPort>()),
      current_(terminal_.get()) {}

DeviceSerialPort::~DeviceSerialPort() = default;

Status DeviceSerialPort::open(const std::string& device, const LineSettings& settings,
                              const LineControl& control) {
    SerialPort* wanted = isNetworkDevice(device) ? network_.get() : terminal_.get();
    if (wanted != current_) {
        current_->close();
        current_ = wanted;
    }
    return current_->open(device, settings, control);
}

}  // namespace comm
