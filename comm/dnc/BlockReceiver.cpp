#include "comm/dnc/BlockReceiver.h"

#include "comm/dnc/DncFrames.h"

namespace comm::dnc {

void BlockReceiver::reset() {
    state_ = kExpectDle;
    good_ = true;
    repeated_ = false;
    dlePending_ = false;
    check_ = 0;
    data_.clear();
}

BlockReceiver::Outcome BlockReceiver::feed(std::uint8_t byte) {
    switch (state_) {
        case kExpectDle:  // 0: DLE; any other byte marks the block bad
            good_ = good_ && byte == DLE;
            state_ = kExpectStx;
            return Outcome::Continue;

        case kExpectStx:  // 1: STX; any other byte marks the block bad
            good_ = good_ && byte == STX;
            state_ = kExpectCode;
            return Outcome::Continue;

        case kExpectCode:  // 2: the expected code, or the previous one (a repeat)
            if (byte != expected_) {
                if (expected_ != kRequestCode && byte == previousBlockNumber(expected_)) {
                    repeated_ = true;
                } else {
                    good_ = false;
                }
            }
            check_ = byte;
            state_ = kFirstData;
            return Outcome::Continue;

        case kExpectCheck:  // 38: the check byte must equal check mod 256
            good_ = good_ && byte == (check_ & 0xFF);
            state_ = kExpectFinal;
            return Outcome::Continue;

        case kExpectFinal:  // 39: 0x00; a good block is acknowledged, a bad one asked again
            good_ = good_ && byte == 0x00;
            if (!good_) {
                return Outcome::Continue;  // stays 39 until the buffer is empty
            }
            if (repeated_) {
                state_ = kDiscard;
                return Outcome::AcknowledgeRepeat;
            }
            return Outcome::Deliver;

        case kDiscard:  // 40: whatever follows is flushed
            return Outcome::FlushInput;

        default:  // 3 to 37: data
            return feedData(byte);
    }
}

// States 3 to 36 take data bytes; 37 (34 data bytes held) only the closing DLE END. A 35th
// data byte loses the block: the buffer is flushed and the next attempt asks again.
BlockReceiver::Outcome BlockReceiver::feedData(std::uint8_t byte) {
    if (byte == DLE && !dlePending_) {
        dlePending_ = true;
        return Outcome::Continue;
    }
    if (dlePending_) {
        dlePending_ = false;
        if (byte == END) {
            state_ = kExpectCheck;
            return Outcome::Continue;
        }
        if (byte != DLE) {
            good_ = false;
            return Outcome::Continue;
        }
        // DLE DLE: one data byte 0x10.
    }
    if (state_ == kFull) {
        good_ = false;
        state_ = kDiscard;
        return Outcome::FlushInput;
    }
    appendData(byte);
    return Outcome::Continue;
}

void BlockReceiver::appendData(std::uint8_t byte) {
    data_ += static_cast<char>(byte);
    check_ += byte;
    ++state_;
}

}  // namespace comm::dnc
