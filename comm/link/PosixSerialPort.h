// Serial port on a POSIX terminal device: a real port (/dev/ttyS0, /dev/ttyUSB0) or one end of
// a pseudo-terminal pair.
//
// A pseudo-terminal does not pace its output to a baud rate and refuses the modem-line calls;
// on such a device the port releases written bytes at the configured line speed itself, so
// that protocol timing and CPU use are those of a real line.
#pragma once

#include <chrono>
#include <vector>

#include "comm/Export.h"
#include "comm/link/SerialPort.h"

namespace comm {

class FERIXCOMM_API PosixSerialPort : public SerialPort {
public:
    PosixSerialPort() = default;
    ~PosixSerialPort() override;
    PosixSerialPort(const PosixSerialPort&) = delete;
    PosixSerialPort& operator=(const PosixSerialPort&) = delete;

    Status open(const std::string& device, const LineSettings& settings,
                const LineControl& control) override;
    void close() override;
    bool isOpen() const override { return fd_ >= 0; }

    Status configure(const LineSettings& settings) override;
    Status applyControl(const LineControl& control) override;

    WriteProgress startWrite(std::span<const std::uint8_t> data) override;
    WriteProgress waitWrite(int timeoutMs) override;

    std::size_t bytesWaiting() override;
    std::uint8_t readByte() override;
    void flushInput() override;
    void flushOutput() override;
    std::size_t outputBufferSize() const override { return kOutputBufferSize; }
    void purgeOutput() override;
    int deviceLost() override;

    // Whether this port releases bytes at the line speed itself (the device does not).
    bool pacesItself() const { return paced_; }
    // The descriptor, for tests and poll loops; -1 when closed.
    int descriptor() const { return fd_; }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kOutputBufferSize = 1024;
    static constexpr std::chrono::milliseconds kMinimumWait{1};
    static constexpr int kChunkCharacters = 4;

    Status applyTermios();
    WriteProgress pushPending();
    bool outputDrained() const;
    std::size_t bytesDue(Clock::time_point now) const;

    int fd_ = -1;
    bool paced_ = false;
    LineSettings settings_;
    LineControl control_;

    std::vector<std::uint8_t> pending_;
    std::size_t pendingPos_ = 0;
    std::size_t totalWritten_ = 0;
    Clock::time_point anchor_{};  // release time reference of pending_[0]
    std::chrono::nanoseconds charTime_{0};

    std::vector<std::uint8_t> input_;
    std::size_t inputPos_ = 0;
};

}  // namespace comm
