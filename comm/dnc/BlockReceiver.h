// The PC's receiver for one block from a unit: DLE STX R data DLE END C 0x00, data bytes
// equal to DLE doubled. It is fed one byte at a time and tells its caller what the line must
// see next; the caller writes the acknowledgement and flushes the receive buffer.
#pragma once

#include <cstdint>
#include <string>

namespace comm::dnc {

class BlockReceiver {
public:
    // What the caller does after a byte.
    enum class Outcome {
        Continue,           // keep feeding
        Deliver,            // a good new block: acknowledge it and return its data
        AcknowledgeRepeat,  // a good repeat of the previous block: acknowledge it, drop it
        FlushInput,         // the block is lost: empty the receive buffer
    };

    // States of the table; 3 to 36 hold the data bytes 1 to 34.
    static constexpr int kExpectDle = 0;
    static constexpr int kExpectStx = 1;
    static constexpr int kExpectCode = 2;
    static constexpr int kFirstData = 3;
    static constexpr int kFull = 37;  // 34 data bytes received: only DLE END may follow
    static constexpr int kExpectCheck = 38;
    static constexpr int kExpectFinal = 39;
    static constexpr int kDiscard = 40;

    explicit BlockReceiver(std::uint8_t expectedCode) : expected_(expectedCode) { reset(); }

    // Before every attempt: state 0, block good, not repeated, no DLE pending, check 0.
    void reset();
    Outcome feed(std::uint8_t byte);

    const std::string& data() const { return data_; }
    int state() const { return state_; }
    bool good() const { return good_; }
    bool repeated() const { return repeated_; }

private:
    Outcome feedData(std::uint8_t byte);
    void appendData(std::uint8_t byte);

    std::uint8_t expected_;
    int state_ = kExpectDle;
    bool good_ = true;
    bool repeated_ = false;
    bool dlePending_ = false;
    unsigned check_ = 0;
    std::string data_;
};

}  // namespace comm::dnc
