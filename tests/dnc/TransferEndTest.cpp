// What the control tells its host of each ended program transfer of the DNC protocol: once per
// transfer, with the bytes that went over the line or arrived, on virtual time.
#include <gtest/gtest.h>

#include "sim/virtual/ScriptedPeer.h"
#include "tests/dnc/UnitsFixture.h"

namespace {

using comm::TransferEnd;
using comm::TransferOutcome;
using comm::TransferStarter;
using comm::TransferWay;
using sim::unit::RequestSpec;
using sim::unit::UnitEvent;

class TransferEnds : public UnitsFixture {
protected:
    TransferEnds() { openLine(); }

    void serve(std::uint8_t address) { ASSERT_TRUE(service.PollUnit(address)); }
    const TransferEnd& only() {
        EXPECT_EQ(site.transfers.size(), 1u);
        if (site.transfers.empty()) {
            site.transfers.emplace_back();
        }
        return site.transfers.front();
    }
};

TEST_F(TransferEnds, ADownloadIsToldOnceWithTheBytesSent) {
    const std::string program = patterned(100);
    put(2, "PRG1.WTX", program);
    unit(2).raise(RequestSpec::download("PRG1", 1));
    serve(2);
    const TransferEnd& end = only();
    EXPECT_EQ(end.unit, 2);
    EXPECT_EQ(end.way, TransferWay::ToUnit);
    EXPECT_EQ(end.startedBy, TransferStarter::Unit);
    EXPECT_EQ(end.name, "PRG1.WTX");
    EXPECT_EQ(end.path, (unitDir(2) / "PRG1.WTX").string());
    EXPECT_TRUE(end.hasBytes);
    EXPECT_EQ(end.bytes, program);
    EXPECT_EQ(end.outcome, TransferOutcome::Done);
    EXPECT_TRUE(end.error.empty());
}

TEST_F(TransferEnds, AnUploadIsToldWithTheStoredBytes) {
    unit(1).memory().store({"PRG2", 1, patterned(70)});
    unit(1).raise(RequestSpec::upload("PRG2", 1));
    serve(1);
    const TransferEnd& end = only();
    EXPECT_EQ(end.way, TransferWay::FromUnit);
    EXPECT_EQ(end.bytes, patterned(70));
    EXPECT_EQ(end.bytes, read(1, "PRG2.WTX"));
    EXPECT_TRUE(end.stored);
    EXPECT_EQ(end.outcome, TransferOutcome::Done);
}

TEST_F(TransferEnds, AMissingProgramIsAFailureWithoutBytes) {
    unit(1).raise(RequestSpec::download("NONE", 1));
    serve(1);
    const TransferEnd& end = only();
    EXPECT_EQ(end.outcome, TransferOutcome::Failed);
    EXPECT_FALSE(end.hasBytes);
    EXPECT_NE(end.error.find("NONE.WTX: No such file or directory)"), std::string::npos)
        << end.error;
}

TEST_F(TransferEnds, AStoppedDownloadHasTheBlocksTheUnitTook) {
    put(1, "BIG.WTX", patterned(1000));
    unit(1).raise(RequestSpec::download("BIG", 1));
    host.setPumpHook([&] {
        if (site.progress.size() == 3) {
            control.StopTransfer();
        }
    });
    serve(1);
    const TransferEnd& end = only();
    EXPECT_EQ(end.outcome, TransferOutcome::Stopped);
    EXPECT_EQ(end.bytes, patterned(1000).substr(0, 64)) << "two blocks had been acknowledged";
}

TEST_F(TransferEnds, AStoppedUploadHasWhatArrivedAndStoredNothing) {
    put(1, "BIG.WTX", "old");
    unit(1).memory().store({"BIG", 1, patterned(1000)});
    unit(1).raise(RequestSpec::upload("BIG", 1));
    host.setPumpHook([&] {
        if (!site.stops.empty()) {
            control.StopTransfer();
        }
    });
    serve(1);
    const TransferEnd& end = only();
    EXPECT_EQ(end.outcome, TransferOutcome::Stopped);
    EXPECT_FALSE(end.stored);
    EXPECT_FALSE(end.bytes.empty());
    EXPECT_EQ(end.bytes, patterned(1000).substr(0, end.bytes.size()));
    EXPECT_EQ(read(1, "BIG.WTX"), "old");
}

TEST_F(TransferEnds, AnUploadThatCannotBeStoredIsAFailureWithWhatArrived) {
    fs::remove_all(unitDir(3));
    unit(3).memory().store({"LOST", 1, "data"});
    unit(3).raise(RequestSpec::upload("LOST", 1));
    serve(3);
    const TransferEnd& end = only();
    EXPECT_EQ(end.outcome, TransferOutcome::Failed);
    EXPECT_EQ(end.bytes, "data");
    EXPECT_FALSE(end.stored);
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_NE(site.errors[0].description.find(end.error), std::string::npos);
}

TEST_F(TransferEnds, ListingsAreNoPrograms) {
    put(1, "A.WTX", "abc");
    unit(1).raise(RequestSpec::listing());
    serve(1);
    EXPECT_TRUE(site.transfers.empty());
}

class ScriptedTransferEnds : public DncFixture {
protected:
    ScriptedTransferEnds() : peer(line), transfers(control) { openLine(); }
    sim::ScriptedPeer peer;
    comm::dnc::DncTransfers transfers;
};

TEST_F(ScriptedTransferEnds, AFailedReceiveAndARefusedNameAreToldAsFailures) {
    put(1, "P.WTX", "old");
    ASSERT_FALSE(transfers.ReceiveFileFromUnit(1, "P.WTX", 0).ok());  // the unit never answers
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].outcome, TransferOutcome::Failed);
    EXPECT_TRUE(site.transfers[0].hasBytes);
    EXPECT_TRUE(site.transfers[0].bytes.empty());
    EXPECT_FALSE(site.transfers[0].error.empty());

    ASSERT_FALSE(transfers.SendFileToUnit(1, "../P.WTX", 0, 0, 0).ok());
    ASSERT_EQ(site.transfers.size(), 2u);
    EXPECT_EQ(site.transfers[1].outcome, TransferOutcome::Failed);
    EXPECT_FALSE(site.transfers[1].hasBytes);
    EXPECT_TRUE(site.transfers[1].path.empty());
}

TEST_F(ScriptedTransferEnds, TheMemoryListFetchedByNameIsNoProgram) {
    ASSERT_FALSE(transfers.ReceiveFileFromUnit(1, "$$$$$DIR.FDI", 0).ok());
    EXPECT_TRUE(site.transfers.empty());
}

}  // namespace
