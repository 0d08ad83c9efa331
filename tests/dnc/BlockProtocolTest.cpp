// SendBlock, ReceiveBlock and the closing block against a scripted unit, on virtual time.
#include <gtest/gtest.h>

#include <random>

#include "sim/virtual/ScriptedPeer.h"
#include "tests/dnc/DncFixture.h"

namespace {

using namespace comm::dnc;

const std::string kAck("\x10\x01", 2);

std::size_t count(const std::string& haystack, const std::string& needle) {
    std::size_t n = 0;
    for (auto at = haystack.find(needle); at != std::string::npos;
         at = haystack.find(needle, at + 1)) {
        ++n;
    }
    return n;
}

// A block as a unit sends it.
std::string unitBlock(std::uint8_t code, const std::string& data, int checkDelta = 0) {
    std::string s{'\x10', '\x02', static_cast<char>(code)};
    s += doubleDle(data);
    s += "\x10\x83";
    s += static_cast<char>(checkByte(code, data) + checkDelta);
    s += '\0';
    return s;
}

class BlockLayer : public DncFixture {
protected:
    BlockLayer() : peer(line), blocks(control) { openLine(); }

    // Virtual time (µs) at which the peer received the i-th byte (0-based).
    sim::VirtualHost::Micros arrival(std::size_t i) const {
        std::size_t seen = 0;
        for (const auto& e : line.log()) {
            if (e.toPeer && seen++ == i) {
                return e.time;
            }
        }
        return -1;
    }

