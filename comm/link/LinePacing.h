// Releases written bytes at the speed of the line for ports whose device does not pace its
// output (a pseudo-terminal, a TCP connection to a device server): a byte is handed on when its
// time on the line is over, as a receiving UART would deliver it, and the write as a whole is
// done when its last byte's time is over. Never earlier: a stopped transfer delivers no more
// than a real line would have.
//
// A write may come in pieces that the peer only takes as a whole (a protocol frame, which the
// peer acts on when its last byte is in): such a piece is handed on in one go when its last
// byte's time is over, so that it costs one wake-up instead of one per few characters and
// reaches the peer as early as a real line would let it act on it.
#pragma once

#include <chrono>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

namespace comm {

class LinePacing {
public:
    using Clock = std::chrono::steady_clock;

    // Zero releases every byte at once.
    void setCharacterTime(std::chrono::nanoseconds time) { charTime_ = time; }
    std::chrono::nanoseconds characterTime() const { return charTime_; }

    // Queues bytes (each masked with `mask`); the first byte of a new write starts its time
    // now, later ones follow it.
    void queue(std::span<const std::uint8_t> data, std::uint8_t mask, Clock::time_point now);
    // The same for bytes that go in pieces, each handed on whole: a piece ends before each
    // offset of `pieceEnds` (ascending, inside `data`), the last one ends with `data`.
    void queuePieces(std::span<const std::uint8_t> data, std::uint8_t mask, Clock::time_point now,
                     std::span<const std::size_t> pieceEnds);
    // The bytes whose time is over and that were not yet handed on.
    std::span<const std::uint8_t> due(Clock::time_point now) const;
    void handedOn(std::size_t count);

    bool empty() const { return pending_.empty(); }
    bool allHandedOn() const { return handed_ == pending_.size(); }
    // Every byte handed on and the last one's time over; the queue is then cleared.
    bool finish(Clock::time_point now);
    // How long a write waiting for its next bytes sleeps: until the next byte is due but at
    // least `minimumChunk` characters (and `minimumWait`), and never past the end of the write.
    Clock::time_point nextWake(Clock::time_point now, int minimumChunk,
                               Clock::duration minimumWait) const;
    // When the last queued byte's time on the line is over.
    Clock::time_point lastByteDoneAt() const { return doneAt(); }
    // Bytes handed on since the write began (its WriteProgress::written).
    std::size_t handedTotal() const { return total_; }
    void clear();

    // Lets the calling thread's waits end on time: by default Linux may end a wait up to 50 us
    // late to batch wake-ups, and every paced write and every pause of the protocols would
    // carry that delay (some percent of the line at 115200 baud).
    static void preciseWaits();

private:
    struct Piece {
        std::size_t begin;
        std::size_t end;
    };

    std::size_t dueCount(Clock::time_point now) const;
    Clock::time_point doneAt() const;
    Clock::time_point dueAt(std::size_t count) const;
    // The piece that holds byte `index`, or nullptr when it goes by itself.
    const Piece* pieceOf(std::size_t index) const;

    std::chrono::nanoseconds charTime_{0};
    std::vector<std::uint8_t> pending_;
    std::vector<Piece> pieces_;  // ascending, over indexes of pending_
    std::size_t handed_ = 0;
    std::size_t total_ = 0;
    Clock::time_point anchor_{};  // release time reference of pending_[0]
};

}  // namespace comm
