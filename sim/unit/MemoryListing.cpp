#include "sim/unit/MemoryListing.h"

#include <algorithm>

namespace sim::unit {

namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kRecordSize = 16;
constexpr std::size_t kDirectoryRecordSize = 32;
constexpr std::size_t kDirectoryNameLength = 24;
constexpr std::size_t kNameLength = 8;
constexpr std::size_t kNumberDigits = 5;
constexpr std::uint8_t kSectionMarker = 0xA5;
constexpr std::uint32_t kMost24Bit = 0xFFFFFF;
constexpr char kShortAnswer = 64;

void put(std::string& bytes, std::size_t at, std::uint32_t value, int count) {
    for (int i = 0; i < count; ++i) {
        bytes[at + static_cast<std::size_t>(i)] = static_cast<char>(value & 0xFF);
        value >>= 8;
    }
}

std::string listingRecord(const MemoryFile& file) {
    std::string record(kRecordSize, '\0');
    if (isNumberedProgram(file.name)) {
        // Digits as values, least significant first; missing high digits stay 0.
        for (std::size_t i = 0; i < file.name.size(); ++i) {
            record[i] = static_cast<char>(file.name[file.name.size() - 1 - i] - '0');
        }
    } else {
        const std::string name =
            std::string(kNameLength - std::min(kNameLength, file.name.size()), ' ') +
            file.name.substr(0, kNameLength);
        constexpr std::size_t kPlaces[kNameLength] = {14, 13, 12, 4, 3, 2, 1, 0};
        for (std::size_t i = 0; i < kNameLength; ++i) {
            record[kPlaces[i]] = name[i];
        }
    }
    put(record, 8,
        std::min<std::uint32_t>(static_cast<std::uint32_t>(file.data.size()), kMost24Bit), 3);
    return record;
}

std::string directoryRecord(const std::string& name, std::uint32_t size) {
    std::string record(kDirectoryRecordSize, '\0');
    std::string field = name.substr(0, kDirectoryNameLength);
    field.resize(kDirectoryNameLength, ' ');
    record.replace(0, kDirectoryNameLength, field);
    put(record, kDirectoryNameLength, size, 4);
    return record;
}

}  // namespace

bool isNumberedProgram(const std::string& name) {
    return !name.empty() && name.size() <= kNumberDigits &&
           std::all_of(name.begin(), name.end(), [](char c) { return c >= '0' && c <= '9'; });
}

std::string kindExtension(std::uint8_t kind) {
    static const char* const kExtensions[] = {"STX", "WTX", "LST", "", "SMC", "WMC", "SDG", "WDG"};
    return kind < std::size(kExtensions) ? kExtensions[kind]
                                         : std::string("K").append(std::to_string(kind));
}

std::string binaryMemoryListing(const UnitMemory& memory) {
    std::string listing(kHeaderSize, '\0');
    put(listing, 8, std::min(memory.freeBytes(), kMost24Bit), 3);
    if (!memory.joined()) {
        listing[14] = static_cast<char>(kSectionMarker);
        listing[15] = static_cast<char>(128 + memory.currentSection());
    }
    for (const MemoryFile& file : memory.visibleFiles()) {
        listing += listingRecord(file);
    }
    return listing;
}

std::string shortMemoryListing() {
    return std::string(1, kShortAnswer);
}

std::string directoryFile(const UnitMemory& memory) {
    const std::vector<MemoryFile> files = memory.visibleFiles();
    std::string out =
        directoryRecord("DIR." + kindExtension(0),
                        static_cast<std::uint32_t>((files.size() + 1) * kDirectoryRecordSize));
    for (const MemoryFile& file : files) {
        const std::string extension = kindExtension(file.kind);
        out += directoryRecord(extension.empty() ? file.name : file.name + "." + extension,
                               static_cast<std::uint32_t>(file.data.size()));
    }
    return out;
}

}  // namespace sim::unit
