// The service loop of a ProtDNC line: polls the addresses 1 to 11 in turn while the line is
// active and serves the request of a unit that answers its poll: a program from its unit
// directory, a program into it, or the listing of it.
#pragma once

#include <cstdint>
#include <memory>
#include <string>

#include "comm/LineService.h"
#include "comm/dnc/DncTransfers.h"

namespace comm {
class ctrlFerixComm;
}

namespace comm::dnc {

struct UnitRequest;

class DncService : public LineService {
public:
    explicit DncService(ctrlFerixComm& control) : control_(control), transfers_(control) {}

    // Builds the poll frame (address 0) before the port opens.
    void prepare() override;
    // Polls until Active turns false. Fails only when the line itself fails.
    Status run() override;

    // One poll; a unit answering DLE OK has its request served. Fails only when the poll
    // cannot be written.
    Status PollUnit(std::uint8_t address);
    // Fetches, checks and carries out the request of `unit`; every failure is reported through
    // OnError (ReqSidePC false) and then forgotten.
    void ServeUnitRequest(std::uint8_t unit);

private:
    void refuse(const std::string& detail);
    void serveFileTransfer(std::uint8_t unit, const UnitRequest& request);

    ctrlFerixComm& control_;
    DncTransfers transfers_;
    std::string pollFrame_;
};

std::unique_ptr<LineService> makeDncService(ctrlFerixComm& control);

}  // namespace comm::dnc
