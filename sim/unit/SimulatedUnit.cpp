#include "sim/unit/SimulatedUnit.h"

namespace sim::unit {

namespace {

constexpr std::size_t kPieceSize = 32;
constexpr std::uint8_t kFirstNumber = 128;

std::uint8_t following(std::uint8_t number) {
    return number == 255 ? kFirstNumber : static_cast<std::uint8_t>(number + 1);
}

std::uint8_t preceding(std::uint8_t number) {
    return number == kFirstNumber ? std::uint8_t{255} : static_cast<std::uint8_t>(number - 1);
}

}  // namespace

SimulatedUnit::SimulatedUnit(std::uint8_t address, std::function<void(const UnitEvent&)> report)
    : address_(address), report_(std::move(report)) {}

void SimulatedUnit::raise(RequestSpec request) {
    queue_.push_back(std::move(request));
}

std::size_t SimulatedUnit::requestsOutstanding() const {
    return queue_.size() + (request_ ? 1 : 0);
}

void SimulatedUnit::injectFault(Fault fault, int times) {
    faults_[static_cast<int>(fault)] = times;
}

void SimulatedUnit::clearFaults() {
    faults_.fill(0);
}

bool SimulatedUnit::takeFault(Fault fault) {
    int& left = faults_[static_cast<int>(fault)];
    if (left == 0) {
        return false;
    }
    if (left > 0) {
        --left;
    }
    if (fault != Fault::Silence) {
        UnitEvent e = event(UnitEvent::FaultPlayed);
        static const char* const kNames[kFaultKinds] = {
            "wrong check byte", "repeated block", "missing acknowledgement", "silence", "babble"};
        e.detail = kNames[static_cast<int>(fault)];
        report_(e);
    }
    return true;
}

bool SimulatedUnit::silent() const {
    return faults_[static_cast<int>(Fault::Silence)] != 0;
}

UnitEvent SimulatedUnit::event(UnitEvent::Kind kind) const {
    UnitEvent e;
    e.unit = address_;
    e.kind = kind;
    if (request_) {
        e.name = request_->name;
    }
    return e;
}

SimulatedUnit::Reply SimulatedUnit::onFrame(const PcFrame& frame) {
    if (takeFault(Fault::Silence)) {
        return {};
    }
    if (lastPcRequest_ && frame.kind == PcFrame::DataBlock && frame.intact && frame.code == 0 &&
        frame.data == *lastPcRequest_) {
        return {unitAcknowledge(), false};  // the PC missed our acknowledgement
    }
    lastPcRequest_.reset();
    switch (frame.kind) {
        case PcFrame::BlockWanted:
            return onBlockWanted();
        case PcFrame::DataBlock:
            return frame.isPoll() && frame.intact ? answerPoll() : onDataBlock(frame);
        case PcFrame::Acknowledge:
            break;
    }
    return {};
}

SimulatedUnit::Reply SimulatedUnit::answerPoll() {
    if (phase_ == Phase::Downloading || phase_ == Phase::Uploading || phase_ == Phase::Listing) {
        // The PC went back to polling us: it refused or abandoned the request.
        UnitEvent e = event(UnitEvent::NotServed);
        if (fromPc_) {
            e.detail = "the PC abandoned its own transfer";
        }
        report_(e);
        endRequest();
    }
    if (phase_ == Phase::RequestSent) {
        phase_ = Phase::Announced;  // the PC never got the request block
    }
    if (phase_ == Phase::Idle && !queue_.empty()) {
        request_ = std::move(queue_.front());
        queue_.pop_front();
        phase_ = Phase::Announced;
        requestReported_ = false;
        report_(event(UnitEvent::Announced));
    }
    if (takeFault(Fault::Babble)) {
        return {unitAcknowledge() + std::string(babbleLength_, '\0'), false};
    }
    if (phase_ == Phase::Announced) {
        return {unitAcknowledge(), false};
    }
    return {};
}

SimulatedUnit::Reply SimulatedUnit::onBlockWanted() {
    if (phase_ == Phase::Announced || phase_ == Phase::RequestSent) {
        phase_ = Phase::RequestSent;
        if (!requestReported_) {
            requestReported_ = true;
            report_(event(UnitEvent::RequestSent));
        }
        return sendBlock(0, encodeRequest(*request_));
    }
    if (phase_ == Phase::Uploading && !uploadComplete_) {
        if (!awaitingAck_) {
            lastPiece_ = uploadData_.substr(uploadPos_, kPieceSize);
            awaitingAck_ = true;
        }
        return sendBlock(uploadNumber_, lastPiece_);
    }
    return {};
}

SimulatedUnit::Reply SimulatedUnit::sendBlock(std::uint8_t code, const std::string& data) {
    const std::uint8_t checkError = takeFault(Fault::WrongCheckByte) ? 1 : 0;
    return {unitBlock(code, data, checkError), true};
}

void SimulatedUnit::onAcknowledge() {
    if (silent()) {
        return;
    }
    if (phase_ == Phase::RequestSent) {
        beginTransfer();
        return;
    }
    if (phase_ == Phase::Uploading && awaitingAck_) {
        if (takeFault(Fault::RepeatBlock)) {
            return;  // as if the acknowledgement never arrived
        }
        awaitingAck_ = false;
        uploadPos_ += lastPiece_.size();
        uploadNumber_ = following(uploadNumber_);
        uploadComplete_ = lastPiece_.size() < kPieceSize;
    }
}

void SimulatedUnit::beginTransfer() {
    expected_ = kFirstNumber;
    receivedAny_ = false;
    received_.clear();
    records_.clear();
    if (request_->action == kActionListing && !request_->raw) {
        phase_ = Phase::Listing;
        return;
    }
    if (request_->action == kActionTransfer && request_->direction == kFromUnit && !request_->raw) {
        const MemoryFile* file = memory_.find(request_->name);
        beginUpload(file != nullptr ? file->data : std::string());
        return;
    }
    beginDownload();  // a program, or whatever the PC makes of a foreign request
}

void SimulatedUnit::beginUpload(std::string data) {
    uploadData_ = std::move(data);
    uploadPos_ = 0;
    uploadNumber_ = kFirstNumber;
    awaitingAck_ = false;
    uploadComplete_ = false;
    phase_ = Phase::Uploading;
}

void SimulatedUnit::beginDownload() {
    expected_ = kFirstNumber;
    receivedAny_ = false;
    received_.clear();
    phase_ = Phase::Downloading;
}

SimulatedUnit::Reply SimulatedUnit::onDataBlock(const PcFrame& frame) {
    if (!frame.intact) {
        UnitEvent e = event(UnitEvent::BlockRefused);
        e.detail = "block " + std::to_string(frame.code);
        report_(e);
        return {};
    }
    if (takeFault(Fault::MissingAcknowledge)) {
        return {};
    }
    if (phase_ == Phase::RequestSent) {
        beginTransfer();  // our request arrived; only its acknowledgement was lost
    }
    if (frame.code == 0 && (phase_ == Phase::Idle || phase_ == Phase::Announced)) {
        if (const std::optional<PcRequest> request = parsePcRequest(frame.data)) {
            return onPcRequest(*request, frame.data);
        }
    }
    const std::optional<Closing> closing = parseClosing(frame);
    const Reply accept{unitAcknowledge(), false};
    switch (phase_) {
        case Phase::Downloading:
        case Phase::Listing:
            if (closing) {
                finishIncoming(*closing);
                return accept;
            }
            if (frame.code == expected_) {
                if (phase_ == Phase::Listing) {
                    records_.push_back(frame.data);
                } else {
                    received_ += frame.data;
                }
                receivedAny_ = true;
                expected_ = following(expected_);
                return accept;
            }
            if (receivedAny_ && frame.code == preceding(expected_)) {
                return accept;  // our acknowledgement was lost; the block is already kept
            }
            break;
        case Phase::Uploading:
            if (closing) {
                finishUpload(*closing);
                return accept;
            }
            break;
        case Phase::Idle:
        case Phase::Announced:
        case Phase::RequestSent: {
            UnitEvent e = event(UnitEvent::UnexpectedBlock);
            e.detail = "block " + std::to_string(frame.code) + " accepted while idle";
            report_(e);
            return accept;
        }
    }
    UnitEvent e = event(UnitEvent::UnexpectedBlock);
    e.detail = "block " + std::to_string(frame.code) + " where " + std::to_string(expected_) +
               " was due; not acknowledged";
    report_(e);
    return {};
}

void SimulatedUnit::finishIncoming(const Closing& closing) {
    UnitEvent e =
        event(phase_ == Phase::Listing ? UnitEvent::ListingReceived : UnitEvent::ProgramReceived);
    e.value = closing.value;
    e.status = closing.status;
    if (phase_ == Phase::Listing) {
        e.listing = parseListing(records_);
    } else {
        e.data = received_;
        // The closing value counts the bytes the PC sent: a count that differs means blocks
        // came out changed in a way their check could not see, and the unit keeps nothing.
        if (closing.status == 0 && closing.value != received_.size()) {
            e.detail = UnitEvent::kCountDiffers;
        } else if (closing.status == 0) {
            memory_.store({request_->name, request_->kind, received_});
        }
    }
    report_(e);
    endRequest();
}

void SimulatedUnit::finishUpload(const Closing& closing) {
    UnitEvent e = event(UnitEvent::ProgramSent);
    e.data = uploadData_.substr(0, uploadPos_);
    e.value = closing.value;
    e.status = closing.status;
    if (closing.status == 0 && closing.value != uploadPos_) {
        e.detail = UnitEvent::kCountDiffers;
    }
    report_(e);
    endRequest();
}

void SimulatedUnit::endRequest() {
    phase_ = Phase::Idle;
    request_.reset();
    awaitingAck_ = false;
    fromPc_ = false;
}

}  // namespace sim::unit
