#include "conversion/brisel/TapeCodes.h"

#include <utility>

namespace brisel {

namespace {

struct EiaPair {
    char text;
    std::uint8_t code;
};

// RS-244, as punched: digits and letters are zone + BCD + parity on track 5.
constexpr EiaPair kEiaCodes[] = {
    {'0', 0x20}, {'1', 0x01}, {'2', 0x02},  {'3', 0x13}, {'4', 0x04},  {'5', 0x15}, {'6', 0x16},
    {'7', 0x07}, {'8', 0x08}, {'9', 0x19},  {'A', 0x61}, {'B', 0x62},  {'C', 0x73}, {'D', 0x64},
    {'E', 0x75}, {'F', 0x76}, {'G', 0x67},  {'H', 0x68}, {'I', 0x79},  {'J', 0x51}, {'K', 0x52},
    {'L', 0x43}, {'M', 0x54}, {'N', 0x45},  {'O', 0x46}, {'P', 0x57},  {'Q', 0x58}, {'R', 0x49},
    {'S', 0x32}, {'T', 0x23}, {'U', 0x34},  {'V', 0x25}, {'W', 0x26},  {'X', 0x37}, {'Y', 0x38},
    {'Z', 0x29}, {' ', 0x10}, {'\t', 0x3E}, {'+', 0x70}, {'-', 0x40},  {'.', 0x6B}, {',', 0x3B},
    {'/', 0x31}, {'(', 0x1A}, {')', 0x4A},  {'%', 0x0B}, {'\b', 0x2A},
};

struct EiaTables {
    std::array<std::uint8_t, 256> toEia{};
    std::array<unsigned char, 256> toText{};
};

constexpr EiaTables makeTables() {
    EiaTables tables;
    for (const EiaPair& pair : kEiaCodes) {
        tables.toEia[static_cast<unsigned char>(pair.text)] = pair.code;
        tables.toText[pair.code] = static_cast<unsigned char>(pair.text);
    }
    return tables;
}

constexpr EiaTables kTables = makeTables();

}  // namespace

std::uint8_t eiaCodeOf(unsigned char text) {
    return kTables.toEia[text];
}

unsigned char textOfEiaCode(std::uint8_t code) {
    return kTables.toText[code];
}

}  // namespace brisel
