// The port of a line as its device string names it: a terminal device path (a real port or a
// pseudo-terminal), or tcp://HOST:PORT and rfc2217://HOST:PORT for a network device server.
// The backend is chosen at every open.
#pragma once

#include <memory>

#include "comm/link/SerialPort.h"

namespace comm {

class DeviceSerialPort : public SerialPort {
public:
    DeviceSerialPort();
    ~DeviceSerialPort() override;

    Status open(const std::string& device, const LineSettings& settings,
                const LineControl& control) override;
    void close() override { current_->close(); }
    bool isOpen() const override { return current_->isOpen(); }

    // The settings and control of an open are those it is given.
    Status configure(const LineSettings& settings) override {
        return current_->configure(settings);
    }
    Status applyControl(const LineControl& control) override {
        return current_->applyControl(control);
    }

    WriteProgress startWrite(std::span<const std::uint8_t> data) override {
        return current_->startWrite(data);
    }
    WriteProgress startWriteInPieces(std::span<const std::uint8_t> data,
                                     std::span<const std::size_t> pieceEnds) override {
        return current_->startWriteInPieces(data, pieceEnds);
    }
    WriteProgress waitWrite(int timeoutMs) override { return current_->waitWrite(timeoutMs); }

    std::size_t bytesWaiting() override { return current_->bytesWaiting(); }
    std::uint8_t readByte() override { return current_->readByte(); }
    void flushInput() override { current_->flushInput(); }
    void flushOutput() override { current_->flushOutput(); }
    std::size_t outputBufferSize() const override { return current_->outputBufferSize(); }
    void purgeOutput() override { current_->purgeOutput(); }
    int deviceLost() override { return current_->deviceLost(); }
    std::string failureText(int systemError) const override {
        return current_->failureText(systemError);
    }
    bool waitForInput(std::chrono::milliseconds timeout) override {
        return current_->waitForInput(timeout);
    }

    // The backend in use (the terminal one until a network device is opened).
    SerialPort& backend() { return *current_; }

private:
    std::unique_ptr<SerialPort> terminal_;
    std::unique_ptr<SerialPort> network_;
    SerialPort* current_;
};

}  // namespace comm
