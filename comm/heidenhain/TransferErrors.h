// Errors of the block send and block receive: the control's error base plus the message number
// less 410, source "FerixComm", the message as description.
#pragma once

#include <cstdint>

#include "comm/ComError.h"
#include "comm/Messages.h"

namespace comm::heidenhain {

inline ComError transferError(int messageNumber) {
    return ComError{kObjectErrorBase + (messageNumber - msg::WriteError), "FerixComm",
                    message(messageNumber), "", 0};
}

// The block receive's time-out has a number of its own.
inline constexpr std::int32_t kReceiveTimeoutNumber = static_cast<std::int32_t>(0x800401B1u);

inline ComError receiveTimeoutError() {
    return ComError{kReceiveTimeoutNumber, "FerixComm", message(msg::AcknowledgeTimeout), "", 0};
}

}  // namespace comm::heidenhain
