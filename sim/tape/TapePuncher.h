// A simulated tape puncher at the machine: it takes everything the PC sends on a plain line.
// With the end-of-file character 0x1A in use it ends the tape there (the character itself is
// not punched) and keeps whatever follows as stray bytes.
#pragma once

#include <string>

#include "sim/heidenhain/link/PeerLink.h"

namespace sim {

class TapePuncher {
public:
    TapePuncher(PeerLink& link, bool endAtEndOfFile);
    ~TapePuncher();
    TapePuncher(const TapePuncher&) = delete;
    TapePuncher& operator=(const TapePuncher&) = delete;

    const std::string& punched() const { return punched_; }
    // The end-of-file character has arrived.
    bool ended() const { return ended_; }
    const std::string& afterEnd() const { return afterEnd_; }
    // Starts a new tape.
    void clear();

private:
    void onByte(std::uint8_t byte);

    PeerLink& link_;
    bool endAtEndOfFile_;
    bool ended_ = false;
    std::string punched_;
    std::string afterEnd_;
};

}  // namespace sim
