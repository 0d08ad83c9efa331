// Cuts a program text into the texts of data blocks.
//
// Lines: one line per block. Bytes from 32 up and TAB are taken, CR closes the block (an LF
// right after it is skipped), every other control character is dropped; dropping one while the
// block already holds more than 1000 characters means the text has no usable line structure.
// Chunks (Tavro1 with CR LF kept): every byte but the control characters, plus TAB, CR and LF,
// in blocks of up to 199 characters (200 with the leading STX).
#pragma once

#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

#include "comm/ProtocolEnum.h"

namespace comm::heidenhain {

enum class CutMode { Lines, Chunks };

// Chunks for ProtTavro1 with HeidenhainCRLF, lines otherwise.
CutMode cutModeFor(ProtocolEnum protocol, bool heidenhainCRLF);

inline constexpr std::size_t kChunkBlockText = 199;
inline constexpr std::size_t kLongestLineBeforeDrop = 1000;

class BlockCutter {
public:
    // `text` must outlive the cutter.
    BlockCutter(std::string_view text, CutMode mode) : text_(text), mode_(mode) {}

    bool done() const { return pos_ >= text_.size(); }
    // Offset of the next byte to cut.
    std::size_t position() const { return pos_; }

    // The next block's text; nullopt when a control character had to be dropped from a line
    // that was already longer than 1000 characters.
    std::optional<std::string> next();

private:
    std::optional<std::string> nextLine();
    std::string nextChunk();

    std::string_view text_;
    CutMode mode_;
    std::size_t pos_ = 0;
};

}  // namespace comm::heidenhain
