// Frames of the block protocol, byte by byte, and the PC's receiver table.
#include <gtest/gtest.h>

#include <string>

#include "comm/dnc/BlockReceiver.h"
#include "comm/dnc/DncFrames.h"

namespace {

using namespace comm::dnc;
using Outcome = BlockReceiver::Outcome;

std::string bytes(std::initializer_list<int> list) {
    std::string s;
    for (int b : list) {
        s += static_cast<char>(b);
    }
    return s;
}

TEST(DncFrames, PollFrameIs25BytesWithTheAddressTwice) {
    std::string poll = pollFrame();
    EXPECT_EQ(poll, bytes({0xFF, 0x10, 0x04, 0x00, 0x00, 0x10, 0x02, 0x00, 0x01, 0x10, 0x83, 0x01,
                           0x00}) +
                        std::string(12, '\xFF'));
    setPollAddress(poll, 11);
    EXPECT_EQ(poll.size(), 25u);
    EXPECT_EQ(poll.substr(0, 6), bytes({0xFF, 0x10, 0x04, 11, 11, 0x10}));
}

TEST(DncFrames, DataBlockDoublesDleAndCountsItOnceInTheCheck) {
    const std::string frame = dataFrame(3, 0x80, bytes({0x10, 0x20}));
    EXPECT_EQ(frame, bytes({0xFF, 0x10, 0x04, 3, 3, 0x10, 0x02, 0x80, 0x10, 0x10, 0x20, 0x10, 0x83,
                            0xB0, 0x00}) +
                         std::string(10, '\xFF'));
    EXPECT_EQ(checkByte(0xF0, bytes({0x20, 0x01})), 0x11) << "mod 256";
}

TEST(DncFrames, RequestAckAndClosingBlock) {
    EXPECT_EQ(requestFrame(5), bytes({0xFF, 0x10, 0x04, 5, 5, 0x10, 0x85}));
    EXPECT_EQ(ackFrame(), bytes({0x10, 0x01, 0xFF}));
    EXPECT_EQ(closingBlockData(1000, 0),
              bytes({0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0xE8, 0x03, 0x00, 0x00, 0x00}));
    EXPECT_EQ(closingBlockData(0x01020304, 6).substr(11), bytes({4, 3, 2, 1, 6}));
}

TEST(DncFrames, BlockNumbersRunFrom128To255AndStartAgain) {
    EXPECT_EQ(nextBlockNumber(128), 129);
    EXPECT_EQ(nextBlockNumber(254), 255);
    EXPECT_EQ(nextBlockNumber(255), 128);
    EXPECT_EQ(previousBlockNumber(128), 255);
    EXPECT_EQ(previousBlockNumber(200), 199);
}

class Receiver : public ::testing::Test {
protected:
    // Feeds the bytes; returns the outcome of the last one (or the first that is not Continue).
    Outcome feed(BlockReceiver& r, const std::string& data) {
        Outcome last = Outcome::Continue;
        for (char c : data) {
            last = r.feed(static_cast<std::uint8_t>(c));
            if (last != Outcome::Continue) {
                break;
            }
        }
        return last;
    }
    static std::string unitBlock(int code, const std::string& data, int checkDelta = 0,
                                 int final = 0) {
        std::string s = bytes({0x10, 0x02, code});
        int sum = code;
        for (char c : data) {
            s += c;
            if (c == '\x10') {
                s += c;
            }
            sum += static_cast<std::uint8_t>(c);
        }
        return s + bytes({0x10, 0x83, (sum + checkDelta) & 0xFF, final});
    }
};

TEST_F(Receiver, DeliversAGoodBlockWithDleUndoubled) {
    BlockReceiver r(0x80);
    const std::string data = bytes({0x10, 0x41, 0x10, 0x10, 0xFF});
    EXPECT_EQ(feed(r, unitBlock(0x80, data)), Outcome::Deliver);
    EXPECT_EQ(r.data(), data);
}

TEST_F(Receiver, Takes34DataBytesAndLosesTheBlockAtThe35th) {
    BlockReceiver full(0x80);
    EXPECT_EQ(feed(full, unitBlock(0x80, std::string(34, 'x'))), Outcome::Deliver);
    EXPECT_EQ(full.data().size(), 34u);

    BlockReceiver over(0x80);
    EXPECT_EQ(feed(over, unitBlock(0x80, std::string(35, 'x'))), Outcome::FlushInput);
    EXPECT_FALSE(over.good());
    EXPECT_EQ(over.feed(0x10), Outcome::FlushInput) << "the rest of the block is flushed too";

    BlockReceiver overByDle(0x80);
    EXPECT_EQ(feed(overByDle, unitBlock(0x80, std::string(34, 'x') + "\x10")), Outcome::FlushInput);
}

TEST_F(Receiver, RepeatOfThePreviousBlockIsAcknowledgedAndDropped) {
    BlockReceiver r(128);
    EXPECT_EQ(feed(r, unitBlock(255, "old")), Outcome::AcknowledgeRepeat);
    EXPECT_TRUE(r.repeated());
    EXPECT_EQ(r.state(), BlockReceiver::kDiscard);
    EXPECT_EQ(r.feed(0x10), Outcome::FlushInput);

    BlockReceiver later(200);
    EXPECT_EQ(feed(later, unitBlock(199, "x")), Outcome::AcknowledgeRepeat);
}

TEST_F(Receiver, ARequestBlockHasNoPreviousCode) {
    BlockReceiver r(0);
    EXPECT_EQ(feed(r, unitBlock(255, "x")), Outcome::Continue);
    EXPECT_FALSE(r.good());
}

TEST_F(Receiver, WrongCodeCheckFinalOrFrameMarksTheBlockBadAndIsNotAcknowledged) {
    const std::pair<std::string, const char*> cases[] = {
        {unitBlock(0x90, "abc"), "another block number"},
        {unitBlock(0x80, "abc", 1), "check byte off by one"},
        {unitBlock(0x80, "abc", 0, 0xFF), "final byte not 0x00"},
        {bytes({0x11}) + unitBlock(0x80, "abc").substr(1), "no DLE at the start"},
        {bytes({0x10, 0x03}) + unitBlock(0x80, "abc").substr(2), "no STX"},
        {bytes({0x10, 0x02, 0x80, 0x41, 0x10, 0x42, 0x10, 0x83, 0xC3, 0x00}), "DLE before data"},
    };
    for (const auto& [block, why] : cases) {
        BlockReceiver r(0x80);
        EXPECT_EQ(feed(r, block), Outcome::Continue) << why;
        EXPECT_FALSE(r.good()) << why;
        EXPECT_EQ(r.state(), BlockReceiver::kExpectFinal) << why;
        EXPECT_EQ(r.feed(0x00), Outcome::Continue) << why << ": stays in 39";
    }
}

TEST_F(Receiver, ResetStartsAFreshBlock) {
    BlockReceiver r(0x80);
    feed(r, unitBlock(0x80, "abc", 1));
    r.reset();
    EXPECT_TRUE(r.good());
    EXPECT_EQ(feed(r, unitBlock(0x80, "abc")), Outcome::Deliver);
    EXPECT_EQ(r.data(), "abc");
}

}  // namespace
