// The line settings string "speed,parity,data bits,stop bits" (for example "4800,n,8,2").
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace comm {

enum class Parity : char { None = 'n', Even = 'e', Odd = 'o', Mark = 'm', Space = 's' };
enum class StopBits { One, OneAndHalf, Two };

struct LineSettings {
    std::int32_t speed = 4800;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::Two;

    // Bits on the line for one character: start, data, parity and stop bits.
    double bitsPerCharacter() const;
    // The time of one character on the line at its speed.
    std::chrono::nanoseconds characterTime() const;
};

// nullopt when the text is not a valid settings string.
std::optional<LineSettings> parseLineSettings(std::string_view text);

std::string joinLineSettings(std::string_view speed, std::string_view parity,
                             std::string_view dataBits, std::string_view stopBits);

// The leading number of a speed text ("9600" gives 9600, "abc" gives 0).
std::int32_t leadingNumber(std::string_view text);

}  // namespace comm
