// The release of written bytes at the speed of the line, on made-up clock readings: bytes that
// go by themselves and bytes that go in whole pieces, never before their time.
#include <gtest/gtest.h>

#include <array>
#include <chrono>
#include <cstdint>
#include <vector>

#include "comm/link/LinePacing.h"

namespace {

using comm::LinePacing;
using Clock = LinePacing::Clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr auto kChar = milliseconds(1);
const Clock::time_point t0 = Clock::time_point(std::chrono::hours(1));

std::vector<std::uint8_t> bytes(std::size_t count, std::uint8_t first = 0) {
    std::vector<std::uint8_t> out(count);
    for (std::size_t i = 0; i < count; ++i) {
        out[i] = static_cast<std::uint8_t>(first + i);
    }
    return out;
}

// Hands on whatever is due at `now`; returns how many bytes that was.
std::size_t handOn(LinePacing& pacing, Clock::time_point now) {
    const std::size_t count = pacing.due(now).size();
    pacing.handedOn(count);
    return count;
}

class Pacing : public ::testing::Test {
protected:
    Pacing() { pacing.setCharacterTime(kChar); }
    LinePacing pacing;
};

TEST_F(Pacing, BytesWithoutPiecesGoOneByOneWhenTheirTimeIsOver) {
    const auto data = bytes(5);
    pacing.queue(data, 0xFF, t0);
    EXPECT_EQ(handOn(pacing, t0), 0u);
    EXPECT_EQ(handOn(pacing, t0 + kChar - microseconds(1)), 0u);
    EXPECT_EQ(handOn(pacing, t0 + kChar), 1u);
    EXPECT_EQ(handOn(pacing, t0 + 3 * kChar + microseconds(500)), 2u);
    EXPECT_FALSE(pacing.finish(t0 + 4 * kChar));
    EXPECT_EQ(handOn(pacing, t0 + 5 * kChar), 2u);
    EXPECT_TRUE(pacing.finish(t0 + 5 * kChar));
    EXPECT_EQ(pacing.handedTotal(), 5u);
}

TEST_F(Pacing, APieceGoesWholeWhenItsLastByteIsDueAndTheNextWaitsForItsOwn) {
    // A frame of 13 bytes and its trailer of 13, as one write in two pieces.
    const auto data = bytes(26);
    const std::array<std::size_t, 1> ends{13};
    pacing.queuePieces(data, 0xFF, t0, ends);
    EXPECT_EQ(pacing.nextWake(t0, 4, milliseconds(1)), t0 + 13 * kChar);
    EXPECT_EQ(handOn(pacing, t0 + 13 * kChar - microseconds(1)), 0u);

    const auto frame = pacing.due(t0 + 13 * kChar);
    ASSERT_EQ(frame.size(), 13u);
    EXPECT_EQ(frame.front(), 0);
    EXPECT_EQ(frame.back(), 12);
    pacing.handedOn(frame.size());

    EXPECT_EQ(pacing.nextWake(t0 + 13 * kChar, 4, milliseconds(1)), t0 + 26 * kChar);
    EXPECT_EQ(handOn(pacing, t0 + 25 * kChar), 0u);
    EXPECT_FALSE(pacing.finish(t0 + 25 * kChar));
    EXPECT_EQ(handOn(pacing, t0 + 26 * kChar), 13u);
    EXPECT_TRUE(pacing.finish(t0 + 26 * kChar));
}

TEST_F(Pacing, WithoutEndsTheWholeWriteIsOnePieceAndEndsOutsideItAreIgnored) {
    const auto data = bytes(8);
    const std::array<std::size_t, 3> ends{0, 8, 20};
    pacing.queuePieces(data, 0xFF, t0, ends);
    EXPECT_EQ(handOn(pacing, t0 + 7 * kChar), 0u);
    EXPECT_EQ(handOn(pacing, t0 + 8 * kChar), 8u);
    EXPECT_TRUE(pacing.finish(t0 + 8 * kChar));

    pacing.queuePieces(data, 0xFF, t0 + 10 * kChar, {});
    EXPECT_EQ(handOn(pacing, t0 + 17 * kChar), 0u);
    EXPECT_EQ(handOn(pacing, t0 + 18 * kChar), 8u);
}

TEST_F(Pacing, NoByteIsEverHandedOnBeforeItsTime) {
    const auto data = bytes(40);
    const std::array<std::size_t, 3> ends{5, 6, 30};
    pacing.queuePieces(data, 0xFF, t0, ends);
    std::size_t handed = 0;
    for (auto now = t0; now <= t0 + 41 * kChar; now += microseconds(137)) {
        handed += handOn(pacing, now);
        const auto onTheLine = static_cast<std::size_t>((now - t0) / kChar);
        ASSERT_LE(handed, onTheLine) << "at " << (now - t0).count() << " ns";
        // A piece is never split: what is handed on ends at a piece end or with the write.
        ASSERT_TRUE(handed == 0 || handed == 5 || handed == 6 || handed == 30 || handed == 40)
            << handed;
    }
    EXPECT_EQ(handed, 40u);
}

TEST_F(Pacing, APieceTheDeviceTookOnlyInPartIsNotHeldBackAgain) {
    const auto data = bytes(10);
    pacing.queuePieces(data, 0xFF, t0, {});
    ASSERT_EQ(pacing.due(t0 + 10 * kChar).size(), 10u);
    pacing.handedOn(4);  // the device took 4 of them
    EXPECT_EQ(pacing.due(t0 + 10 * kChar).size(), 6u);
    EXPECT_EQ(pacing.due(t0 + 10 * kChar).front(), 4);
}

TEST_F(Pacing, PlainBytesAfterAPieceGoByThemselvesAndPiecesEndWithTheirWrite) {
    const auto frame = bytes(4);
    pacing.queuePieces(frame, 0xFF, t0, {});
    const auto plain = bytes(4, 100);
    pacing.queue(plain, 0xFF, t0 + kChar);  // appended to the write still in progress
    EXPECT_EQ(handOn(pacing, t0 + 3 * kChar), 0u);
    EXPECT_EQ(handOn(pacing, t0 + 4 * kChar), 4u);
    EXPECT_EQ(handOn(pacing, t0 + 5 * kChar), 1u);
    EXPECT_EQ(pacing.nextWake(t0 + 5 * kChar, 1, microseconds(1)), t0 + 6 * kChar);
    EXPECT_EQ(handOn(pacing, t0 + 8 * kChar), 3u);
    ASSERT_TRUE(pacing.finish(t0 + 8 * kChar));

    // The pieces went with the write: a new plain write is not held back by them.
    pacing.queue(plain, 0xFF, t0 + 10 * kChar);
    EXPECT_EQ(handOn(pacing, t0 + 11 * kChar), 1u);
    pacing.clear();
    pacing.queuePieces(frame, 0x7F, t0 + 20 * kChar, {});
    EXPECT_EQ(handOn(pacing, t0 + 23 * kChar), 0u);
}

TEST_F(Pacing, WithoutACharacterTimeEveryPieceGoesAtOnce) {
    pacing.setCharacterTime(std::chrono::nanoseconds(0));
    const auto data = bytes(6);
    const std::array<std::size_t, 1> ends{3};
    pacing.queuePieces(data, 0xFF, t0, ends);
    EXPECT_EQ(handOn(pacing, t0), 6u);
    EXPECT_TRUE(pacing.finish(t0));
}

}  // namespace
