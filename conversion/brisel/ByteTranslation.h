// Byte-by-byte translation through a table of 256 actions: the engine of every tape-code
// conversion.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string_view>

namespace brisel {

// What becomes of one input byte: a value 0..255 is the output byte, or one of these.
inline constexpr std::int16_t kDropByte = -1;
inline constexpr std::int16_t kEndOfBlock = -2;
inline constexpr std::int16_t kRefuseByte = -3;

struct Translation {
    std::array<std::int16_t, 256> actions{};
    std::string_view endOfBlock;  // the bytes written for kEndOfBlock
};

// Translates `input` to `out`, which has room for input.size() * endOfBlock.size() bytes.
// Returns the offset of the first refused byte, or npos when all were translated; `written`
// is the number of bytes put to `out`.
std::size_t translateBytes(std::string_view input, const Translation& translation, char* out,
                           std::size_t& written);

}  // namespace brisel
