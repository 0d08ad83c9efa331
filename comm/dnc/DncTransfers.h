// Files between a unit directory and a unit's memory as numbered 32-byte blocks closed by the
// closing block, and the listing of a unit directory sent to the unit. Used for the units' own
// requests and for the operator's. The caller sets TransferBusy around each call.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "comm/ComError.h"
#include "comm/dnc/BlockProtocol.h"

namespace comm {
class ctrlFerixComm;
}

namespace comm::dnc {

inline constexpr std::int32_t kErrFileToUnit = 8;
inline constexpr std::int32_t kErrFileFromUnit = 9;

// Offset modes of a partial send.
inline constexpr std::uint8_t kOffsetFromStart = 0;
inline constexpr std::uint8_t kOffsetFromEnd = 2;

class DncTransfers {
public:
    explicit DncTransfers(ctrlFerixComm& control) : control_(control), blocks_(control) {}

    // Sends the file `fileName` of the unit directory. With count > 0 only `count` bytes from
    // the offset (mode 0: from the start, 2: counted back from the end). A missing or empty
    // file is answered with the closing block, status 1.
    Status SendFileToUnit(std::uint8_t unit, const std::string& fileName, std::int32_t offset,
                          std::uint8_t offsetMode, std::int32_t count);

    // Receives a file from the unit and replaces `fileName` in the unit directory with it
    // atomically. expectedLength 0: no progress is reported.
    Status ReceiveFileFromUnit(std::uint8_t unit, const std::string& fileName,
                               std::int32_t expectedLength);

    // Receives a file from the unit into memory, for listings that are read and dropped and
    // must never touch a program of the unit directory. A stop gives an empty text.
    Expected<std::string> ReceiveDataFromUnit(std::uint8_t unit, std::int32_t expectedLength);
    // Sends one 32-byte record per ordinary file of the unit directory, then the closing block.
    Status SendDirectoryListing(std::uint8_t unit);

    BlockProtocol& blocks() { return blocks_; }

private:
    // The blocks of one file from the unit into `data` (what arrived, also when it fails);
    // false when the operator stopped (the unit has been told with the closing block).
    Expected<bool> receiveBlocks(std::uint8_t unit, std::int32_t expectedLength, std::string& data);
    Status failSend(std::uint8_t unit, std::uint8_t status, const ComError& cause);

    ctrlFerixComm& control_;
    BlockProtocol blocks_;
};

}  // namespace comm::dnc
