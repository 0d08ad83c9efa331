// A serial line on a network device server: "tcp://HOST:PORT" carries the bytes only (the
// server's serial settings are set on the server), "rfc2217://HOST:PORT" speaks Telnet with COM
// port control, so that the line settings, flow control and purges go to the server.
//
// Writes are released at the line speed as on a pseudo-terminal, so the protocols' timing
// holds. Connecting and the Telnet negotiation have time limits: a server that does not answer
// fails the open instead of holding the line's thread. A connection that drops is reported as
// a lost device.
#pragma once

#include <chrono>
#include <vector>

#include "comm/link/LinePacing.h"
#include "comm/link/NetworkAddress.h"
#include "comm/link/SerialPort.h"
#include "comm/link/TelnetCodec.h"

namespace comm {

class NetworkSerialPort : public SerialPort {
public:
    struct Limits {
        std::chrono::milliseconds connect{3000};
        std::chrono::milliseconds negotiation{2000};
    };

    NetworkSerialPort() = default;
    explicit NetworkSerialPort(Limits limits) : limits_(limits) {}
    ~NetworkSerialPort() override;
    NetworkSerialPort(const NetworkSerialPort&) = delete;
    NetworkSerialPort& operator=(const NetworkSerialPort&) = delete;

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
    void settleInput() override;
    void flushOutput() override;
    std::size_t outputBufferSize() const override { return kOutputBufferSize; }
    void purgeOutput() override;
    int deviceLost() override;
    std::string failureText(int systemError) const override;
    bool waitForInput(std::chrono::milliseconds timeout) override;

    // The socket, for poll loops; -1 when closed.
    int descriptor() const { return fd_; }
    // The Telnet layer (rfc2217:// only), for tests and diagnostics.
    const telnet::TelnetCodec& codec() const { return codec_; }

private:
    using Clock = std::chrono::steady_clock;
    static constexpr std::size_t kOutputBufferSize = 1024;
    static constexpr int kChunkCharacters = 4;

    Status connectTo(const NetworkAddress& address);
    Status negotiate();
    Status awaitAnswer(telnet::ComPortCommand command);
    void sendSettings();
    void sendControl();
    void sendPurge(std::uint8_t what);
    void receive();
    bool flushWire();
    void lose(int error);
    WriteProgress pushPending();

    Limits limits_;
    int fd_ = -1;
    bool telnet_ = false;
    std::string device_;
    std::string where_;  // HOST:PORT of the server
    LineSettings settings_;
    LineControl control_;
    telnet::TelnetCodec codec_;
    LinePacing pacing_;
    std::vector<std::uint8_t> wireOut_;  // encoded bytes the socket did not take yet
    std::size_t wireOutPos_ = 0;
    std::vector<std::uint8_t> input_;
    std::size_t inputPos_ = 0;
    std::vector<std::uint8_t> replies_;
    int lost_ = 0;
};

}  // namespace comm
