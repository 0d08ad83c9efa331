// The fastest a whole-file DNC transfer can be at a line speed: the line time of every byte the
// protocol must send plus every pause it must make, with a unit that answers at once.
#pragma once

#include <cstdint>
#include <string>

namespace bench {

struct Line {
    std::int32_t speed;
    double bitsPerCharacter;
    double charSeconds() const { return bitsPerCharacter / speed; }
};

// From the first data block to the unit's acknowledgement of the closing block.
double downloadBoundSeconds(const std::string& program, const Line& line);
// From the first request for a block to the unit's acknowledgement of the closing block.
double uploadBoundSeconds(const std::string& program, const Line& line);

}  // namespace bench
