// Programs to and from a simulated unit, served for the unit's requests, on virtual time.
#include <gtest/gtest.h>

#include "sim/virtual/ScriptedPeer.h"
#include "tests/dnc/UnitsFixture.h"

namespace {

using namespace comm::dnc;
using sim::unit::RequestSpec;
using sim::unit::UnitEvent;

class FileTransfers : public UnitsFixture {
protected:
    FileTransfers() { openLine(); }

    void serve(std::uint8_t address) { ASSERT_TRUE(service.PollUnit(address)); }
    void storeInUnit(std::uint8_t address, const std::string& name, const std::string& data) {
        unit(address).memory().store({name, 1, data});
    }
};

TEST_F(FileTransfers, A64ByteProgramIsTwoBlocksAndTheClosingBlock) {
    const std::string program = patterned(64);
    put(1, "PRG1.WTX", program);
    bool busyDuringTransfer = false;
    host.setPumpHook([&] { busyDuringTransfer |= control.TransferBusy(); });
    unit(1).raise(RequestSpec::download("PRG1", 1));
    const auto start = host.nowMicros();
    serve(1);

    const UnitEvent received = last(UnitEvent::ProgramReceived);
    EXPECT_EQ(received.data, program);
    EXPECT_EQ(received.value, 64u);
    EXPECT_EQ(received.status, kStatusComplete);
    EXPECT_EQ(blockCodesTo(1), (std::vector<int>{128, 129, 0}));
    EXPECT_EQ(site.progress, (std::vector<std::uint8_t>{0, 51, 100}));
    EXPECT_EQ(site.stops, (std::vector<std::pair<bool, std::uint8_t>>{{true, 0}, {false, 0}}));
    EXPECT_EQ(site.memChanged, std::vector<std::uint8_t>{1});
    EXPECT_GE(host.nowMicros() - start, 1'000'000) << "the pause before the memory event";
    EXPECT_TRUE(busyDuringTransfer);
    EXPECT_FALSE(control.TransferBusy());
    EXPECT_TRUE(site.errors.empty());
    EXPECT_EQ(unit(1).memory().find("PRG1")->data, program);
}

TEST_F(FileTransfers, AMissingProgramFailsWithStatusThreeAndTheOperatorHearsWhy) {
    unit(1).raise(RequestSpec::download("NONE", 1));
    serve(1);
    const UnitEvent received = last(UnitEvent::ProgramReceived);
    EXPECT_EQ(received.status, kStatusFailed);
    EXPECT_EQ(received.value, 0u);
    EXPECT_EQ(blockCodesTo(1), std::vector<int>{0}) << "no data blocks";
    EXPECT_FALSE(exists(1, "NONE.WTX"));
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_FALSE(site.errors[0].reqSidePC);
    EXPECT_NE(site.errors[0].description.find("Error while Transferring File to Ferix ("),
              std::string::npos)
        << site.errors[0].description;
    EXPECT_TRUE(site.progress.empty()) << "no bar is shown for a transfer that never began";
}

TEST_F(FileTransfers, AnEmptyProgramIsDeletedAndAnsweredWithStatusOne) {
    put(1, "EMPTY.WTX", "");
    unit(1).raise(RequestSpec::download("EMPTY", 1));
    serve(1);
    EXPECT_EQ(last(UnitEvent::ProgramReceived).status, kStatusEmptyFile);
    EXPECT_FALSE(exists(1, "EMPTY.WTX"));
    EXPECT_EQ(site.progress, (std::vector<std::uint8_t>{0, 100})) << "the bar goes away";
    ASSERT_EQ(site.removals.size(), 1u) << "the removal is told, to become a revision";
    EXPECT_EQ(site.removals[0].name, "EMPTY.WTX");
    EXPECT_TRUE(site.removals[0].hasBytes);
    EXPECT_FALSE(site.removals[0].held);

    // With the programs protected the empty file stays; the unit hears the same.
    control.setProtectPrograms(true);
    put(1, "EMPTY.WTX", "");
    unit(1).raise(RequestSpec::download("EMPTY", 1));
    serve(1);
    EXPECT_EQ(last(UnitEvent::ProgramReceived).status, kStatusEmptyFile);
    EXPECT_TRUE(exists(1, "EMPTY.WTX"));
    ASSERT_EQ(site.removals.size(), 2u);
    EXPECT_TRUE(site.removals[1].held);
}

TEST_F(FileTransfers, ARequestedNameIsFoundInAnotherCase) {
    put(1, "prg1.wtx", "lower case on the disk");
    unit(1).raise(RequestSpec::download("PRG1", 1));
    serve(1);
    EXPECT_EQ(last(UnitEvent::ProgramReceived).data, "lower case on the disk");
}

TEST_F(FileTransfers, PartialDownloadsCountFromTheStartOrTheEnd) {
    const std::string program = patterned(1000);
    put(1, "PART.WTX", program);
    unit(1).raise(RequestSpec::partialDownload("PART", 1, {100, 2, 50}));
    unit(1).raise(RequestSpec::partialDownload("PART", 1, {990, 0, 500}));
    serve(1);
    serve(1);
    const auto received = units.eventsOf(UnitEvent::ProgramReceived);
    ASSERT_EQ(received.size(), 2u);
    EXPECT_EQ(received[0].data, program.substr(900, 50)) << "bytes 901 to 950";
    EXPECT_EQ(received[0].value, 50u);
    EXPECT_EQ(received[1].data, program.substr(990)) << "the count stops at the end";
    EXPECT_TRUE(site.memChanged.empty()) << "only whole files change the memory list";
}

TEST_F(FileTransfers, AnOffsetThatCannotBeSetIsStatusSeven) {
    put(1, "PART.WTX", patterned(1000));
    const RequestSpec::Part bad[] = {{0, 1, 10}, {1001, 0, 10}, {1001, 2, 10}, {-5, 0, 10}};
    for (const auto& part : bad) {
        site.errors.clear();
        unit(1).raise(RequestSpec::partialDownload("PART", 1, part));
        serve(1);
        const UnitEvent received = last(UnitEvent::ProgramReceived);
        EXPECT_EQ(received.status, kStatusOffsetNotSet) << part.offset << "/" << int(part.mode);
        EXPECT_TRUE(received.data.empty());
        ASSERT_EQ(site.errors.size(), 1u);
        EXPECT_EQ(site.errors[0].description,
                  "Error while Processing Ferix Request (Error while Transferring File to Ferix "
                  "(Offset could not be Stopped))");
        EXPECT_FALSE(site.errors[0].reqSidePC);
    }
}

TEST_F(FileTransfers, BlockNumbersWrapFrom255To128) {
    const std::string program = patterned(130 * 32 + 5);
    put(1, "LONG.WTX", program);
    unit(1).raise(RequestSpec::download("LONG", 1));
    serve(1);
    EXPECT_EQ(last(UnitEvent::ProgramReceived).data, program);
    const std::vector<int> codes = blockCodesTo(1);
    ASSERT_EQ(codes.size(), 132u);
    EXPECT_EQ(codes[127], 255);
    EXPECT_EQ(codes[128], 128);
    EXPECT_EQ(codes[130], 130);
    EXPECT_EQ(codes[131], 0);
}

TEST_F(FileTransfers, AnUploadReplacesTheFileAndChangesTheDirectory) {
    put(2, "prg2.wtx", "old");
    storeInUnit(2, "PRG2", patterned(100));
    unit(2).raise(RequestSpec::upload("PRG2", 1));
    serve(2);
    EXPECT_EQ(read(2, "prg2.wtx"), patterned(100)) << "the existing name in another case";
    EXPECT_FALSE(exists(2, "PRG2.WTX"));
    EXPECT_EQ(site.dirChanged, std::vector<std::uint8_t>{2});
    const UnitEvent sent = last(UnitEvent::ProgramSent, 2);
    EXPECT_EQ(sent.value, 100u);
    EXPECT_EQ(sent.status, kStatusComplete);
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(FileTransfers, AProgramOfWholeBlocksEndsWithAnEmptyBlock) {
    storeInUnit(1, "EVEN", patterned(64));
    unit(1).raise(RequestSpec::upload("EVEN", 1));
    serve(1);
    EXPECT_EQ(read(1, "EVEN.WTX"), patterned(64));
    const std::string sent = line.receivedText();
    std::size_t asked = 0;
    for (auto at = sent.find(requestFrame(1)); at != std::string::npos;
         at = sent.find(requestFrame(1), at + 1)) {
        ++asked;
    }
    EXPECT_EQ(asked, 4u) << "the request, two full blocks and an empty one";
    EXPECT_EQ(last(UnitEvent::ProgramSent).value, 64u);
}

TEST_F(FileTransfers, AFileThatCannotBeWrittenIsStatusTwoAndNothingIsLeft) {
    fs::remove_all(unitDir(3));
    storeInUnit(3, "LOST", "data");
    unit(3).raise(RequestSpec::upload("LOST", 1));
    serve(3);
    EXPECT_EQ(last(UnitEvent::ProgramSent, 3).status, kStatusNotWritten);
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description.rfind(
                  "Error while Processing Ferix Request (Error while Transferring File from "
                  "Ferix(",
                  0),
              0u);
    EXPECT_FALSE(fs::exists(unitDir(3)));
}

TEST_F(FileTransfers, StopDuringAnUploadTellsTheUnitAndKeepsTheOldFile) {
    put(1, "BIG.WTX", "old");
    storeInUnit(1, "BIG", patterned(1000));
    unit(1).raise(RequestSpec::upload("BIG", 1));
    host.setPumpHook([&] {
        if (blockCodesTo(1).empty() && line.receivedText().find(ackFrame()) != std::string::npos &&
            !site.stops.empty()) {
            control.StopTransfer();
        }
    });
    serve(1);
    const UnitEvent sent = last(UnitEvent::ProgramSent);
    EXPECT_EQ(sent.status, kStatusStopped);
    EXPECT_GT(sent.value, 0u);
    EXPECT_EQ(sent.value % 32, 0u);
    EXPECT_EQ(read(1, "BIG.WTX"), "old");
    EXPECT_TRUE(site.dirChanged.empty());
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(FileTransfers, StopDuringADownloadSendsStatusSix) {
    put(1, "BIG.WTX", patterned(1000));
    unit(1).raise(RequestSpec::download("BIG", 1));
    host.setPumpHook([&] {
        if (site.progress.size() == 2) {
            control.StopTransfer();
        }
    });
    serve(1);
    const UnitEvent received = last(UnitEvent::ProgramReceived);
    EXPECT_EQ(received.status, kStatusStopped);
    EXPECT_EQ(received.value, 0u);
    EXPECT_EQ(site.progress.back(), 100);
    EXPECT_TRUE(site.memChanged.empty());
    EXPECT_FALSE(control.link().StopRequested());
}

// A scripted unit for what only the operator's requests use.
class ScriptedReceive : public DncFixture {
protected:
    ScriptedReceive() : peer(line), transfers(control) { openLine(); }

    static std::string block(std::uint8_t code, const std::string& data) {
        return std::string("\x10\x02", 2) + static_cast<char>(code) + doubleDle(data) + "\x10\x83" +
               static_cast<char>(checkByte(code, data)) + '\0';
    }

    sim::ScriptedPeer peer;
    DncTransfers transfers;
};

TEST_F(ScriptedReceive, ProgressFollowsTheExpectedLength) {
    peer.expect(requestFrame(1), block(128, patterned(32)));
    peer.expect(requestFrame(1), block(129, "0123456789"));
    peer.expect(frameUpToFinal(1, 0, closingBlockData(42, 0)), "\x10\x01");
    ASSERT_TRUE(transfers.ReceiveFileFromUnit(1, "P.WTX", 42));
    EXPECT_EQ(site.progress, (std::vector<std::uint8_t>{0, 0, 76, 100}));
    EXPECT_EQ(read(1, "P.WTX"), patterned(32) + "0123456789");
    EXPECT_TRUE(peer.finished());
}

TEST_F(ScriptedReceive, AMemoryListIsStoredWithoutChangingTheDirectory) {
    peer.expect(requestFrame(1), block(128, "list"));
    peer.expect(frameUpToFinal(1, 0, closingBlockData(4, 0)), "\x10\x01");
    ASSERT_TRUE(transfers.ReceiveFileFromUnit(1, "$$$$$DIR.FDI", 0));
    EXPECT_EQ(read(1, "$$$$$DIR.FDI"), "list");
    EXPECT_TRUE(site.dirChanged.empty());
    EXPECT_TRUE(site.progress.empty()) << "no progress without an expected length";
}

TEST_F(ScriptedReceive, ABlockFailureWritesNothingAndSendsNoClosingBlock) {
    put(1, "P.WTX", "old");
    const comm::Status failed = transfers.ReceiveFileFromUnit(1, "P.WTX", 0);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().number, kErrFileFromUnit);
    EXPECT_EQ(failed.error().description,
              "Error while Transferring File from Ferix (Block could not be Transferred from "
              "Ferix)");
    EXPECT_EQ(read(1, "P.WTX"), "old");
    EXPECT_EQ(line.receivedText().find(std::string("\x10\x02\x00", 3)), std::string::npos);
}

TEST_F(ScriptedReceive, NamesThatAreNotPlainNeverReachTheDisk) {
    for (const std::string name : {"../P.WTX", "a\\b", "..", ""}) {
        const comm::Status refused = transfers.ReceiveFileFromUnit(1, name, 0);
        ASSERT_FALSE(refused.ok()) << name;
        EXPECT_EQ(refused.error().number, kErrFileFromUnit);
        const comm::Status notSent = transfers.SendFileToUnit(1, name, 0, 0, 0);
        EXPECT_EQ(notSent.error().number, kErrFileToUnit) << name;
    }
    EXPECT_EQ(line.receivedText().find(requestFrame(1)), std::string::npos);
}

}  // namespace
