// Plain send and receive on virtual time, against the simulated tape puncher and reader.
#include "comm/plain/PlainReceiver.h"
#include "comm/plain/PlainSender.h"
#include "sim/heidenhain/link/VirtualPeerLink.h"
#include "sim/tape/TapePuncher.h"
#include "sim/tape/TapeReader.h"
#include "tests/heidenhain/TransferFixture.h"

namespace {

class PlainTransfer : public TransferFixture {
protected:
    comm::Status send(const std::string& name, bool endOfFile) {
        return comm::plain::PlainSender(control).send(dir.path(name), endOfFile);
    }
    comm::Status receive(const std::string& name, bool endOfFile) {
        return comm::plain::PlainReceiver(control).receive(dir.path(name), endOfFile);
    }

    static std::string program(std::size_t size) {
        std::string text;
        for (std::size_t i = 0; text.size() < size; ++i) {
            text += "N" + std::to_string(i) + " G01 X" + std::to_string(i % 97) + "\r\n";
        }
        text.resize(size);
        return text;
    }

    sim::VirtualPeerLink peer{line};
};

TEST_F(PlainTransfer, TheOperatorConfirmsBeforeTheFirstByte) {
    openLine(comm::ProtNone);
    dir.write("P", "X");
    std::size_t bytesAtPrompt = 99;
    site.onPrompt = [&] { bytesAtPrompt = line.log().size(); };
    ASSERT_TRUE(send("P", false));
    EXPECT_EQ(site.prompts,
              (std::vector<std::string>{"FerixComm|Get Ferix ready for file receive..."}));
    EXPECT_EQ(bytesAtPrompt, 0u);
    EXPECT_EQ(sent(), "X");
}

TEST_F(PlainTransfer, OneByteWithEndOfFile) {
    openLine(comm::ProtNoneEOF);
    sim::TapePuncher puncher(peer, true);
    dir.write("P", "X");
    ASSERT_TRUE(send("P", true));
    host.sleep(std::chrono::milliseconds(10));
    EXPECT_EQ(sent(), "X\x1A");
    EXPECT_EQ(puncher.punched(), "X");
    EXPECT_TRUE(puncher.ended());
    EXPECT_EQ(site.stops, (std::vector<std::pair<bool, std::uint8_t>>{{true, 0}, {false, 0}}));
    EXPECT_EQ(site.progress.back(), 100);
}

TEST_F(PlainTransfer, AProgramOfSeveralBufferfulsArrivesUnchanged) {
    openLine(comm::ProtNone);
    sim::TapePuncher puncher(peer, false);
    const std::string text = program(5000) + std::string("\x00\x1A\xFF", 3);
    dir.write("P", text);
    ASSERT_TRUE(send("P", false));
    EXPECT_EQ(puncher.punched(), text) << "every byte, control characters included";
    // Five pieces of 1024 bytes: progress at their first bytes, then 100.
    EXPECT_EQ(site.progress, (std::vector<std::uint8_t>{0, 20, 41, 61, 82, 100}));
}

TEST_F(PlainTransfer, AStopPurgesTheRestAndSendsNoEndOfFile) {
    openLine(comm::ProtNoneEOF);
    sim::TapePuncher puncher(peer, true);
    dir.write("P", program(20000));
    host.at(1'500'000, [this] { control.StopTransfer(); });
    ASSERT_TRUE(send("P", true));
    host.sleep(std::chrono::milliseconds(100));
    EXPECT_FALSE(puncher.ended()) << "a cut program must not look whole";
    EXPECT_LT(puncher.punched().size(), 20000u);
    EXPECT_EQ(puncher.punched(), program(20000).substr(0, puncher.punched().size()));
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Stopped);
    EXPECT_GE(site.transfers[0].bytes.size(), puncher.punched().size());
    EXPECT_EQ(site.transfers[0].bytes, program(20000).substr(0, site.transfers[0].bytes.size()));
}

