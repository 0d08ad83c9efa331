// The errors of the port backends: plain texts for the detail of the caller's message.
#pragma once

#include <string>

#include "comm/ComError.h"
#include "localizing/lookup/SystemErrors.h"

namespace comm {

inline ComError portFailure(int number, const std::string& description) {
    ComError e;
    e.number = number;
    e.source = "SerialPort";
    e.description = description;
    return e;
}

// "what: <system description of error>", the description in the control's language where the
// machine has it.
inline ComError portError(const std::string& what, int error) {
    return portFailure(error, what + ": " + loc::systemErrorText(error));
}

}  // namespace comm
