#include "comm/heidenhain/BlockCutter.h"

#include <cstdint>

#include "comm/heidenhain/AsciiControl.h"

namespace comm::heidenhain {

CutMode cutModeFor(ProtocolEnum protocol, bool heidenhainCRLF) {
    return protocol == ProtTavro1 && heidenhainCRLF ? CutMode::Chunks : CutMode::Lines;
}

std::optional<std::string> BlockCutter::next() {
    if (mode_ == CutMode::Chunks) {
        return nextChunk();
    }
    return nextLine();
}

std::optional<std::string> BlockCutter::nextLine() {
    std::string block;
    while (pos_ < text_.size()) {
        const auto byte = static_cast<std::uint8_t>(text_[pos_++]);
        if (byte == ascii::CR) {
            if (pos_ < text_.size() && static_cast<std::uint8_t>(text_[pos_]) == ascii::LF) {
                ++pos_;
            }
            return block;
        }
        if (byte >= 0x20 || byte == ascii::TAB) {
            block += static_cast<char>(byte);
        } else if (block.size() > kLongestLineBeforeDrop) {
            return std::nullopt;
        }
    }
    return block;
}

std::string BlockCutter::nextChunk() {
    std::string block;
    while (pos_ < text_.size() && block.size() < kChunkBlockText) {
        const auto byte = static_cast<std::uint8_t>(text_[pos_++]);
        if (byte >= 0x20 || byte == ascii::TAB || byte == ascii::CR || byte == ascii::LF) {
            block += static_cast<char>(byte);
        }
    }
    return block;
}

}  // namespace comm::heidenhain
