// The listing of a unit directory as a unit receives it: one 32-byte record per ordinary file
// with its DOS time and date of last change, size and name.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "comm/ComError.h"

namespace comm::dnc {

struct ListingEntry {
    std::string name;
    std::uint64_t size = 0;
    // Local time of the last change.
    int year = 1980, month = 1, day = 1, hour = 0, minute = 0, second = 0;
};

inline constexpr std::size_t kListingRecordSize = 32;
// Names of this many characters or more do not fit a record and are passed over.
inline constexpr std::size_t kListingNameLimit = 14;

// hour × 2048 + minute × 32 + second ÷ 2.
std::uint16_t dosTime(int hour, int minute, int second);
// (year − 1980) × 512 + month × 32 + day; years outside 1980..2107 are held at the ends of
// what the format can carry.
std::uint16_t dosDate(int year, int month, int day);

// 0x00, time, date, size (each LSB first), name, 0x00, zeros up to 32 bytes.
std::string listingRecord(const ListingEntry& entry);

// The ordinary files of `directory` (no directories, no hidden files) with names shorter than
// 14 characters, by name. A directory that does not exist lists nothing.
Expected<std::vector<ListingEntry>> listUnitDirectory(const std::filesystem::path& directory);

}  // namespace comm::dnc
