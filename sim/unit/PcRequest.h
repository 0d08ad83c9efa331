// A request of the PC's operator as the unit reads it: one block with code 0 and 11 data bytes,
// action, direction, kind or command code, and the name right-aligned in 8 characters filled
// with "/" (the places of the unit's own request).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim::unit {

namespace pc {
// Actions.
inline constexpr std::uint8_t kTransfer = 0;
inline constexpr std::uint8_t kDelete = 3;
inline constexpr std::uint8_t kCommand = 4;
// Directions of a transfer.
inline constexpr std::uint8_t kToUnit = 0;
inline constexpr std::uint8_t kFromUnit = 1;
// The file kind that asks for the memory list.
inline constexpr std::uint8_t kListKind = 2;
// Command codes.
inline constexpr std::uint8_t kSelect = 0;
inline constexpr std::uint8_t kReaderSimulation = 1;   // STR
inline constexpr std::uint8_t kPuncherSimulation = 2;  // STP
inline constexpr std::uint8_t kReaderReading = 3;      // TR
inline constexpr std::uint8_t kSection1 = 4;           // 4 to 7: sections 1 to 4
inline constexpr std::uint8_t kSection4 = 7;
inline constexpr std::uint8_t kJoinSections = 8;
inline constexpr std::uint8_t kPurge = 9;
inline constexpr std::uint8_t kReset = 20;

inline constexpr std::size_t kRequestLength = 11;
inline constexpr const char* kMemoryListName = "$$$$$DIR";
inline constexpr const char* kDirectoryFileName = "DIR";
}  // namespace pc

struct PcRequest {
    std::uint8_t action = 0;
    std::uint8_t direction = 0;
    std::uint8_t code = 0;  // the file kind of a transfer, the command of a command
    std::string name;       // without the "/" fill

    bool isMemoryList() const {
        return action == pc::kTransfer && direction == pc::kFromUnit && code == pc::kListKind;
    }
};

// nullopt for a block that is not 11 bytes long.
std::optional<PcRequest> parsePcRequest(std::string_view data);

// "select", "STR", "section 2", ...; "command 13" for an unknown code.
std::string commandName(std::uint8_t code);

}  // namespace sim::unit
