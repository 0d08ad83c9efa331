// The block send on virtual time: answers, repetitions, time-outs and stops.
#include "comm/heidenhain/BlockFrames.h"
#include "comm/heidenhain/BlockSender.h"
#include "sim/virtual/ScriptedPeer.h"
#include "tests/heidenhain/TransferFixture.h"

namespace {

using comm::heidenhain::dataBlock;

class BlockSend : public TransferFixture {
protected:
    comm::Status send(const std::string& name) {
        return comm::heidenhain::BlockSender(control).send(dir.path(name));
    }
};

TEST_F(BlockSend, TwoLinesGoOutAsTwoCheckedBlocksThenEtx) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "G1 X10\r\nM30\r\n");
    sim::ScriptedPeer peer(line);
    peer.expect("\x02G1 X10\x17\x1A", one(kAck))
        .expect("\x02M30\x17\x5B", one(kAck))
        .expect(one(kEtx), one(kEot));
    ASSERT_TRUE(send("P.H"));
    EXPECT_TRUE(peer.finished());
    EXPECT_EQ(sent(), "\x02G1 X10\x17\x1A\x02M30\x17\x5B\x03");
    EXPECT_EQ(control.link().bytesWaiting(), 0u) << "the answer to ETX is dropped";
    ASSERT_FALSE(site.progress.empty());
    EXPECT_EQ(site.progress.front(), 8) << "1 of 13 bytes";
    EXPECT_EQ(site.progress.back(), 100);
    EXPECT_EQ(site.pictures.back(), 2);
}

TEST_F(BlockSend, Tavro1WithCrLfSendsPiecesOf199) {
    openLine(comm::ProtTavro1);
    const std::string text = std::string(300, 'A') + "\r\n" + std::string(148, 'B');
    dir.write("P.T", text);
    sim::ScriptedPeer peer(line);
    peer.expect(dataBlock(text.substr(0, 199)), one(kAck))
        .expect(dataBlock(text.substr(199, 199)), one(kAck))
        .expect(dataBlock(text.substr(398)), one(kAck))
        .expect(one(kEtx), one(kEot));
    ASSERT_TRUE(send("P.T"));
    EXPECT_TRUE(peer.finished());
    EXPECT_TRUE(peer.unexpected().empty());
}

TEST_F(BlockSend, NakSendsTheBlockAgain) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "M30\r\n");
    sim::ScriptedPeer peer(line);
    peer.expect(dataBlock("M30"), one(kNak))
        .expect(dataBlock("M30"), one(kAck))
        .expect(one(kEtx), one(kEot));
    ASSERT_TRUE(send("P.H"));
    EXPECT_EQ(sent(), dataBlock("M30") + dataBlock("M30") + one(kEtx));
}

// A character doubled on the line: the machine's ACK to the first block arrives twice. The
// copy must not be taken for the answer to the second block, which the machine refuses.
TEST_F(BlockSend, ADoubledAnswerIsNotTakenForTheAnswerToTheNextBlock) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "G1\r\nM30\r\n");
    sim::ScriptedPeer peer(line);
    peer.expect(dataBlock("G1"), one(kAck) + one(kAck))
        .expect(dataBlock("M30"), one(kNak))
        .expect(dataBlock("M30"), one(kAck))
        .expect(one(kEtx), one(kEot));
    ASSERT_TRUE(send("P.H"));
    EXPECT_TRUE(peer.finished());
    EXPECT_EQ(sent(), dataBlock("G1") + dataBlock("M30") + dataBlock("M30") + one(kEtx));
}

TEST_F(BlockSend, Dc1KeepsThePcWaitingForTheAcknowledge) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "M30\r\n");
    sim::ScriptedPeer peer(line);
    // DC1 at once, ACK 10 s later: far beyond a quick answer, within the one wait of 14.4 s.
    peer.expect(dataBlock("M30"), one(kDc1)).expect("", one(kAck), 10'000'000);
    peer.expect(one(kEtx), one(kEot));
    ASSERT_TRUE(send("P.H"));
    EXPECT_EQ(sent(), dataBlock("M30") + one(kEtx)) << "DC1 is no reason to repeat the block";
}