    sim::ScriptedPeer peer;
    BlockProtocol blocks;
};

TEST_F(BlockLayer, SendBlockWritesTheFrameAndAFillAndTakesTheUnitsAcknowledgement) {
    const std::string data = patterned(32);
    peer.expect(frameUpToFinal(2, 0x80, data), kAck);
    ASSERT_TRUE(blocks.SendBlock(2, 0x80, data));
    EXPECT_EQ(line.receivedText(), dataFrame(2, 0x80, data) + "\xFF");
}

TEST_F(BlockLayer, SendBlockTriesDNCMaxRepeatNoTimesThenFails) {
    for (int repeats : {4, 6}) {
        control.setDNCMaxRepeatNo(static_cast<std::int16_t>(repeats));
        const std::size_t before = line.receivedText().size();
        const comm::Status failed = blocks.SendBlock(1, 0x81, "abc");
        ASSERT_FALSE(failed.ok());
        EXPECT_EQ(failed.error().number, kErrSendBlockFailed);
        EXPECT_EQ(failed.error().description, "Block could not be Transferred to Ferix");
        EXPECT_EQ(count(line.receivedText().substr(before), dataFrame(1, 0x81, "abc") + "\xFF"),
                  static_cast<std::size_t>(repeats));
    }
}

TEST_F(BlockLayer, AWrongReplyCostsTenMillisecondsAShortOneNothing) {
    const std::string frame = dataFrame(1, 0x80, "x");
    peer.expect(frameUpToFinal(1, 0x80, "x"), std::string("\x10\x02", 2));  // wrong answer
    peer.expect(frameUpToFinal(1, 0x80, "x"), "\x10");                      // only one byte
    peer.expect(frameUpToFinal(1, 0x80, "x"), kAck);
    ASSERT_TRUE(blocks.SendBlock(1, 0x80, "x"));
    const auto c = line.charTime();
    const std::size_t attempt = frame.size() + 1;
    EXPECT_EQ(arrival(attempt) - arrival(attempt - 1), 10000 + c);
    EXPECT_EQ(arrival(2 * attempt) - arrival(2 * attempt - 1), c);
}

TEST_F(BlockLayer, UnitsThatAreNotConnectedFailAtOnce) {
    ASSERT_TRUE(control.setConnected(3, false));
    const comm::Status send = blocks.SendBlock(3, 0x80, "x");
    EXPECT_EQ(send.error().number, kErrSendNotConnected);
    EXPECT_EQ(send.error().description,
              "Block could not be Transferred to Ferix (Ferix is not Connected to DNC Network)");
    const auto receive = blocks.ReceiveBlock(11, 0);
    EXPECT_EQ(receive.error().number, kErrReceiveNotConnected);
    EXPECT_EQ(receive.error().description,
              "Block could not be Transferred from Ferix (Ferix is not Connected to DNC Network)");
    host.sleep(std::chrono::milliseconds(100));
    EXPECT_TRUE(line.receivedByPeer().empty());
}

TEST_F(BlockLayer, ReceiveBlockAsksAndAcknowledges) {
    const std::string data = patterned(34, 3);
    peer.expect(requestFrame(1), unitBlock(0, data));
    const auto got = blocks.ReceiveBlock(1, 0);
    ASSERT_TRUE(got.ok());
    EXPECT_EQ(got.value(), data);
    const std::string sent = line.receivedText();
    EXPECT_EQ(sent.substr(0, 8), requestFrame(1) + "\xFF");
    EXPECT_EQ(sent.substr(sent.size() - 3), ackFrame());
}

TEST_F(BlockLayer, ABadBlockIsNotAcknowledgedAndAskedForAgain) {
    peer.expect(requestFrame(1), unitBlock(0x80, "abc", 1));
    peer.expect(requestFrame(1), unitBlock(0x80, std::string(35, 'y')));
    peer.expect(requestFrame(1), unitBlock(0x80, "abc"));
    const auto got = blocks.ReceiveBlock(1, 0x80);
    ASSERT_TRUE(got.ok());
    EXPECT_EQ(got.value(), "abc");
    EXPECT_EQ(count(line.receivedText(), requestFrame(1)), 3u);
    EXPECT_EQ(count(line.receivedText(), ackFrame()), 1u);
}

TEST_F(BlockLayer, ARepeatAfterTheFirstAttemptDoesNotUseOneUp) {
    peer.expect(requestFrame(1), unitBlock(128, "bad", 1));
    peer.expect(requestFrame(1), unitBlock(255, "previous"));
    peer.expect(requestFrame(1), unitBlock(128, "bad", 1));
    peer.expect(requestFrame(1), unitBlock(128, "bad", 1));
    peer.expect(requestFrame(1), unitBlock(128, "wanted"));
    const auto got = blocks.ReceiveBlock(1, 128);
    ASSERT_TRUE(got.ok());
    EXPECT_EQ(got.value(), "wanted");
    EXPECT_EQ(count(line.receivedText(), ackFrame()), 2u) << "the repeat is acknowledged too";
}

TEST_F(BlockLayer, ARepeatAtTheFirstAttemptUsesItUp) {
    peer.expect(requestFrame(1), unitBlock(255, "previous"));
    for (int i = 0; i < 3; ++i) {
        peer.expect(requestFrame(1), unitBlock(128, "bad", 1));
    }
    peer.expect(requestFrame(1), unitBlock(128, "too late"));
    const auto got = blocks.ReceiveBlock(1, 128);
    ASSERT_FALSE(got.ok());
    EXPECT_EQ(got.error().number, kErrReceiveBlockFailed);
    EXPECT_EQ(got.error().description, "Block could not be Transferred from Ferix");
    EXPECT_EQ(count(line.receivedText(), requestFrame(1)), 4u);
}

TEST_F(BlockLayer, AUnitStuckRepeatingCannotHoldTheLineForever) {
    for (int i = 0; i < 30; ++i) {
        peer.expect(requestFrame(1), unitBlock(129, "again"));
    }
    const auto got = blocks.ReceiveBlock(1, 130);
    ASSERT_FALSE(got.ok());
    EXPECT_EQ(count(line.receivedText(), requestFrame(1)), 8u);
}

TEST_F(BlockLayer, AnUnansweredRequestTimesOutAfterItsPauses) {
    const auto start = host.nowMicros();
    const auto got = blocks.ReceiveBlock(1, 0);
    ASSERT_FALSE(got.ok());
    EXPECT_EQ(count(line.receivedText(), requestFrame(1)), 4u);
    // Per attempt: the request, its pause (83 ms at 4800) and one fill byte; with nothing
    // waiting then, the attempt is over.
    const auto c = line.charTime();
    EXPECT_EQ(host.nowMicros() - start, 4 * (8 * c + 83000));
}

TEST_F(BlockLayer, ClosingBlockGoesThroughSendBlock) {
    peer.expect(frameUpToFinal(1, 0, closingBlockData(1000, 0)), kAck);
    ASSERT_TRUE(blocks.SendFinalConfirmation(1, 1000, 0));
    const std::string closing = line.receivedText().substr(7, 17);
    const std::uint8_t expected[17] = {0x00, 0x05, 0, 0,    0,    0, 0, 0, 0,
                                       0,    0,    0, 0xE8, 0x03, 0, 0, 0};
    EXPECT_EQ(closing, std::string(reinterpret_cast<const char*>(expected), 17))
        << "code 0 and data";

    const comm::Status failed = blocks.SendFinalConfirmation(1, 0, 3);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().number, kErrFinalConfirmation);
    EXPECT_EQ(failed.error().description,
              "Error during Final Transfer Confirmation (Block could not be Transferred to Ferix)");
}

