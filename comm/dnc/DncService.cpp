#include "comm/dnc/DncService.h"

#include "comm/FerixComm.h"
#include "comm/Messages.h"
#include "comm/dnc/DncFrames.h"
#include "comm/dnc/UnitRequest.h"
#include "comm/files/PlainName.h"

namespace comm::dnc {

void DncService::prepare() {
    pollFrame_ = pollFrame();
}

Status DncService::run() {
    if (pollFrame_.empty()) {
        prepare();
    }
    for (int unit = 1; unit <= kUnitCount; ++unit) {
        const Expected<bool> connected = control_.Connected(unit);
        if (connected.ok() && connected.value()) {
            control_.site().FerixMemChanged(static_cast<std::uint8_t>(unit));
        }
    }
    // A unit may have asked before the line opened: the first full cycle is not quiet.
    control_.countPoll(true);
    std::uint8_t address = 1;
    while (true) {
        if (Status s = PollUnit(address); !s) {
            return s;
        }
        // Between two polls: the operator's requests may take the line here.
        control_.setLoopAtRest(true);
        control_.host().pump();
        control_.setLoopAtRest(false);
        if (!control_.Active()) {
            return {};  // the Active setter closes the port
        }
        if (++address > kHighestAddress) {
            address = 1;
            control_.indicator().BlinkIndicator();
        }
    }
}

Status DncService::PollUnit(std::uint8_t address) {
    SerialLink& link = control_.link();
    setPollAddress(pollFrame_, address);
    link.flushInput();
    // The frame and the fill byte after it go out in one write: the same bytes at the same
    // times on the line, with one wait less for the thread. The unit takes the frame when its
    // last byte is in and answers during the trailer; the two go out as two pieces.
    // A poll that cannot be written means the port itself has failed: polling on would spin
    // without end and hide the fault, so the loop ends and the Active setter reports it.
    std::string poll = pollFrame_;
    poll += static_cast<char>(FILL);
    const std::size_t pieceEnds[] = {pollFrame_.size() - kPollTrailerLength};
    if (Status s = link.WriteFrames(poll, pieceEnds); !s) {
        return s;
    }
    bool busy = false;
    bool served = false;
    if (link.bytesWaiting() >= 2) {
        busy = true;
        control_.site().SetBusy(true);
        const std::uint8_t first = link.readByte();
        const std::uint8_t second = link.readByte();
        if (first == DLE && second == OK) {
            ServeUnitRequest(address);
            served = true;
        }
    }
    control_.countPoll(served);
    link.flushInput();
    if (busy) {
        control_.site().SetBusy(false);
    }
    return {};
}

void DncService::refuse(const std::string& detail) {
    control_.site().OnError(false, messageWithDetail(msg::ProcessingRequest, detail), "", 0);
}

void DncService::ServeUnitRequest(std::uint8_t unit) {
    // A stop asked for while the line was idle is not one for this request; one asked for
    // while its block arrives ends the receive.
    control_.link().setStopRequested(false);
    const Expected<std::string> block = transfers_.blocks().ReceiveBlock(unit, kRequestCode);
    control_.link().setStopRequested(false);
    if (!block) {
        const ComError& e = block.error();
        control_.site().OnError(false, messageWithDetail(msg::ReceivingRequest, e.description),
                                e.helpFile, e.helpContext);
        return;
    }
    const UnitRequest request = parseUnitRequest(block.value());
    switch (request.action) {
        case kActionFileTransfer:
            serveFileTransfer(unit, request);
            return;
        case kActionDirectoryListing: {
            control_.setTransferBusy(true);
            const Status listed = transfers_.SendDirectoryListing(unit);
            control_.setTransferBusy(false);
            if (!listed) {
                refuse(listed.error().description);
            }
            return;
        }
        default:
            refuse(message(msg::ActionNotSupported));
            return;
    }
}

void DncService::serveFileTransfer(std::uint8_t unit, const UnitRequest& request) {
    if (request.length < kFileRequestMinLength) {
        refuse("the request has " + std::to_string(request.length) + " bytes, a file request " +
               std::to_string(kFileRequestMinLength));
        return;
    }
    const std::optional<std::string> extension = unitRequestExtension(control_, request.kind);
    if (!extension) {
        refuse(message(msg::KindNotSupported));
        return;
    }
    if (request.direction != kDirectionToUnit && request.direction != kDirectionFromUnit) {
        refuse(message(msg::WrongDirection));
        return;
    }
    // A name from the line becomes a file only inside the unit directory.
    const std::string fileName = request.name + "." + *extension;
    for (const std::string& candidate : {request.name, fileName}) {
        if (const std::string problem = plainNameProblem(candidate); !problem.empty()) {
            refuse(problem);
            return;
        }
    }

    control_.setTransferBusy(true);
    Status done;
    if (request.direction == kDirectionFromUnit) {
        done = transfers_.ReceiveFileFromUnit(unit, fileName, 0);
    } else if (!request.part) {
        done = transfers_.SendFileToUnit(unit, fileName, 0, 0, 0);
    } else {
        done = transfers_.SendFileToUnit(unit, fileName, request.part->offset,
                                         request.part->offsetMode, request.part->count);
    }
    control_.setTransferBusy(false);
    if (!done) {
        refuse(done.error().description);
    }
}

std::unique_ptr<LineService> makeDncService(ctrlFerixComm& control) {
    return std::make_unique<DncService>(control);
}

}  // namespace comm::dnc