TEST_F(BlockSend, SilenceFailsAfterHalfTheLineSpeedInPauses) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "M30\r\n");
    const auto start = host.nowMicros();
    const comm::Status failed = send("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040017u);
    EXPECT_EQ(failed.error().source, "FerixComm");
    EXPECT_EQ(failed.error().description, "Timeout while waiting for block acknowledge.");
    // 4800 pauses of 3 ms at 9600 bits per second, on virtual time.
    const auto waited = host.nowMicros() - start;
    EXPECT_GE(waited, 4800 * 3000);
    EXPECT_LT(waited, 4800 * 3000 + 100'000);
    EXPECT_EQ(sent(), dataBlock("M30")) << "sent once, no ETX";
    EXPECT_EQ(site.progress.back(), 100);
}

TEST_F(BlockSend, FourNaksFail) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "M30\r\nM2\r\n");
    sim::ScriptedPeer peer(line);
    for (int i = 0; i < 5; ++i) {
        peer.expect(dataBlock("M30"), one(kNak));
    }
    const comm::Status failed = send("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040018u);
    EXPECT_EQ(failed.error().description, "Block repeated 4 times.");
    EXPECT_EQ(peer.stepsDone(), 4u) << "exactly four sends";
    EXPECT_EQ(sent().find(one(kEtx)), std::string::npos);
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Failed);
    EXPECT_EQ(site.transfers[0].error, "Block repeated 4 times.");
    EXPECT_TRUE(site.transfers[0].hasBytes);
    EXPECT_EQ(site.transfers[0].bytes, "") << "the machine took no block";
}

TEST_F(BlockSend, AnUnexpectedAnswerIsAnsweredWithEot) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "M30\r\n");
    sim::ScriptedPeer peer(line);
    peer.expect(dataBlock("M30"), "?");
    const comm::Status failed = send("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040016u);
    EXPECT_EQ(failed.error().description, "Block not acknowledged.");
    EXPECT_EQ(sent(), dataBlock("M30") + one(kEot));
}

TEST_F(BlockSend, ALineTooLongToCutFailsAfterEot) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", std::string(1001, 'X') + "\n");
    const comm::Status failed = send("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040013u);
    EXPECT_EQ(failed.error().description, "Block too long.");
    EXPECT_EQ(sent(), one(kEot));
}

TEST_F(BlockSend, TheSameLongLineEndedByCrIsOneBlock) {
    openLine(comm::ProtHeidenhain);
    const std::string longLine(1001, 'X');
    dir.write("P.H", longLine + "\r");
    sim::ScriptedPeer peer(line);
    peer.expect(dataBlock(longLine), one(kAck)).expect(one(kEtx), one(kEot));
    ASSERT_TRUE(send("P.H"));
    EXPECT_EQ(sent(), dataBlock(longLine) + one(kEtx));
}

TEST_F(BlockSend, AStopWhileWaitingEndsWithEotAndNoError) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "M30\r\nM2\r\n");
    host.at(1'000'000, [this] { control.StopTransfer(); });
    ASSERT_TRUE(send("P.H"));
    EXPECT_EQ(sent(), dataBlock("M30") + one(kEot)) << "EOT tells the machine it was stopped";
    EXPECT_LT(host.nowMicros(), 2'000'000);
}

TEST_F(BlockSend, AStopBetweenBlocksSendsEotInsteadOfEtx) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "M30\r\nM2\r\n");
    sim::ScriptedPeer peer(line);
    peer.expect(dataBlock("M30"), one(kAck));
    host.setPumpHook([this] {
        if (line.receivedByPeer().size() >= dataBlock("M30").size()) {
            control.StopTransfer();
        }
    });
    ASSERT_TRUE(send("P.H"));
    EXPECT_EQ(sent(), dataBlock("M30") + one(kEot));
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Stopped);
    EXPECT_EQ(site.transfers[0].bytes, "") << "stopped before the machine's answer was read";
}

TEST_F(BlockSend, AMissingFileFailsWithoutSending) {
    openLine(comm::ProtHeidenhain);
    const comm::Status failed = send("NONE.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_NE(failed.error().description.find("No such file"), std::string::npos);
    EXPECT_TRUE(sent().empty());
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Failed);
    EXPECT_FALSE(site.transfers[0].hasBytes);
}

}  // namespace
