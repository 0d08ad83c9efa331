// A host that answers every memory change with the unit's memory list, as the sub-net window
// does with automatic refresh, while the unit keeps asking for programs of its own: on virtual
// time, with the polling loop running. The listings take the line only while it rests; the
// unit's own downloads and uploads arrive whole.
#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "tests/dnc/UnitsFixture.h"

namespace {

using namespace sim::unit;

class RefreshBetweenUnitRequests : public UnitsFixture {
protected:
    // Answers each memory notice for `unit` with FerixLst once the line rests. With
    // `tryInsideTransfers` the host also asks in the middle of the unit's transfers, where the
    // control must drop the request without a byte on the line.
    // With `inBackground` the host waits until the line is quiet, as the window does.
    void refreshOnNotices(std::uint8_t unit, bool tryInsideTransfers, bool inBackground = false) {
        onPump = [this, unit, tryInsideTransfers, inBackground] {
            if (meanwhile) {
                meanwhile();
            }
            if (reading || !control.Active()) {
                return;  // also when the run has just been ended
            }
            if (control.TransferBusy()) {
                if (tryInsideTransfers) {
                    const std::size_t sent = line.receivedByPeer().size();
                    reading = true;
                    const comm::MemoryList dropped = control.FerixLst(unit);
                    reading = false;
                    ++triedInside;
                    EXPECT_EQ(line.receivedByPeer().size(), sent) << "a dropped request wrote";
                    EXPECT_EQ(dropped.count, -1);
                }
                return;
            }
            const bool free = inBackground ? control.LineQuiet() : control.LineAtRest();
            if (noticesAnswered >= site.memChanged.size() || !free) {
                return;
            }
            noticesAnswered = site.memChanged.size();
            reading = true;
            lists.push_back(control.FerixLst(unit));
            reading = false;
        };
    }

    // The names of the unit's ended transfers in their order ("$$$$$DIR" is a listing).
    std::vector<std::string> transfersOf(std::uint8_t address) const {
        std::vector<std::string> names;
        for (const UnitEvent& e : units.events()) {
            if (e.unit == address &&
                (e.kind == UnitEvent::ProgramReceived || e.kind == UnitEvent::ProgramSent)) {
                names.push_back((e.kind == UnitEvent::ProgramReceived ? "to unit " : "from unit ") +
                                e.name);
            }
        }
        return names;
    }

    bool faultsSeenBy(std::uint8_t address) const {
        for (const UnitEvent& e : units.events()) {
            if (e.unit == address &&
                (e.kind == UnitEvent::NotServed || e.kind == UnitEvent::BlockRefused ||
                 e.kind == UnitEvent::UnexpectedBlock || e.kind == UnitEvent::PcRequestRefused)) {
                return true;
            }
        }
        return false;
    }

