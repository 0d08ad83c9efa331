// Binary layout of an embedded string table. Written by the string-table compiler, read by the
// language library. All numbers are little-endian.
//
//   header     "FXST", u16 version, u16 language count
//   language   u16 language code, u16 block count, u32 offset of its block directory
//              (languages in ascending code order)
//   directory  per block: u16 block number (string n lies in block n / 16 + 1), u16 zero,
//              u32 offset of the block, u32 size of the block (blocks in ascending order)
//   block      16 entries, each a u16 count of UTF-16 code units and that many code units
//
// Offsets count from the first byte of the header.
#pragma once

#include <cstdint>

namespace loc {

inline constexpr char kTableMagic[4] = {'F', 'X', 'S', 'T'};
inline constexpr std::uint16_t kTableVersion = 1;
inline constexpr std::uint32_t kStringsPerBlock = 16;
inline constexpr std::uint32_t kHeaderSize = 8;
inline constexpr std::uint32_t kLanguageEntrySize = 8;
inline constexpr std::uint32_t kDirectoryEntrySize = 12;

// Name of the function that a program or library exports to hand out its embedded table:
//   extern "C" const std::uint8_t* FerixStringTable(std::uint32_t* size);
// A function rather than a data symbol: every module has one of that name, and only data
// symbols of one name in several modules collide.
inline constexpr const char* kTableSymbol = "FerixStringTable";
using TableFunction = const std::uint8_t* (*)(std::uint32_t* size);

inline constexpr std::uint16_t primaryLanguage(std::uint16_t code) {
    return code & 0x03FF;
}
inline constexpr std::uint16_t subLanguage(std::uint16_t code) {
    return code >> 10;
}

}  // namespace loc
