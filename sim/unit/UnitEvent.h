// What a simulated unit reports to its operator (or test): requests raised and sent, programs
// and listings received, transfers ended, requests the PC did not serve, faults played.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace sim::unit {

// One record of a directory listing as the unit reads it.
struct ListingRecord {
    std::string name;
    std::uint32_t size = 0;
    std::uint16_t dosTime = 0;
    std::uint16_t dosDate = 0;
};

// Records of 32 bytes: 0x00, time, date, size, name, 0x00 (numbers least significant first).
std::vector<ListingRecord> parseListing(const std::vector<std::string>& records);

struct UnitEvent {
    enum Kind {
        Announced,          // answered a poll: a request is waiting
        RequestSent,        // the PC fetched the request block
        ProgramReceived,    // a download ended with the PC's closing block
        ProgramSent,        // an upload ended with the PC's closing block
        ListingReceived,    // a listing ended with the PC's closing block
        NotServed,          // polled again while the request was under way: the PC gave up
        BlockRefused,       // a block from the PC with a wrong check byte or final byte
        UnexpectedBlock,    // a block the unit did not expect at this point
        FaultPlayed,        // an injected fault took effect
        CommandCarriedOut,  // a command from the PC; `value` is its code, `name` its program
        ProgramDeleted,     // deleted from the memory at the PC's request
        PcRequestRefused,   // a request from the PC left unacknowledged; `detail` says why
    };

    std::uint8_t unit = 0;
    Kind kind = Announced;
    std::string name;
    std::string data;         // the program received, or the program sent
    std::uint32_t value = 0;  // the closing block's value
    std::uint8_t status = 0;  // the closing block's status
    std::vector<ListingRecord> listing;
    std::string detail;

    // The detail of a transfer whose closing value is not the number of bytes that went over.
    static constexpr const char* kCountDiffers =
        "closing value differs from the bytes that went over";

    // One line for the operator.
    std::string describe() const;
};

}  // namespace sim::unit