    std::function<void()> meanwhile;  // runs first at every pump
    bool reading = false;
    std::size_t noticesAnswered = 0;
    int triedInside = 0;
    std::vector<comm::MemoryList> lists;
};

TEST_F(RefreshBetweenUnitRequests,
       TheListingAfterADownloadWaitsForTheLineAndTheUploadArrivesWhole) {
    const std::string down = patterned(500, 3);
    const std::string up = patterned(700, 11);
    put(1, "DOWN.WTX", down);
    unit(1).memory().store({"UP", 1, up});
    unit(1).raise(RequestSpec::download("DOWN", 1));
    unit(1).raise(RequestSpec::upload("UP", 1));
    refreshOnNotices(1, false);
    ASSERT_TRUE(runUntil([&] { return exists(1, "UP.WTX") && !lists.empty(); }));

    EXPECT_EQ(read(1, "UP.WTX"), up);
    EXPECT_EQ(last(UnitEvent::ProgramReceived).data, down);
    EXPECT_EQ(last(UnitEvent::ProgramSent).name, "UP");
    EXPECT_EQ(last(UnitEvent::ProgramSent).status, comm::dnc::kStatusComplete);
    // The first poll found the download waiting; its notice and those of the loop's start got
    // one listing at the next rest of the line, between the unit's two requests.
    EXPECT_EQ(transfersOf(1),
              (std::vector<std::string>{"to unit DOWN", "from unit $$$$$DIR", "from unit UP"}));
    ASSERT_EQ(lists.size(), 1u);
    EXPECT_EQ(lists[0].entries, (std::vector<comm::MemoryListEntry>{{"DOWN", 500}, {"UP", 700}}));
    EXPECT_FALSE(faultsSeenBy(1));
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(RefreshBetweenUnitRequests, ARefreshInTheBackgroundLetsTheUnitsNextRequestGoFirst) {
    put(1, "DOWN.WTX", patterned(300, 3));
    unit(1).memory().store({"UP", 1, patterned(200, 11)});
    unit(2).memory().store({"P2", 1, patterned(100, 13)});
    unit(1).raise(RequestSpec::download("DOWN", 1));
    unit(1).raise(RequestSpec::upload("UP", 1));
    unit(2).raise(RequestSpec::upload("P2", 1));
    std::vector<bool> quietAtRest;  // at each rest of the line after the last unit's request
    meanwhile = [&] {
        if (exists(1, "UP.WTX") && exists(2, "P2.WTX") && control.LineAtRest()) {
            quietAtRest.push_back(control.LineQuiet());
        }
    };
    refreshOnNotices(1, false, true);
    ASSERT_TRUE(runUntil([&] { return !lists.empty(); }));

    // Both units were served before the listing; the listing waited for a full quiet cycle.
    EXPECT_EQ(transfersOf(1),
              (std::vector<std::string>{"to unit DOWN", "from unit UP", "from unit $$$$$DIR"}));
    EXPECT_EQ(read(2, "P2.WTX"), patterned(100, 13));
    // The rest right after the poll that served the last request, then one after each of the eleven
    // polls that follow; only the last of those is quiet.
    ASSERT_GE(quietAtRest.size(), 12u);
    EXPECT_EQ(std::count(quietAtRest.begin(), quietAtRest.begin() + 11, true), 0);
    EXPECT_TRUE(quietAtRest[11]);
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(RefreshBetweenUnitRequests,
       ARefreshAskedInTheMiddleOfAnUploadIsDroppedAndTheUploadStaysWhole) {
    const std::string up = patterned(3000, 5);
    put(1, "UP.WTX", "the good program from yesterday");
    unit(1).memory().store({"UP", 1, up});
    unit(1).raise(RequestSpec::upload("UP", 1));
    refreshOnNotices(1, true);
    ASSERT_TRUE(
        runUntil([&] { return hasEvent(UnitEvent::ProgramSent) && read(1, "UP.WTX") == up; }));
    EXPECT_GT(triedInside, 10);
    EXPECT_EQ(last(UnitEvent::ProgramSent).value, 3000u);
    EXPECT_FALSE(faultsSeenBy(1));
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(RefreshBetweenUnitRequests, AnUploadCutOffWhileARefreshWaitsLeavesTheGoodFile) {
    put(1, "UP.WTX", "the good program from yesterday");
    unit(1).memory().store({"UP", 1, patterned(2000, 9)});
    unit(1).raise(RequestSpec::upload("UP", 1));
    // The unit falls silent in the middle of its upload and speaks again once the PC gave up;
    // the refresh that waited meanwhile then takes the line (whatever the unit answers it, the
    // listing never lands in the unit directory).
    bool cutOff = false;
    meanwhile = [&] {
        if (control.TransferBusy() && !cutOff && line.receivedByPeer().size() > 600) {
            unit(1).injectFault(Fault::Silence, kUntilCleared);
            cutOff = true;
        } else if (!control.TransferBusy() && cutOff) {
            unit(1).clearFaults();
        }
    };
    refreshOnNotices(1, false);
    ASSERT_TRUE(runUntil([&] { return cutOff && !site.errors.empty() && !lists.empty(); }));

    EXPECT_EQ(read(1, "UP.WTX"), "the good program from yesterday");
    for (const auto& entry : fs::directory_iterator(unitDir(1))) {
        EXPECT_EQ(entry.path().filename(), "UP.WTX") << "left behind";
    }
    ASSERT_FALSE(site.errors.empty());
    EXPECT_FALSE(site.errors[0].reqSidePC);
    EXPECT_EQ(site.errors[0].description,
              "Error while Processing Ferix Request (Error while Transferring File from Ferix "
              "(Block could not be Transferred from Ferix))");
}

}  // namespace
