// The wait of a write on a port that paces its line itself (see LinePacing), shared by the
// pseudo-terminal and the network ports.
#pragma once

#include <functional>

#include "comm/link/LinePacing.h"
#include "comm/link/SerialPort.h"

namespace comm {

struct PacedWriteSteps {
    std::function<WriteProgress()> push;  // hands on what is due; the write's state
    std::function<bool()> waitsForTime;   // nothing blocks the next bytes but their time
    // The device takes no more for now: wait for it at most this many milliseconds.
    std::function<void(int)> waitForDevice;
};

// Pushes until the write is no longer pending or `timeoutMs` passed. Between pushes it sleeps
// until the next bytes are due, at most once a millisecond or `chunk` characters, so that lines
// go in small chunks (never early); the last wait ends exactly when the write is done.
WriteProgress waitPacedWrite(const LinePacing& pacing, int timeoutMs, int chunk,
                             const PacedWriteSteps& steps);

}  // namespace comm
