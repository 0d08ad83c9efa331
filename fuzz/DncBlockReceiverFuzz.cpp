// The PC's receiver of unit blocks fed any bytes from the line, with resets at any point (each
// attempt starts with one). What it delivers or acknowledges as a repeat must be exactly a
// frame that a decoder written here from the frame layout finds whole, with its check byte and
// final 0x00; a unit's block must get through after whatever the line held before the reset.
//
// Input: expected code (below 128: a request, code 0), data length, the data of the unit's
// block, a check error for a second copy of it, then attempts: a length byte and that many
// line bytes each.
#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "comm/dnc/BlockReceiver.h"
#include "fuzz/FuzzCheck.h"
#include "sim/unit/UnitFrames.h"

namespace {

using comm::dnc::BlockReceiver;
using Outcome = BlockReceiver::Outcome;

constexpr std::uint8_t kDle = 0x10;
constexpr std::uint8_t kStx = 0x02;
constexpr std::uint8_t kEnd = 0x83;
constexpr std::size_t kMostData = 34;

// A whole frame at the start of an attempt: DLE STX code data DLE END check 0x00, every data
// DLE sent twice. `last` is the index of its final byte.
struct Frame {
    std::uint8_t code = 0;
    std::string data;
    std::size_t last = 0;
};

std::optional<Frame> wholeFrame(std::string_view bytes) {
    const auto at = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[i]); };
    if (bytes.size() < 3 || at(0) != kDle || at(1) != kStx) {
        return std::nullopt;
    }
    Frame frame;
    frame.code = at(2);
    std::size_t i = 3;
    for (;;) {
        if (i >= bytes.size()) {
            return std::nullopt;
        }
        if (at(i) != kDle) {
            frame.data += bytes[i++];
            continue;
        }
        if (i + 1 >= bytes.size()) {
            return std::nullopt;
        }
        if (at(i + 1) == kDle) {
            frame.data += bytes[i];
            i += 2;
            continue;
        }
        if (at(i + 1) != kEnd) {
            return std::nullopt;  // an escape that means nothing
        }
        i += 2;
        break;
    }
    if (i + 1 >= bytes.size()) {
        return std::nullopt;
    }
    unsigned sum = frame.code;
    for (char c : frame.data) {
        sum += static_cast<std::uint8_t>(c);
    }
    if (at(i) != sum % 256 || at(i + 1) != 0x00) {
        return std::nullopt;
    }
    frame.last = i + 1;
    return frame;
}

// The block number a unit repeats when it missed the PC's acknowledgement: 255 before 128.
std::optional<std::uint8_t> repeatedCode(std::uint8_t expected) {
    if (expected == 0) {
        return std::nullopt;
    }
    return expected == 128 ? std::uint8_t{255} : static_cast<std::uint8_t>(expected - 1);
}

void checkInvariants(const BlockReceiver& receiver) {
    const int state = receiver.state();
    FUZZ_CHECK(state >= BlockReceiver::kExpectDle && state <= BlockReceiver::kDiscard);
    FUZZ_CHECK(receiver.data().size() <= kMostData);
    if (state >= BlockReceiver::kFirstData && state <= BlockReceiver::kFull) {
        FUZZ_CHECK(receiver.data().size() == static_cast<std::size_t>(state - 3));
    }
}

// One attempt: a reset, then the bytes until the receiver delivers (the PC stops reading).
void attempt(BlockReceiver& receiver, std::uint8_t expected, std::string_view bytes) {
    receiver.reset();
    checkInvariants(receiver);
    const std::optional<Frame> frame = wholeFrame(bytes);
    const bool deliverable = frame && frame->data.size() <= kMostData && frame->code == expected;
    const bool repeat =
        frame && frame->data.size() <= kMostData && repeatedCode(expected) == frame->code;

    bool repeatAcknowledged = false;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const Outcome outcome = receiver.feed(static_cast<std::uint8_t>(bytes[i]));
        checkInvariants(receiver);
        switch (outcome) {
            case Outcome::Continue:
                // A whole frame for this receiver is answered at its final byte.
                FUZZ_CHECK(!((deliverable || repeat) && i == frame->last));
                break;
            case Outcome::Deliver:
                FUZZ_CHECK(deliverable && i == frame->last);
                FUZZ_CHECK(receiver.data() == frame->data);
                FUZZ_CHECK(receiver.good() && !receiver.repeated());
                return;
            case Outcome::AcknowledgeRepeat:
                FUZZ_CHECK(repeat && i == frame->last && !repeatAcknowledged);
                FUZZ_CHECK(receiver.repeated() && receiver.state() == BlockReceiver::kDiscard);
                repeatAcknowledged = true;
                break;
            case Outcome::FlushInput:
                // Only a block over 34 data bytes or the rest after a repeat is flushed.
                FUZZ_CHECK(receiver.state() == BlockReceiver::kDiscard);
                FUZZ_CHECK(repeatAcknowledged || !receiver.good());
                FUZZ_CHECK(!deliverable);
                break;
        }
    }
    FUZZ_CHECK(!deliverable || frame->last >= bytes.size());
}

// Feeds a whole block; returns the outcome of its final byte, Continue before it required.
Outcome feedBlock(BlockReceiver& receiver, std::string_view block) {
    Outcome outcome = Outcome::Continue;
    for (std::size_t i = 0; i < block.size(); ++i) {
        outcome = receiver.feed(static_cast<std::uint8_t>(block[i]));
        checkInvariants(receiver);
        if (i + 1 < block.size()) {
            FUZZ_CHECK(outcome == Outcome::Continue);
        }
    }
    return outcome;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    const std::uint8_t expected = data[0] < 128 ? std::uint8_t{0} : data[0];
    std::string_view rest(reinterpret_cast<const char*>(data) + 2, size - 2);
    const std::string_view blockData =
        rest.substr(0, std::min<std::size_t>(data[1] % 35, rest.size()));
    rest.remove_prefix(blockData.size());
    std::uint8_t checkError = 0;
    if (!rest.empty()) {
        checkError = static_cast<std::uint8_t>(rest[0]);
        rest.remove_prefix(1);
    }

    BlockReceiver receiver(expected);
    const std::string_view line = rest;
    while (!rest.empty()) {
        const std::size_t length =
            std::min<std::size_t>(static_cast<std::uint8_t>(rest[0]), rest.size() - 1);
        attempt(receiver, expected, rest.substr(1, length));
        rest.remove_prefix(1 + length);
    }

    // Whatever the line held, the unit's block gets through once the next attempt begins.
    for (std::size_t i = 0; i < line.size(); ++i) {
        receiver.feed(static_cast<std::uint8_t>(line[i]));
    }
    receiver.reset();
    FUZZ_CHECK(feedBlock(receiver, sim::unit::unitBlock(expected, blockData)) == Outcome::Deliver);
    FUZZ_CHECK(receiver.data() == blockData);

    // The unit's repeat of its previous block is acknowledged and dropped.
    if (const std::optional<std::uint8_t> previous = repeatedCode(expected)) {
        receiver.reset();
        FUZZ_CHECK(feedBlock(receiver, sim::unit::unitBlock(*previous, blockData)) ==
                   Outcome::AcknowledgeRepeat);
    }

    // With a wrong check byte it is neither delivered nor acknowledged, and nothing is flushed.
    if (checkError != 0) {
        receiver.reset();
        FUZZ_CHECK(feedBlock(receiver, sim::unit::unitBlock(expected, blockData, checkError)) ==
                   Outcome::Continue);
        FUZZ_CHECK(!receiver.good() && receiver.state() == BlockReceiver::kExpectFinal);
    }
    return 0;
}
