// The block receive on virtual time: storing, check bytes, interruptions and time-out.
#include "comm/Messages.h"
#include "comm/heidenhain/BlockFrames.h"
#include "comm/heidenhain/BlockReceiver.h"
#include "sim/virtual/ScriptedPeer.h"
#include "tests/heidenhain/TransferFixture.h"

namespace {

using comm::heidenhain::dataBlock;

class BlockReceive : public TransferFixture {
protected:
    comm::Status receive(const std::string& name, std::int32_t expected = 0) {
        return comm::heidenhain::BlockReceiver(control).receive(dir.path(name), name, expected);
    }
    // The machine sends `bytes` shortly after the receive has started.
    void machineSends(const std::string& bytes) { line.peerSend(bytes); }
};

TEST_F(BlockReceive, LinesAreStoredWithCrLfAndEtxIsAnsweredWithEot) {
    openLine(comm::ProtHeidenhain);
    machineSends(dataBlock("G1 X10") + dataBlock("M30") + one(kEtx));
    ASSERT_TRUE(receive("P.H"));
    EXPECT_EQ(dir.read("P.H"), "G1 X10\r\nM30\r\n");
    EXPECT_EQ(sent(), one(kAck) + one(kAck) + one(kEot));
    EXPECT_EQ(site.dirChanged, (std::vector<std::uint8_t>{1}));
    EXPECT_TRUE(site.progress.empty()) << "no progress without an expected length";
}

TEST_F(BlockReceive, Tavro1WithCrLfStoresTheTextUnchanged) {
    openLine(comm::ProtTavro1);
    machineSends(dataBlock("N1 G0\r\nN2") + dataBlock(" M30\r\n") + one(kEtx));
    ASSERT_TRUE(receive("P.T"));
    EXPECT_EQ(dir.read("P.T"), "N1 G0\r\nN2 M30\r\n");
}

TEST_F(BlockReceive, AWrongCheckByteIsAnsweredWithNakAndTheRepeatIsTaken) {
    openLine(comm::ProtHeidenhain);
    std::string bad = dataBlock("M30");
    bad.back() ^= 0x40;
    sim::ScriptedPeer peer(line);
    peer.expect("", bad).expect(one(kNak), dataBlock("M30") + one(kEtx));
    ASSERT_TRUE(receive("P.H"));
    EXPECT_EQ(dir.read("P.H"), "M30\r\n") << "the bad block is not stored";
    EXPECT_EQ(sent(), one(kNak) + one(kAck) + one(kEot));
}

// A machine that took an answer meant for the block before for the one it had just sent runs
// a block ahead: it meets the NAK of its last block where it waits for the answer to ETX, and
// its ETX follows the refused block at once. The program lacks that block.
TEST_F(BlockReceive, EtxInsteadOfTheRepeatOfARefusedBlockStoresNothing) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "old program");
    std::string bad = dataBlock("M30");
    bad.back() ^= 0x40;
    machineSends(dataBlock("G1") + bad + one(kEtx));
    const comm::Status failed = receive("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040011u);
    EXPECT_EQ(failed.error().description, comm::message(comm::msg::BlockNotReceived));
    EXPECT_EQ(dir.read("P.H"), "old program");
    EXPECT_EQ(sent(), one(kAck) + one(kNak)) << "the end is not confirmed";
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Failed);
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_F(BlockReceive, Dc1BetweenBlocksIsIgnored) {
    openLine(comm::ProtHeidenhain);
    machineSends(one(kDc1) + dataBlock("A") + one(kDc1) + dataBlock("B") + one(kEtx));
    ASSERT_TRUE(receive("P.H"));
    EXPECT_EQ(dir.read("P.H"), "A\r\nB\r\n");
}

TEST_F(BlockReceive, EotFromTheMachineIsAnInterruptionAndKeepsTheOldFile) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "old program");
    machineSends(dataBlock("G1") + one(kEot));
    const comm::Status failed = receive("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040019u);
    EXPECT_EQ(failed.error().description, "Transfer interrupted.");
    EXPECT_EQ(dir.read("P.H"), "old program");
    EXPECT_TRUE(site.dirChanged.empty());
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Failed);
    EXPECT_EQ(site.transfers[0].bytes, "G1\r\n") << "what had arrived";
    EXPECT_FALSE(site.transfers[0].stored);
}

