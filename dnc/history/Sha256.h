// SHA-256 of a byte string as 64 lower-case hexadecimal digits (nettle).
#pragma once

#include <string>
#include <string_view>

namespace dnc::history {

std::string sha256Hex(std::string_view bytes);

// True for 64 hexadecimal digits of either case.
bool isSha256Hex(std::string_view text);

}  // namespace dnc::history
