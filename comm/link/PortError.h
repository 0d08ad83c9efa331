// The errors of the port backends: plain texts for the detail of the caller's message.
#pragma once

#include <cstring>
#include <string>

#include "comm/ComError.h"

namespace comm {

inline ComError portFailure(int number, const std::string& description) {
    ComError e;
    e.number = number;
    e.source = "SerialPort";
    e.description = description;
    return e;
}

// "what: <system description of error>".
inline ComError portError(const std::string& what, int error) {
    return portFailure(error, what + ": " + std::strerror(error));
}

}  // namespace comm
