// The plain send of ProtNone and ProtNoneEOF: after the operator has confirmed that the machine
// is ready, the file's bytes go out unchanged, in pieces of the port's transmit-buffer size,
// followed by the end-of-file character 0x1A with ProtNoneEOF.
#pragma once

#include <filesystem>

#include "comm/ComError.h"

namespace comm {
class ctrlFerixComm;
}  // namespace comm

namespace comm::plain {

class PlainSender {
public:
    explicit PlainSender(ctrlFerixComm& control) : control_(control) {}

    // A stop request ends the send early, drops what is still queued and sends no end-of-file
    // character (the machine must not take a cut program for a whole one); it is no error.
    Status send(const std::filesystem::path& path, bool endOfFile);

private:
    Status sendBytes(const std::string& bytes, bool endOfFile);

    ctrlFerixComm& control_;
    std::size_t handed_ = 0;  // bytes given to the port so far
    bool stopped_ = false;
};

}  // namespace comm::plain
