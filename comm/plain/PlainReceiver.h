// The plain receive of ProtNone and ProtNoneEOF: every byte the machine sends is kept until the
// operator stops the reception or, with ProtNoneEOF, the end-of-file character 0x1A arrives;
// what has arrived is then put in place of the file in one step. A reception that brought no
// byte stores nothing: the file stays as it was (or is not made), and the transfer ends as
// stopped with no bytes. With ProtNoneEOF a reception
// that ends without 0x1A (a torn tape, stopped by the operator) is incomplete: it is reported
// and the file stays as it was.
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

    // Fails when the file cannot be stored: 0x80040009 when it cannot be created, 9 when it
    // cannot be written, message 419 with the system's description. Also fails, storing
    // nothing, with message 419 and 435 when an end-of-file reception ends without 0x1A, and
    // with 419 and 442 when the port's device goes away.
    Status receive(const std::filesystem::path& path, bool endOfFile);

private:
    struct Collected {
        std::string bytes;
        bool endOfFileSeen = false;
    };
    // Fills `got` until the end; what arrived stays in it when the line fails.
    Status collect(bool endOfFile, Collected& got);

    ctrlFerixComm& control_;
};

}  // namespace comm::plain
