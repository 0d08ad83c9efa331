// The plain receive of ProtNone and ProtNoneEOF: every byte the machine sends is kept until the
// operator stops the reception or, with ProtNoneEOF, the end-of-file character 0x1A arrives;
// what has arrived is then put in place of the file in one step.
#pragma once

#include <filesystem>
#include <string>

#include "comm/ComError.h"

namespace comm {
class ctrlFerixComm;
}  // namespace comm

namespace comm::plain {

class PlainReceiver {
public:
    explicit PlainReceiver(ctrlFerixComm& control) : control_(control) {}

    // Fails only when the file cannot be stored: 0x80040009 when it cannot be created, 9 when
    // it cannot be written, message 419 with the system's description.
    Status receive(const std::filesystem::path& path, bool endOfFile);

private:
    std::string collect(bool endOfFile);

    ctrlFerixComm& control_;
};

}  // namespace comm::plain