// A unit that answers and then keeps sending: random bytes, or the zeros of a line stuck low.
std::string babble(bool random, std::size_t n) {
    std::string s;
    std::mt19937 generator(11);
    for (std::size_t i = 0; i < n; ++i) {
        s += random ? static_cast<char>(generator() & 0xFF) : '\0';
    }
    return s;
}

TEST_F(BlockLayer, AUnitThatKeepsSendingLosesTheBlockWithinTwoBlockTimes) {
    const auto c = line.charTime();
    // A longest block: 75 characters.
    const sim::VirtualHost::Micros blockTime = 75 * c;
    for (bool random : {false, true}) {
        const std::string noise = babble(random, 30000);  // a minute at 4800 baud
        const std::size_t before = line.receivedText().size();
        sim::ScriptedPeer babbler(line);
        babbler.expect(requestFrame(2), noise);
        const auto start = host.nowMicros();
        const auto got = blocks.ReceiveBlock(2, 0x80);
        ASSERT_FALSE(got.ok());
        EXPECT_EQ(got.error().number, kErrReceiveBlockFailed);
        EXPECT_EQ(got.error().description,
                  "Block could not be Transferred from Ferix (Unit 2 does not stop sending: its "
                  "block was dropped to free the line)");
        // The request, its pause and two blocks' worth of bytes, not the minute.
        EXPECT_LT(host.nowMicros() - start, 8 * c + 83000 + 3 * blockTime) << random;
        EXPECT_EQ(count(line.receivedText().substr(before), requestFrame(2)), 1u)
            << "no more attempts";
        host.sleep(std::chrono::seconds(70));  // the noise ends before the next round
        control.link().flushInput();
    }
}

TEST_F(BlockLayer, AStopEndsTheReceiveOfABabblingUnitWithinABlockTime) {
    const auto c = line.charTime();
    peer.expect(requestFrame(3), babble(false, 30000));
    const sim::VirtualHost::Micros stopAt = 8 * c + 83000 + 20 * c;
    sim::VirtualHost::Micros stoppedAfter = -1;
    host.at(stopAt, [this] { control.StopTransfer(); });
    const auto got = blocks.ReceiveBlock(3, 0x80);
    stoppedAfter = host.nowMicros() - stopAt;
    ASSERT_FALSE(got.ok());
    EXPECT_EQ(got.error().description,
              "Block could not be Transferred from Ferix (Transfer interrupted.)");
    EXPECT_GE(stoppedAfter, 0);
    // Within the time of a longest block (75 characters of up to 12 bits) and one more look.
    EXPECT_LT(stoppedAfter, 75 * c * 12 / 11 + 25000);
}

}  // namespace
