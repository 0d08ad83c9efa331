// A simulated tape reader at the machine: it sends a program on a plain line, optionally
// followed by the end-of-file character 0x1A, in pieces with pauses between them (a reader
// that stops and starts), and can stop before the end as a torn tape does.
#pragma once

#include <chrono>
#include <cstddef>
#include <optional>
#include <string>

#include "sim/heidenhain/link/PeerLink.h"

namespace sim {

struct TapeReading {
    std::string program;
    bool endOfFile = false;
    std::size_t pieceLength = 256;
    std::chrono::milliseconds pause{0};         // between pieces
    std::size_t tearAfter = std::string::npos;  // bytes after which the tape ends early
};

class TapeReader {
public:
    explicit TapeReader(PeerLink& link) : link_(link) {}
    ~TapeReader();
    TapeReader(const TapeReader&) = delete;
    TapeReader& operator=(const TapeReader&) = delete;

    void read(TapeReading reading);
    bool done() const { return done_; }
    std::size_t bytesSent() const { return sent_; }

private:
    void sendPiece();

    PeerLink& link_;
    TapeReading reading_;
    std::size_t sent_ = 0;
    bool done_ = true;
    std::optional<PeerLink::TimerId> timer_;
};

}  // namespace sim
