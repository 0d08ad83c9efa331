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
#include "comm/link/LinePacing.h"
#include "comm/link/SerialPort.h"
#include "comm/link/TerminalIo.h"

namespace comm {

class FERIXCOMM_API PosixSerialPort : public SerialPort {
public:
    PosixSerialPort() = default;
    // With the output calls of `io` instead of the system's (a model of a device).
    explicit PosixSerialPort(TerminalIo& io) : io_(&io) {}
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
    WriteProgress startWriteInPieces(std::span<const std::uint8_t> data,
                                     std::span<const std::size_t> pieceEnds) override;
    WriteProgress waitWrite(int timeoutMs) override;

    std::size_t bytesWaiting() override;
    std::uint8_t readByte() override;
    void flushInput() override;
    void flushOutput() override;
    std::size_t outputBufferSize() const override { return kOutputBufferSize; }
    void purgeOutput() override;
    int deviceLost() override;
    bool waitForInput(std::chrono::milliseconds timeout) override;

    // Whether this port releases bytes at the line speed itself (the device does not).
    bool pacesItself() const { return paced_; }
    // Whether the device keeps a framing of its own (a pseudo-terminal: 8 bits, no parity) and
    // the port keeps only the configured data bits of each byte.
    bool framingEmulated() const { return emulated_; }
    // The time of one character on the line (start, data, parity and stop bits) at its speed.
    std::chrono::nanoseconds characterTime() const { return settings_.characterTime(); }
    // The descriptor, for tests and poll loops; -1 when closed.
    int descriptor() const { return fd_; }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kOutputBufferSize = 1024;
    static constexpr int kChunkCharacters = 4;

    Status applyTermios();
    void takeInput();
    WriteProgress pushPending();
    bool outputDrained() const;
    void waitForDevice(int ms);

    TerminalIo* io_ = &systemTerminalIo();
    int fd_ = -1;
    bool paced_ = false;
    bool emulated_ = false;
    std::uint8_t dataMask_ = 0xFF;
    LineSettings settings_;
    LineControl control_;

    LinePacing pacing_;

    std::vector<std::uint8_t> input_;
    std::size_t inputPos_ = 0;
};

}  // namespace comm