TEST_F(BlockReceive, AStrayByteBetweenBlocksMeansEtxWasNotReceived) {
    openLine(comm::ProtHeidenhain);
    machineSends(dataBlock("G1") + "Z");
    const comm::Status failed = receive("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x8004001Au);
    EXPECT_EQ(failed.error().description, "ETX not received.");
    EXPECT_FALSE(dir.exists("P.H"));
}

// STX and ETX differ in one bit: a block start damaged on the line reads as the end of the
// program, and the rest of the block follows it.
TEST_F(BlockReceive, BytesAfterEtxMeanItWasADamagedStxAndNothingIsStored) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "old program");
    std::string second = dataBlock("M30");
    second.front() = kEtx;
    machineSends(dataBlock("G1") + second);
    const comm::Status failed = receive("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x8004001Au);
    EXPECT_EQ(failed.error().description, "ETX not received.");
    EXPECT_EQ(dir.read("P.H"), "old program");
    EXPECT_EQ(sent(), one(kAck) + one(kEot)) << "the machine is told that the transfer ended";
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_F(BlockReceive, AMachineThatAnswersOurEotStillDeliversItsProgram) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "old program");
    machineSends(dataBlock("G1") + one(kEtx) + one(kEot));
    ASSERT_TRUE(receive("P.H"));
    EXPECT_EQ(dir.read("P.H"), "G1\r\n");
}

TEST_F(BlockReceive, SilenceOf1001PausesIsTheTimeOut) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "old program");
    machineSends(dataBlock("G1"));
    const comm::Status failed = receive("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x800401B1u);
    EXPECT_EQ(failed.error().description, "Timeout while waiting for block acknowledge.");
    EXPECT_EQ(dir.read("P.H"), "old program");
    // The count starts again at the last byte: 1001 pauses of 6 ms at 9600 after it.
    sim::VirtualHost::Micros lastByte = 0;
    for (const auto& event : line.log()) {
        if (!event.toPeer) {
            lastByte = event.time;
        }
    }
    EXPECT_GE(host.nowMicros() - lastByte, 1001 * 6000);
    EXPECT_LT(host.nowMicros() - lastByte, 1001 * 6000 + 10'000);
}

TEST_F(BlockReceive, ASlowMachineWithinThePausesIsNoTimeOut) {
    openLine(comm::ProtHeidenhain);
    sim::ScriptedPeer peer(line);
    // 5 s between blocks: less than 1001 pauses of 6 ms each time.
    peer.expect("", dataBlock("A"), 5'000'000)
        .expect(one(kAck), dataBlock("B"), 5'000'000)
        .expect(one(kAck), one(kEtx), 5'000'000);
    ASSERT_TRUE(receive("P.H"));
    EXPECT_EQ(dir.read("P.H"), "A\r\nB\r\n");
}

TEST_F(BlockReceive, AStopLeavesTheOldFileAndTellsTheMachine) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "old program");
    machineSends(dataBlock("NEW"));
    host.at(500'000, [this] { control.StopTransfer(); });
    ASSERT_TRUE(receive("P.H"));
    EXPECT_EQ(dir.read("P.H"), "old program");
    EXPECT_EQ(sent(), one(kAck) + one(kEot));
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Stopped);
    EXPECT_EQ(site.transfers[0].bytes, "NEW\r\n");
    EXPECT_FALSE(site.transfers[0].stored);
}

TEST_F(BlockReceive, ABlockThatNeverEndsFailsInsteadOfHoldingTheLine) {
    openLine(comm::ProtHeidenhain);
    dir.write("P.H", "old program");
    // A block start and then a minute of bytes without its end.
    machineSends(one(0x02) + std::string(30000, 'A'));
    const auto start = host.nowMicros();
    const comm::Status failed = receive("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().description, "Block too long.");
    EXPECT_LT(host.nowMicros() - start, 5000 * line.charTime());
    EXPECT_EQ(dir.read("P.H"), "old program");
}

TEST_F(BlockReceive, TheMemoryListIsNoDirectoryChange) {
    openLine(comm::ProtTavro1);
    machineSends(dataBlock("A 10\r\n") + one(kEtx));
    ASSERT_TRUE(
        comm::heidenhain::BlockReceiver(control).receive(dir.path("$$$$$DIR"), "$$$$$DIR", 0));
    EXPECT_EQ(dir.read("$$$$$DIR"), "A 10\r\n");
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_F(BlockReceive, ProgressFollowsTheExpectedLength) {
    openLine(comm::ProtHeidenhain);
    // 20 bytes expected; each block stores 5 with its CR LF; 30 arrive in all.
    std::string blocks;
    for (int i = 0; i < 6; ++i) {
        blocks += dataBlock("ABC");
    }
    machineSends(blocks + one(kEtx));
    ASSERT_TRUE(receive("P.H", 20));
    EXPECT_EQ(site.progress, (std::vector<std::uint8_t>{0, 25, 50, 75, 100, 100, 100, 100}));
}

TEST_F(BlockReceive, AFileThatCannotBeStoredFailsAndLeavesNothingBehind) {
    openLine(comm::ProtHeidenhain);
    std::filesystem::remove_all(dir.path(""));
    machineSends(dataBlock("A") + one(kEtx));
    const comm::Status failed = receive("P.H");
    ASSERT_FALSE(failed.ok());
    EXPECT_NE(failed.error().description.find("No such file or directory"), std::string::npos);
    EXPECT_TRUE(site.dirChanged.empty());
}

}  // namespace
