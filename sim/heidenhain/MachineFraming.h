// How the simulated machine frames what it sends and checks what it receives. Written apart
// from the control's own framing on purpose: a mistake on one side shows up on the other.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace sim::machine {

inline constexpr char kSoh = '\x01';
inline constexpr char kStx = '\x02';
inline constexpr char kEtx = '\x03';
inline constexpr char kEot = '\x04';
inline constexpr char kAck = '\x06';
inline constexpr char kDc1 = '\x11';
inline constexpr char kNak = '\x15';
inline constexpr char kEtb = '\x17';

// The block check character: every byte from the opening SOH or STX through ETB, xor-ed.
char blockCheck(std::string_view frameWithoutCheck);

// STX text ETB BCC.
std::string frameBlock(std::string_view text);

// SOH type name command ETB BCC.
std::string frameHeader(char type, std::string_view name, char command);

// The texts of the blocks in which the machine sends a program: one line per block (without
// its line end) or, with line ends kept, pieces of up to `pieceLength` bytes.
std::vector<std::string> programBlocks(std::string_view program, bool keepLineEnds,
                                       std::size_t pieceLength);

}  // namespace sim::machine
