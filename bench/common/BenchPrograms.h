// The NC programs that the transfer benchmarks move.
#pragma once

#include <cstddef>
#include <string>

namespace bench {

// A milling program of exactly `size` bytes in numbered lines ended by LF.
std::string ncProgram(std::size_t size);

}  // namespace bench
