// One serial port, as the control's link drives it. Backends: POSIX termios (real ports and
// pseudo-terminals), the virtual line of the tests and simulators, later TCP device servers.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <vector>

#include "comm/ComError.h"
#include "comm/link/LineSettings.h"

namespace comm {

// Handshaking modes.
inline constexpr std::int32_t kHandshakeNone = 0;
inline constexpr std::int32_t kHandshakeXonXoff = 1;
inline constexpr std::int32_t kHandshakeRts = 2;
inline constexpr std::int32_t kHandshakeRtsXonXoff = 3;

// What is applied after every open and every change of the line settings: no read or write
// time-outs, DTR on, the XON/XOFF characters, RTS off unless the handshaking uses it.
struct LineControl {
    std::int32_t handshaking = kHandshakeNone;
    std::uint8_t xonChar = 17;
    std::uint8_t xoffChar = 19;
};

struct WriteProgress {
    enum State { Done, Pending, Failed };
    State state = Done;
    std::size_t written = 0;  // bytes handed to the line so far
    int systemError = 0;      // with Failed
};

// What a port keeps of its received bytes beyond the device's own buffer: several seconds of
// the fastest line. A peer that floods the line cannot make it grow further.
inline constexpr std::size_t kInputLimit = 64 * 1024;

// Drops the bytes before `pos` that were read already (all of them, or the first half once
// they are many), so that a buffer read only in part while more keeps coming stays bounded.
inline void compactInput(std::vector<std::uint8_t>& input, std::size_t& pos) {
    if (pos == input.size()) {
        input.clear();
        pos = 0;
    } else if (pos >= kInputLimit / 2) {
        input.erase(input.begin(), input.begin() + static_cast<std::ptrdiff_t>(pos));
        pos = 0;
    }
}

class SerialPort {
public:
    virtual ~SerialPort() = default;

    // Error descriptions are plain texts for the detail of the caller's message.
    virtual Status open(const std::string& device, const LineSettings& settings,
                        const LineControl& control) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;

    virtual Status configure(const LineSettings& settings) = 0;
    virtual Status applyControl(const LineControl& control) = 0;

    // Starts writing all of `data`. Done when the bytes have already left the port.
    virtual WriteProgress startWrite(std::span<const std::uint8_t> data) = 0;
    // The same for bytes the peer takes only in whole pieces (protocol frames): a port that
    // paces its line itself hands each piece on in one go once its last byte is due. A piece
    // ends before each offset of `pieceEnds` (ascending), the last one with `data`. Ports whose
    // device sends the bytes themselves ignore the pieces.
    virtual WriteProgress startWriteInPieces(std::span<const std::uint8_t> data,
                                             std::span<const std::size_t> pieceEnds) {
        (void)pieceEnds;
        return startWrite(data);
    }
    // Waits at most timeoutMs for the write in progress to leave the port.
    virtual WriteProgress waitWrite(int timeoutMs) = 0;

    virtual std::size_t bytesWaiting() = 0;
    // The oldest received byte; call only when bytesWaiting() is not 0.
    virtual std::uint8_t readByte() = 0;
    virtual void flushInput() = 0;
    // Discards what came before, as flushInput(), and returns once everything received from
    // now on is new: for a line that listens next, without a write of its own that would
    // follow the flush on the way to the peer. A port whose buffer sits in a device server
    // waits for the server's purge; the others flush.
    virtual void settleInput() { flushInput(); }
    virtual void flushOutput() = 0;
    virtual std::size_t outputBufferSize() const = 0;
    // Aborts the write in progress and clears what is queued for sending.
    virtual void purgeOutput() = 0;

    // Waits at most `timeout` for bytes beyond those waiting now; false when the port cannot
    // wait for its input (the caller then sleeps instead). Ends early, never late.
    virtual bool waitForInput(std::chrono::milliseconds timeout) {
        (void)timeout;
        return false;
    }

    // The system error with which the open device went away (a USB adapter pulled, the other
    // end of a pseudo-terminal closed); 0 while it works. A line that only listens would
    // otherwise wait on a dead port for ever. Ports that cannot tell answer 0.
    virtual int deviceLost() { return 0; }

    // A failure of this port in words that name its far end ("connection closed by
    // 127.0.0.1:7001"); empty when the system error number is all there is to say.
    virtual std::string failureText(int systemError) const {
        (void)systemError;
        return {};
    }
};

}  // namespace comm
