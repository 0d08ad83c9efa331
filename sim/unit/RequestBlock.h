// The request a unit sends after the PC fetched it: action, direction, kind, the name
// right-aligned in 8 characters filled with "/", five unused bytes, and for a partial download
// the offset, offset mode and count.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

namespace sim::unit {

inline constexpr std::uint8_t kActionTransfer = 2;
inline constexpr std::uint8_t kActionListing = 7;
inline constexpr std::uint8_t kToUnit = 0;    // a program from the PC
inline constexpr std::uint8_t kFromUnit = 1;  // a program to the PC

struct RequestSpec {
    struct Part {
        std::int32_t offset = 0;
        std::uint8_t mode = 0;  // 0 from the start, 2 from the end
        std::uint16_t count = 0;
    };

    std::uint8_t action = kActionTransfer;
    std::uint8_t direction = kToUnit;
    std::uint8_t kind = 1;
    std::string name;
    std::optional<Part> part;
    // When set, these bytes are the request as they stand (for faulty or foreign requests).
    std::optional<std::string> raw;

    static RequestSpec download(std::string name, std::uint8_t kind);
    static RequestSpec partialDownload(std::string name, std::uint8_t kind, Part part);
    static RequestSpec upload(std::string name, std::uint8_t kind);
    static RequestSpec listing();
};

inline constexpr std::size_t kRequestNameLength = 8;

// 16 bytes, or 23 with a part. A name longer than 8 characters keeps its first 8.
std::string encodeRequest(const RequestSpec& request);

}  // namespace sim::unit
