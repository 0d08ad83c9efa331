// The block receive of the Heidenhain family: the machine sends a program block by block; each
// good block is answered ACK, a block with a wrong check byte NAK (the machine sends it again).
// ETX ends the program, answered by EOT; EOT from the machine means it gave up.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <string_view>

#include "comm/ComError.h"

namespace comm {
class ctrlFerixComm;
}  // namespace comm

namespace comm::heidenhain {

class BlockAssembler;

// The name under which the unit's memory list is fetched; it is no program of the directory.
inline constexpr std::string_view kMemoryListName = "$$$$$DIR";
inline constexpr int kReceiveIdlePauses = 1001;

struct ReceivedProgram {
    std::string text;
    bool stopped = false;  // the operator stopped the reception: the text is incomplete
};

class BlockReceiver {
public:
    explicit BlockReceiver(ctrlFerixComm& control) : control_(control) {}

    // Receives a program and, unless the reception was stopped, puts it in place of the file at
    // `path` in one step (a failed or stopped reception leaves the old file as it was). Tells
    // the host that the directory changed unless `name` is the memory list.
    // expectedLength: the program's size when known (progress is reported), else 0.
    Status receive(const std::filesystem::path& path, std::string_view name,
                   std::int32_t expectedLength);

    // Only the line part: the program as received, stored nowhere; nothing is told.
    Expected<ReceivedProgram> receiveText(std::int32_t expectedLength);
    // After a failed receiveText: the program text that had arrived.
    const std::string& arrived() const { return arrived_; }

private:
    Expected<ReceivedProgram> receiveInto(BlockAssembler& assembler, std::int32_t expectedLength);

    ctrlFerixComm& control_;
    std::string arrived_;
};

}  // namespace comm::heidenhain
