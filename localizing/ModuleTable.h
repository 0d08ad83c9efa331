// Finds the string table that a program or library embeds, given the handle by which it was
// loaded (a null handle: the main program of the running process).
#pragma once

#include <cstdint>
#include <span>

namespace loc {

// An empty span when the module embeds no table of its own.
std::span<const std::uint8_t> moduleStringTable(void* module);

}  // namespace loc