TEST_F(PlainTransfer, ReceiveEndsAtEndOfFileWhichIsNotStored) {
    openLine(comm::ProtNoneEOF);
    sim::TapeReader reader(peer);
    const std::string text = program(777);
    reader.read({text, true, 100, std::chrono::milliseconds(30)});
    ASSERT_TRUE(receive("IN", true));
    EXPECT_EQ(dir.read("IN"), text);
    EXPECT_EQ(site.dirChanged, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(site.stops, (std::vector<std::pair<bool, std::uint8_t>>{{true, 1}, {false, 1}}));
}

TEST_F(PlainTransfer, WithoutEndOfFileOnlyTheOperatorEndsItAndTheFileIsReplaced) {
    openLine(comm::ProtNone);
    dir.write("IN", "an older and longer program that must go completely");
    sim::TapeReader reader(peer);
    const std::string text = program(350) + "\x1A" + program(50);
    reader.read({text, false, 64, std::chrono::milliseconds(5)});
    // Long after the tape has ended the reception still runs; the operator stops it.
    host.at(60'000'000, [this] { control.StopTransfer(); });
    ASSERT_TRUE(receive("IN", false));
    EXPECT_GE(host.nowMicros(), 60'000'000);
    EXPECT_EQ(dir.read("IN"), text) << "0x1A is data without the end-of-file character";
}

TEST_F(PlainTransfer, AReceptionThatBroughtNothingNeitherReplacesNorCreatesAFile) {
    openLine(comm::ProtNone);
    dir.write("IN", "the program it was to replace");
    host.at(5'000'000, [this] { control.StopTransfer(); });
    ASSERT_TRUE(receive("IN", false));
    EXPECT_EQ(dir.read("IN"), "the program it was to replace");
    host.at(host.nowMicros() + 5'000'000, [this] { control.StopTransfer(); });
    ASSERT_TRUE(receive("NEW", false));
    EXPECT_FALSE(std::filesystem::exists(dir.path("NEW"))) << "no empty file is made";
    EXPECT_TRUE(site.dirChanged.empty());
    ASSERT_EQ(site.transfers.size(), 2u);
    for (const comm::TransferEnd& end : site.transfers) {
        EXPECT_EQ(end.outcome, comm::TransferOutcome::Stopped);
        EXPECT_TRUE(end.bytes.empty());
        EXPECT_FALSE(end.stored);
    }
}

TEST_F(PlainTransfer, AnEndOfFileCharacterWithNothingBeforeItKeepsTheOlderFile) {
    openLine(comm::ProtNoneEOF);
    dir.write("IN", "the program it was to replace");
    line.peerSend(std::string("\x1A"));
    ASSERT_TRUE(receive("IN", true));
    EXPECT_EQ(dir.read("IN"), "the program it was to replace");
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_F(PlainTransfer, AnEndOfFileReceptionStoppedBeforeItsEndStoresNothing) {
    openLine(comm::ProtNoneEOF);
    dir.write("IN", "the good program");
    sim::TapeReader reader(peer);
    // A torn tape: the end-of-file character never comes, so the operator stops.
    reader.read({program(500), true, 64, std::chrono::milliseconds(5), 300});
    host.at(10'000'000, [this] { control.StopTransfer(); });
    const comm::Status stopped = receive("IN", true);
    ASSERT_FALSE(stopped.ok());
    EXPECT_EQ(stopped.error().description,
              "Error while Transferring File from Ferix (Transfer interrupted.)");
    EXPECT_EQ(dir.read("IN"), "the good program");
    EXPECT_TRUE(site.dirChanged.empty());
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Stopped);
    EXPECT_EQ(site.transfers[0].error, stopped.error().description);
    EXPECT_FALSE(site.transfers[0].stored);
}

TEST_F(PlainTransfer, AReceptionWhoseDeviceGoesAwayStoresNothing) {
    openLine(comm::ProtNoneEOF);
    dir.write("IN", "the good program");
    line.peerSend(std::string("G1 X1\r\n"));
    host.at(2'000'000, [this] { line.removeDevice(); });
    const comm::Status lost = receive("IN", true);
    ASSERT_FALSE(lost.ok());
    EXPECT_EQ(lost.error().description,
              "Error while Transferring File from Ferix (Port no longer available (virtual:1: "
              "Input/output error))");
    EXPECT_EQ(dir.read("IN"), "the good program");
}

TEST_F(PlainTransfer, ANewFileThatCannotBeCreatedFailsWithMessage419) {
    openLine(comm::ProtNoneEOF);
    std::filesystem::remove_all(dir.path(""));
    line.peerSend(std::string("AB\x1A"));
    const comm::Status failed = receive("IN", true);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040009u);
    EXPECT_EQ(failed.error().source, "FerixComm");
    EXPECT_EQ(failed.error().description,
              "Error while Transferring File from Ferix (No such file or directory)");
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_F(PlainTransfer, AMissingFileIsNotSentAndNotPrompted) {
    openLine(comm::ProtNone);
    EXPECT_FALSE(send("NONE", false).ok());
    EXPECT_TRUE(site.prompts.empty());
    EXPECT_TRUE(sent().empty());
}

}  // namespace
