// The line as a Ferix unit sees it: the frames that the PC sends (polls and data blocks,
// requests for the unit's next block, acknowledgements) and the blocks that the unit sends.
// Written from the unit's side of the frame descriptions, independently of the PC's code, so
// that a fault in either is caught by the other.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace sim::unit {

namespace wire {
inline constexpr std::uint8_t kFill = 0xFF;
inline constexpr std::uint8_t kDle = 0x10;
inline constexpr std::uint8_t kEot = 0x04;
inline constexpr std::uint8_t kStx = 0x02;
inline constexpr std::uint8_t kReq = 0x85;
inline constexpr std::uint8_t kEnd = 0x83;
inline constexpr std::uint8_t kOk = 0x01;
}  // namespace wire

// What the PC said.
struct PcFrame {
    enum Kind {
        DataBlock,    // FILL DLE EOT A A DLE STX R data DLE END C 0x00
        BlockWanted,  // FILL DLE EOT A A DLE REQ
        Acknowledge,  // DLE OK: the PC accepted the block the unit sent last
    };
    Kind kind = DataBlock;
    std::uint8_t address = 0;
    std::uint8_t code = 0;
    std::string data;
    bool intact = true;  // check byte, final 0x00 and escapes as they must be

    bool isPoll() const { return kind == DataBlock && code == 0 && data == std::string(1, '\x01'); }
};

// Splits the PC's byte stream into frames. Fill bytes between frames are skipped; a frame whose
// two address bytes differ is addressed to nobody and dropped.
class PcFrameParser {
public:
    std::optional<PcFrame> feed(std::uint8_t byte);

private:
    enum class State {
        Idle,
        Escape,
        Address1,
        Address2,
        HeaderDle,
        HeaderKind,
        Code,
        Data,
        DataEscape,
        Check,
        Final
    };
    static constexpr std::size_t kMaxData = 512;

    State state_ = State::Idle;
    PcFrame frame_;
    std::uint8_t secondAddress_ = 0;
    std::uint8_t sum_ = 0;
};

// DLE STX R data DLE END C 0x00 with every data DLE doubled. `checkError` is added to the
// check byte (0 for a sound block; anything else makes the PC refuse it).
std::string unitBlock(std::uint8_t code, std::string_view data, std::uint8_t checkError = 0);

// DLE OK: the unit accepts a block, or answers a poll with a request waiting.
std::string unitAcknowledge();

// The closing block of a transfer as the unit reads it.
struct Closing {
    std::uint32_t value = 0;
    std::uint8_t status = 0;
};
std::optional<Closing> parseClosing(const PcFrame& frame);

}  // namespace sim::unit
