// One Ferix unit on a DNC line, as its address sees the PC's frames: it answers a poll with
// DLE OK when it has a request waiting, hands its request block over when asked, and then
// takes a program or a listing block by block, or gives one of its programs block by block,
// until the PC's closing block. It also carries out the requests of the PC's operator: a
// program into or out of its memory, a delete, a command, its memory list. Faults can be
// played on demand.
#pragma once

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "sim/unit/PcRequest.h"
#include "sim/unit/RequestBlock.h"
#include "sim/unit/UnitEvent.h"
#include "sim/unit/UnitFrames.h"
#include "sim/unit/UnitMemory.h"

namespace sim::unit {

enum class Fault {
    WrongCheckByte,      // the next block the unit sends carries a wrong check byte
    RepeatBlock,         // the next acknowledgement of an upload block is lost: the block is
                         // sent again when the PC asks for the following one
    MissingAcknowledge,  // the next good block from the PC is not acknowledged
    Silence,             // the next frames addressed to the unit get no answer at all
    Babble,              // the next poll is answered with DLE OK and then the unit keeps
                         // sending zeros (a broken line driver) for kBabbleLength bytes
};
inline constexpr int kFaultKinds = 5;
// About a minute of bytes at 4800 baud.
inline constexpr std::size_t kBabbleLength = 26000;
// A fault count that does not run out.
inline constexpr int kUntilCleared = -1;

// How a unit answers the PC's memory-list request.
enum class ListingForm {
    Binary,       // the binary listing of its memory
    ShortAnswer,  // one byte 64; after STR it serves its directory as the file "DIR"
};

// What the unit's tape interface does, as the PC's commands set it.
enum class Activity { None, ReaderSimulation, PuncherSimulation, ReaderReading };

class SimulatedUnit {
public:
    struct Reply {
        std::string bytes;
        bool isBlock = false;  // a block: the PC's next DLE OK is meant for this unit
    };

    SimulatedUnit(std::uint8_t address, std::function<void(const UnitEvent&)> report);

    std::uint8_t address() const { return address_; }
    UnitMemory& memory() { return memory_; }
    const UnitMemory& memory() const { return memory_; }

    // Queues a request; it is announced at the next poll when no other one is under way.
    void raise(RequestSpec request);
    // Requests queued or under way.
    std::size_t requestsOutstanding() const;

    // Plays `fault` for the next `times` occasions (kUntilCleared: until clearFaults).
    void injectFault(Fault fault, int times = 1);
    void clearFaults();

    void setListingForm(ListingForm form) { listingForm_ = form; }
    ListingForm listingForm() const { return listingForm_; }
    // A unit that refuses commands leaves the PC's command blocks unacknowledged.
    void setRefuseCommands(bool refuse) { refuseCommands_ = refuse; }
    // How many zero bytes a babbling unit sends after its DLE OK.
    void setBabbleLength(std::size_t bytes) { babbleLength_ = bytes; }
    bool refusesCommands() const { return refuseCommands_; }
    Activity activity() const { return activity_; }
    // The program chosen with the PC's select command; empty when none.
    const std::string& selectedProgram() const { return selected_; }

    // A frame from the PC addressed to this unit.
    Reply onFrame(const PcFrame& frame);
    // The PC acknowledged the block this unit sent last.
    void onAcknowledge();

private:
    enum class Phase { Idle, Announced, RequestSent, Downloading, Uploading, Listing };

    Reply answerPoll();
    Reply onBlockWanted();
    Reply onDataBlock(const PcFrame& frame);
    Reply sendBlock(std::uint8_t code, const std::string& data);
    void beginTransfer();
    void beginUpload(std::string data);
    void beginDownload();
    Reply onPcRequest(const PcRequest& request, const std::string& block);
    Reply onPcTransfer(const PcRequest& request);
    Reply onPcDelete(const PcRequest& request);
    Reply onPcCommand(const PcRequest& request);
    Reply refusePcRequest(const PcRequest& request, const std::string& why);
    void finishIncoming(const Closing& closing);
    void finishUpload(const Closing& closing);
    void endRequest();
    bool takeFault(Fault fault);
    bool silent() const;
    UnitEvent event(UnitEvent::Kind kind) const;

    std::uint8_t address_;
    std::function<void(const UnitEvent&)> report_;
    UnitMemory memory_;
    std::deque<RequestSpec> queue_;
    std::optional<RequestSpec> request_;
    Phase phase_ = Phase::Idle;
    bool requestReported_ = false;
    std::array<int, kFaultKinds> faults_{};

    // The PC's requests.
    ListingForm listingForm_ = ListingForm::Binary;
    bool refuseCommands_ = false;
    std::size_t babbleLength_ = kBabbleLength;
    Activity activity_ = Activity::None;
    std::string selected_;
    bool directoryFileReady_ = false;  // a short-answer unit after STR
    bool fromPc_ = false;              // the transfer under way is the PC's request
    // The last request block from the PC that was acknowledged: the same block again, before
    // anything else, means our acknowledgement was lost, and it is acknowledged once more.
    std::optional<std::string> lastPcRequest_;

    // Download or listing: the next block number and what arrived so far.
    std::uint8_t expected_ = 128;
    bool receivedAny_ = false;
    std::string received_;
    std::vector<std::string> records_;

    // Upload.
    std::string uploadData_;
    std::size_t uploadPos_ = 0;
    std::uint8_t uploadNumber_ = 128;
    std::string lastPiece_;
    bool awaitingAck_ = false;
    bool uploadComplete_ = false;
};

}  // namespace sim::unit
