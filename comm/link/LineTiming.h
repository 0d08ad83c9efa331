// Every pause and time-out of the line protocols, derived from the line speed in bits per
// second. Results are whole milliseconds, rounded to the nearest.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>

namespace comm::timing {

inline constexpr std::int64_t roundedDiv(std::int64_t numerator, std::int32_t speed) {
    return speed <= 0 ? 0 : (numerator + speed / 2) / speed;
}

// One wait step while a write of n characters is in progress.
inline constexpr int writeWaitStep(std::size_t n, std::int32_t speed) {
    return static_cast<int>(std::min<std::int64_t>(
        roundedDiv((static_cast<std::int64_t>(n) + 50) * 20000, speed), 100));
}

// Pause after the request frame before one more fill byte and the read of a block.
inline constexpr int requestFramePause(std::int32_t speed) {
    return static_cast<int>(roundedDiv(400000, speed));
}

// Pause between looks at the receive buffer while waiting for a block (100 per attempt).
inline constexpr int blockPollPause(std::int32_t speed) {
    return static_cast<int>(roundedDiv(100000, speed));
}

// Pause between looks while waiting for one character within a time-out.
inline constexpr int characterPollPause(std::int32_t speed) {
    return static_cast<int>(roundedDiv(20000, speed)) + 1;
}

// Pause between looks during a Heidenhain-family block receive; 1001 of them without a byte
// are its time-out.
inline constexpr int heidenhainPollPause(std::int32_t speed) {
    return static_cast<int>(roundedDiv(50000, speed)) + 1;
}

// Pause between looks while a plain receive waits for data.
inline constexpr int plainReceivePollPause(std::int32_t speed) {
    return static_cast<int>(roundedDiv(1000000, speed)) + 1;
}

// The time of a block of `longestBlock` characters of up to 12 bits each (start, 8 data,
// parity and two stop bits).
inline constexpr int blockTime(std::size_t longestBlock, std::int32_t speed) {
    return static_cast<int>(roundedDiv(static_cast<std::int64_t>(longestBlock) * 12 * 1000, speed));
}

// The longest time one block may take to arrive once its first byte is in: the time of two
// such blocks plus one character time-out of `pause` milliseconds 100 times. A peer that is
// still sending after that never ends its block.
inline constexpr int blockArrivalLimit(std::size_t longestBlock, std::int32_t speed, int pause) {
    return 2 * blockTime(longestBlock, speed) + 100 * pause;
}

inline constexpr int kWrongReplyPause = 10;
inline constexpr int kHeidenhainLoopPause = 10;
inline constexpr int kAfterFileSendPause = 1000;

}  // namespace comm::timing
