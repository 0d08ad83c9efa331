// The two punched-tape codes of NC programs: ISO 7-bit with even parity on track 8, and EIA
// RS-244 with odd parity on track 5.
#pragma once

#include <array>
#include <cstdint>

namespace brisel {

// ISO: the character with track 8 set when its seven bits have an odd number of holes.
constexpr unsigned char withIsoParity(unsigned char c) {
    unsigned char bits = c & 0x7F;
    unsigned holes = 0;
    for (; bits != 0; bits &= static_cast<unsigned char>(bits - 1)) {
        ++holes;
    }
    return static_cast<unsigned char>((c & 0x7F) | ((holes & 1U) << 7));
}

constexpr bool hasEvenParity(unsigned char c) {
    unsigned holes = 0;
    for (; c != 0; c &= static_cast<unsigned char>(c - 1)) {
        ++holes;
    }
    return (holes & 1U) == 0;
}

// EIA codes of the characters that have one.
inline constexpr unsigned char kEiaEndOfBlock = 0x80;
inline constexpr unsigned char kEiaEndOfRecord = 0x0B;  // "%"
inline constexpr unsigned char kEiaBlank = 0x00;        // feed
inline constexpr unsigned char kEiaDelete = 0x7F;       // feed

// The EIA code of a text character, 0 when it has none (0 is blank tape, never a character).
std::uint8_t eiaCodeOf(unsigned char text);

// The text character of an EIA code, 0 when the code stands for none (feed, end of block and
// unknown codes have none).
unsigned char textOfEiaCode(std::uint8_t code);

}  // namespace brisel
