// What a unit answers to the PC's memory-list request: the binary listing of the files it works
// with, or the short answer of a unit that keeps its directory as a file, and that file.
#pragma once

#include <cstdint>
#include <string>

#include "sim/unit/UnitMemory.h"

namespace sim::unit {

// A 16-byte header (free memory at bytes 8 to 10, least significant first; 0xA5 and 128 plus
// the section at bytes 14 and 15, left out while the sections are joined), then 16 bytes per
// file: the size at bytes 8 to 10, and either the digits of a numbered program, least
// significant in byte 0, or the 8 characters of a name (right-aligned, blank-filled) at bytes
// 14, 13, 12, 4, 3, 2, 1, 0.
std::string binaryMemoryListing(const UnitMemory& memory);

// One byte 64.
std::string shortMemoryListing();

// 32 bytes per file, its own entry "DIR.STX" first: the name with the extension of its kind,
// 24 characters filled with blanks; the size, 4 bytes least significant first; 4 unused bytes.
std::string directoryFile(const UnitMemory& memory);

// A name of 1 to 5 decimal digits is a numbered program.
bool isNumberedProgram(const std::string& name);

// The usual extension of a file kind ("STX", "WTX", ...); empty for kind 3 (name as is).
std::string kindExtension(std::uint8_t kind);

}  // namespace sim::unit
