// The block layer of the DNC protocol: one block to a unit with acknowledgement and repetition,
// one block from a unit with its receiver and repetition, and the closing block of a transfer.
// Time-outs are counts of pauses and fill bytes derived from the line speed; no timer is used.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "comm/ComError.h"

namespace comm {
class ctrlFerixComm;
}

namespace comm::dnc {

// Error numbers of the block layer.
inline constexpr std::int32_t kErrSendNotConnected = 16;
inline constexpr std::int32_t kErrReceiveNotConnected = 17;
inline constexpr std::int32_t kErrSendBlockFailed = kObjectErrorBase + 0x10;
inline constexpr std::int32_t kErrReceiveBlockFailed = kObjectErrorBase + 0x11;
inline constexpr std::int32_t kErrFinalConfirmation = 7;

class BlockProtocol {
public:
    explicit BlockProtocol(ctrlFerixComm& control) : control_(control) {}

    // Returns when the unit has acknowledged the block; fails after DNCMaxRepeatNo attempts.
    Status SendBlock(std::uint8_t address, std::uint8_t code, std::string_view data);

    // The data of the unit's next block carrying `expectedCode`. A repeat of the previous block
    // is acknowledged and dropped; fails when no acceptable block arrives.
    Expected<std::string> ReceiveBlock(std::uint8_t address, std::uint8_t expectedCode);

    // The closing block of a transfer: byte count (or 0) and status.
    Status SendFinalConfirmation(std::uint8_t address, std::uint32_t value, std::uint8_t status);

private:
    bool connected(std::uint8_t address) const;
    int maxAttempts() const;

    ctrlFerixComm& control_;
};

}  // namespace comm::dnc
