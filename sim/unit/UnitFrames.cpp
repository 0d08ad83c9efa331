#include "sim/unit/UnitFrames.h"

namespace sim::unit {

using namespace wire;

std::optional<PcFrame> PcFrameParser::feed(std::uint8_t byte) {
    switch (state_) {
        case State::Idle:
            if (byte == kDle) {
                state_ = State::Escape;
            }
            return std::nullopt;
        case State::Escape:
            if (byte == kEot) {
                frame_ = PcFrame{};
                state_ = State::Address1;
                return std::nullopt;
            }
            state_ = State::Idle;
            if (byte == kOk) {
                PcFrame ack;
                ack.kind = PcFrame::Acknowledge;
                return ack;
            }
            return std::nullopt;
        case State::Address1:
            frame_.address = byte;
            state_ = State::Address2;
            return std::nullopt;
        case State::Address2:
            secondAddress_ = byte;
            state_ = State::HeaderDle;
            return std::nullopt;
        case State::HeaderDle:
            state_ = byte == kDle ? State::HeaderKind : State::Idle;
            return std::nullopt;
        case State::HeaderKind:
            if (byte == kReq) {
                state_ = State::Idle;
                if (frame_.address != secondAddress_) {
                    return std::nullopt;
                }
                frame_.kind = PcFrame::BlockWanted;
                return frame_;
            }
            state_ = byte == kStx ? State::Code : State::Idle;
            return std::nullopt;
        case State::Code:
            frame_.code = byte;
            sum_ = byte;
            state_ = State::Data;
            return std::nullopt;
        case State::Data:
            if (byte == kDle) {
                state_ = State::DataEscape;
            } else {
                frame_.data += static_cast<char>(byte);
                sum_ = static_cast<std::uint8_t>(sum_ + byte);
            }
            if (frame_.data.size() > kMaxData) {
                state_ = State::Idle;  // runaway frame: forget it
            }
            return std::nullopt;
        case State::DataEscape:
            if (byte == kEnd) {
                state_ = State::Check;
            } else {
                if (byte != kDle) {
                    frame_.intact = false;
                }
                frame_.data += static_cast<char>(byte);
                sum_ = static_cast<std::uint8_t>(sum_ + byte);
                state_ = State::Data;
            }
            return std::nullopt;
        case State::Check:
            frame_.intact = frame_.intact && byte == sum_;
            state_ = State::Final;
            return std::nullopt;
        case State::Final:
            frame_.intact = frame_.intact && byte == 0x00;
            state_ = State::Idle;
            if (frame_.address != secondAddress_) {
                return std::nullopt;
            }
            return frame_;
    }
    return std::nullopt;
}

std::string unitBlock(std::uint8_t code, std::string_view data, std::uint8_t checkError) {
    std::string block{static_cast<char>(kDle), static_cast<char>(kStx), static_cast<char>(code)};
    std::uint8_t sum = code;
    for (char c : data) {
        const auto b = static_cast<std::uint8_t>(c);
        block += c;
        if (b == kDle) {
            block += c;
        }
        sum = static_cast<std::uint8_t>(sum + b);
    }
    block += static_cast<char>(kDle);
    block += static_cast<char>(kEnd);
    block += static_cast<char>(static_cast<std::uint8_t>(sum + checkError));
    block += '\0';
    return block;
}

std::string unitAcknowledge() {
    return {static_cast<char>(kDle), static_cast<char>(kOk)};
}

std::optional<Closing> parseClosing(const PcFrame& frame) {
    if (frame.kind != PcFrame::DataBlock || frame.code != 0 || frame.data.size() != 16 ||
        frame.data[0] != '\x05') {
        return std::nullopt;
    }
    Closing closing;
    for (int i = 14; i >= 11; --i) {
        closing.value = closing.value * 256 + static_cast<std::uint8_t>(frame.data[i]);
    }
    closing.status = static_cast<std::uint8_t>(frame.data[15]);
    return closing;
}

}  // namespace sim::unit
