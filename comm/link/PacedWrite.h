// The wait of a write on a port that paces its line itself (see LinePacing), shared by the
// pseudo-terminal and the network ports.
#pragma once

#include <chrono>
#include <functional>

#include "comm/link/LinePacing.h"
#include "comm/link/SerialPort.h"

namespace comm {

struct PacedWriteSteps {
    std::function<WriteProgress()> push;  // hands on what is due; the write's state
    std::function<bool()> waitsForTime;   // nothing blocks the next bytes but their time
    // The device takes no more for now: wait for it at most this many milliseconds.
    std::function<void(int)> waitForDevice;
    // The longest of those waits; a device that drains at its own speed may take longer ones.
    int longestDeviceWaitMs = 2;
};

// Pushes until the write is no longer pending or `timeoutMs` passed. Between pushes it sleeps
// until the next bytes are due, at most once a millisecond or `chunk` characters, so that lines
// go in small chunks (never early); the last wait ends exactly when the write is done.
WriteProgress waitPacedWrite(const LinePacing& pacing, int timeoutMs, int chunk,
                             const PacedWriteSteps& steps);

// Waits at most `timeout` for input while bytes of an earlier write may still be queued (their
// writer stopped waiting for them, after a stop): they are handed on at their time, as a UART
// goes on sending while the program waits for an answer. `pollInput` waits for input at most
// the given milliseconds and tells whether the wait may end (input came, or the device hung up).
void waitInputWhileSending(const LinePacing& pacing, std::chrono::milliseconds timeout, int chunk,
                           const std::function<void()>& push,
                           const std::function<bool(int)>& pollInput);

// How long a closing port lets its queued bytes go on to the line: until the last one's time
// is over (as the kernel lets a serial port's output drain on close), never longer than
// `limit`. Zero when every queued byte is due (they go with one more push).
int drainTimeMs(const LinePacing& pacing, std::chrono::milliseconds limit);
// A write is at most a few kilobytes: at 9600 baud its bytes are on the line within this.
inline constexpr std::chrono::milliseconds kCloseDrainLimit{5000};

}  // namespace comm
