// A unit's request, the data of its block with code 0 after it answered a poll:
//   byte 1 action (2 file transfer, 7 directory listing), 2 direction (0 PC to unit, 1 unit to
//   PC), 3 file kind, 4-11 name right-aligned and filled with "/", 12-16 unused, and from 23
//   bytes on: 17-20 offset, 21 offset mode, 22-23 count (all least significant byte first).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace comm {
class ctrlFerixComm;
}

namespace comm::dnc {

inline constexpr std::uint8_t kActionFileTransfer = 2;
inline constexpr std::uint8_t kActionDirectoryListing = 7;
inline constexpr std::uint8_t kDirectionToUnit = 0;
inline constexpr std::uint8_t kDirectionFromUnit = 1;

struct UnitRequest {
    struct Part {
        std::int32_t offset = 0;
        std::uint8_t offsetMode = 0;
        std::uint16_t count = 0;
    };

    std::size_t length = 0;  // bytes in the block
    std::uint8_t action = 0;
    std::uint8_t direction = 0;
    std::uint8_t kind = 0;
    std::string name;          // the name field without its leading "/"
    std::optional<Part> part;  // only in requests of 23 bytes or more
};

// Bytes a file-transfer request needs at least (action to the end of the name field).
inline constexpr std::size_t kFileRequestMinLength = 11;
// A request this long or longer carries offset, mode and count.
inline constexpr std::size_t kPartialRequestLength = 23;

UnitRequest parseUnitRequest(std::string_view block);

// The extension that a unit request gives the PC file of a kind; nullopt for a kind that unit
// requests may not use (2 list, 3 name without extension) or that does not exist.
std::optional<std::string> unitRequestExtension(const ctrlFerixComm& control, std::uint8_t kind);

}  // namespace comm::dnc
