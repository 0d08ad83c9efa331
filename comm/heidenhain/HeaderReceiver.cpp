#include "comm/heidenhain/HeaderReceiver.h"

#include "comm/heidenhain/AsciiControl.h"

namespace comm::heidenhain {

void HeaderReceiver::reset() {
    state_ = State::Idle;
    check_ = 0;
    fileType_ = 0;
    text_.clear();
}

std::optional<RequestHeader> HeaderReceiver::feed(std::uint8_t byte) {
    switch (state_) {
        case State::Idle:
            if (byte == ascii::SOH) {
                check_ = byte;
                state_ = State::FileType;
            }
            return std::nullopt;
        case State::FileType:
            check_ ^= byte;
            fileType_ = static_cast<char>(byte);
            state_ = State::Text;
            return std::nullopt;
        case State::Text:
            if (byte == ascii::ETB) {
                check_ ^= byte;
                state_ = State::Check;
            } else if (text_.size() < kLongestHeaderText) {
                check_ ^= byte;
                text_ += static_cast<char>(byte);
            } else {
                // Not a header after all: listen afresh (a new SOH may start one right here).
                reset();
                return feed(byte);
            }
            return std::nullopt;
        case State::Check: {
            RequestHeader header;
            header.fileType = fileType_;
            header.checkOk = byte == check_;
            if (!text_.empty()) {
                header.command = text_.back();
                header.name = text_.substr(0, text_.size() - 1);
            }
            reset();
            return header;
        }
    }
    return std::nullopt;
}

}  // namespace comm::heidenhain
