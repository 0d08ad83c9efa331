// The ASCII control characters of the Heidenhain-family block transfers.
#pragma once

#include <cstdint>
#include <string_view>

namespace comm::heidenhain::ascii {

inline constexpr std::uint8_t SOH = 0x01;
inline constexpr std::uint8_t STX = 0x02;
inline constexpr std::uint8_t ETX = 0x03;
inline constexpr std::uint8_t EOT = 0x04;
inline constexpr std::uint8_t ACK = 0x06;
inline constexpr std::uint8_t TAB = 0x09;
inline constexpr std::uint8_t LF = 0x0A;
inline constexpr std::uint8_t CR = 0x0D;
inline constexpr std::uint8_t DC1 = 0x11;
inline constexpr std::uint8_t NAK = 0x15;
inline constexpr std::uint8_t ETB = 0x17;
// End of file of the plain transfers.
inline constexpr std::uint8_t SUB = 0x1A;

// A one-byte string, for WritePort.
inline std::string_view single(const std::uint8_t& byte) {
    return {reinterpret_cast<const char*>(&byte), 1};
}

}  // namespace comm::heidenhain::ascii
