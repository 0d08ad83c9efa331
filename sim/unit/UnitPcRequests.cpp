// The requests of the PC's operator as a unit carries them out: a program into or out of its
// memory, a delete, the commands, the memory list. What the unit cannot do it leaves
// unacknowledged, so that the PC reports the request as not delivered.
#include "sim/unit/MemoryListing.h"
#include "sim/unit/SimulatedUnit.h"

namespace sim::unit {

SimulatedUnit::Reply SimulatedUnit::onPcRequest(const PcRequest& request,
                                                const std::string& block) {
    if (phase_ == Phase::Announced) {
        // The PC comes first; our own request is announced again at a later poll.
        queue_.push_front(std::move(*request_));
        request_.reset();
        phase_ = Phase::Idle;
    }
    Reply reply;
    switch (request.action) {
        case pc::kTransfer:
            reply = onPcTransfer(request);
            break;
        case pc::kDelete:
            reply = onPcDelete(request);
            break;
        case pc::kCommand:
            reply = onPcCommand(request);
            break;
        default:
            reply = refusePcRequest(request, "unknown action " + std::to_string(request.action));
            break;
    }
    if (!reply.bytes.empty()) {
        lastPcRequest_ = block;
    }
    return reply;
}

SimulatedUnit::Reply SimulatedUnit::refusePcRequest(const PcRequest& request,
                                                    const std::string& why) {
    UnitEvent e = event(UnitEvent::PcRequestRefused);
    e.name = request.name;
    e.value = request.code;
    e.detail = why;
    report_(e);
    return {};
}

SimulatedUnit::Reply SimulatedUnit::onPcTransfer(const PcRequest& request) {
    RequestSpec wanted;
    wanted.kind = request.code;
    wanted.name = request.name;
    if (request.direction == pc::kToUnit) {
        if (request.name.empty()) {
            return refusePcRequest(request, "a program without a name");
        }
        wanted.direction = kToUnit;
        request_ = wanted;
        fromPc_ = true;
        beginDownload();
        return {unitAcknowledge(), false};
    }
    if (request.direction != pc::kFromUnit) {
        return refusePcRequest(request,
                               "unknown transfer direction " + std::to_string(request.direction));
    }
    std::string data;
    if (request.isMemoryList()) {
        data = listingForm_ == ListingForm::Binary ? binaryMemoryListing(memory_)
                                                   : shortMemoryListing();
    } else if (listingForm_ == ListingForm::ShortAnswer && directoryFileReady_ &&
               request.name == pc::kDirectoryFileName) {
        data = directoryFile(memory_);
    } else if (const MemoryFile* file = memory_.find(request.name)) {
        data = file->data;
    } else {
        return refusePcRequest(request, "no program " + request.name + " in the memory");
    }
    wanted.direction = kFromUnit;
    request_ = wanted;
    fromPc_ = true;
    beginUpload(std::move(data));
    return {unitAcknowledge(), false};
}

SimulatedUnit::Reply SimulatedUnit::onPcDelete(const PcRequest& request) {
    if (!memory_.remove(request.name)) {
        return refusePcRequest(request, "no program " + request.name + " to delete");
    }
    if (selected_ == request.name) {
        selected_.clear();
    }
    UnitEvent e = event(UnitEvent::ProgramDeleted);
    e.name = request.name;
    report_(e);
    return {unitAcknowledge(), false};
}

SimulatedUnit::Reply SimulatedUnit::onPcCommand(const PcRequest& request) {
    if (refuseCommands_) {
        return refusePcRequest(request, "commands refused");
    }
    const std::uint8_t code = request.code;
    if (code == pc::kSelect) {
        if (memory_.find(request.name) == nullptr) {
            return refusePcRequest(request, "no program " + request.name + " to select");
        }
        selected_ = request.name;
    } else if (code == pc::kReaderSimulation) {
        activity_ = Activity::ReaderSimulation;
        directoryFileReady_ = listingForm_ == ListingForm::ShortAnswer;
    } else if (code == pc::kPuncherSimulation) {
        activity_ = Activity::PuncherSimulation;
    } else if (code == pc::kReaderReading) {
        activity_ = Activity::ReaderReading;
    } else if (code >= pc::kSection1 && code <= pc::kSection4) {
        memory_.selectSection(code - pc::kSection1 + 1);
    } else if (code == pc::kJoinSections) {
        memory_.joinSections();
    } else if (code == pc::kPurge) {
        memory_.purge();
        selected_.clear();
        activity_ = Activity::None;
        directoryFileReady_ = false;
    } else if (code == pc::kReset) {
        selected_.clear();
        activity_ = Activity::None;
        directoryFileReady_ = false;
    } else {
        return refusePcRequest(request, "unknown " + commandName(code));
    }
    UnitEvent e = event(UnitEvent::CommandCarriedOut);
    e.name = request.name;
    e.value = code;
    report_(e);
    return {unitAcknowledge(), false};
}

}  // namespace sim::unit
