// The frames of the Heidenhain-family block transfers: data blocks and request headers, each
// closed by ETB and a check byte, the exclusive or of every byte from the leading SOH or STX
// through ETB.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace comm::heidenhain {

// Exclusive or of all bytes.
std::uint8_t checkByte(std::string_view bytes);

// STX, text, ETB, check byte.
std::string dataBlock(std::string_view text);

// SOH, file-type letter, name, command letter, ETB, check byte.
std::string requestHeader(char fileType, std::string_view name, char command);

}  // namespace comm::heidenhain
