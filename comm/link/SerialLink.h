// The lowest layer of the control: the one serial port of a sub net, its settings, the write
// that waits until the bytes have left the line while letting the host's messages run, the
// one-byte reads and the buffer operations. Everything above talks to the port through here.
#pragma once

#include "comm/Export.h"

#include <functional>
#include <memory>
#include <span>
#include <string>
#include <string_view>

#include "comm/ComError.h"
#include "comm/Host.h"
#include "comm/link/SerialPort.h"

namespace comm {

class FERIXCOMM_API SerialLink {
public:
    SerialLink(Host& host, std::unique_ptr<SerialPort> port);

    // Port number N is the device that the resolver names; by default /dev/ttyS<N-1>.
    std::int16_t portNumber() const { return portNumber_; }
    void setPortNumber(std::int16_t number) { portNumber_ = number; }
    void setDeviceResolver(std::function<std::string(int)> resolver);
    std::string devicePath() const;

    // "speed,parity,data bits,stop bits". An invalid string is refused (error 380) and the
    // line keeps its settings.
    Status setSettings(const std::string& settings);
    const std::string& settings() const { return settings_; }

    std::int32_t handshaking() const { return control_.handshaking; }
    void setHandshaking(std::int32_t mode) { control_.handshaking = mode; }
    void setXonXoff(std::uint8_t xon, std::uint8_t xoff);

    // The divisor of every protocol timing, in bits per second.
    std::int32_t lineSpeed() const { return lineSpeed_; }
    void setLineSpeed(std::int32_t speed) { lineSpeed_ = speed; }

    Status open();
    void close();
    bool isOpen() const { return port_->isOpen(); }

    // Zero time-outs, DTR on, XON/XOFF characters, RTS off unless the handshaking uses it.
    // Does nothing while the port is closed.
    Status ApplyLineSettings();

    // Writes all bytes and returns when they have left the port, when StopRequested is set,
    // or with an error.
    Status WritePort(std::string_view bytes);
    // The same for a frame that the peer acts on only when it is complete; with `pieceEnds`
    // the bytes are several such frames, each ending before one of those offsets (see
    // SerialPort::startWriteInPieces). Same timing on the line, fewer wake-ups.
    Status WriteFrames(std::string_view bytes, std::span<const std::size_t> pieceEnds = {});

    bool StopRequested() const { return stopRequested_; }
    void setStopRequested(bool stop) { stopRequested_ = stop; }

    // An error naming the device when it went away while open (see SerialPort::deviceLost).
    Status checkDevice();
    // Opens the port again when its device went away, or when an earlier attempt found the
    // device away and left the port closed; it may have come back since. For lines without a
    // loop of their own that could notice and restart.
    Status reopenIfLost();

    // A pause between looks at the receive buffer: it ends early when new bytes arrive on a
    // port that can tell, so that an answer is taken as soon as it is there.
    void waitForInput(std::chrono::milliseconds pause);

    std::size_t bytesWaiting() { return port_->bytesWaiting(); }
    std::uint8_t readByte() { return port_->readByte(); }
    void flushInput() { port_->flushInput(); }
    void settleInput() { port_->settleInput(); }
    void flushOutput() { port_->flushOutput(); }
    std::size_t outputBufferSize() const { return port_->outputBufferSize(); }
    void purgeOutput() { port_->purgeOutput(); }

    Host& host() { return host_; }
    SerialPort& port() { return *port_; }

private:
    Status waitWritten(WriteProgress progress, std::size_t size);

    Host& host_;
    std::unique_ptr<SerialPort> port_;
    std::function<std::string(int)> resolver_;
    std::int16_t portNumber_ = 1;
    std::string settings_ = "4800,n,8,2";
    LineSettings parsed_;
    LineControl control_;
    std::int32_t lineSpeed_ = 4800;
    bool stopRequested_ = false;
};

}  // namespace comm
