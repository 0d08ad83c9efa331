// A ProtDNC line end to end: the control on one end of a pseudo-terminal pair, simulated units
// on the other, in real time.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "tests/dnc/PtyUnitsFixture.h"

namespace {

namespace fs = std::filesystem;
using namespace sim::unit;
using Clock = std::chrono::steady_clock;

class PtyEndToEnd : public PtyUnitsFixture {
protected:
    PtyEndToEnd() : PtyUnitsFixture("ferix-dnc-pty-") { driver.start(); }

    // Runs the line until the units have reported `kind` (or 30 s have passed).
    void runUntil(UnitEvent::Kind kind) {
        done = [this, kind] {
            return driver.withUnits([&](UnitSimulator& u) { return !u.eventsOf(kind).empty(); });
        };
        deadline = Clock::now() + std::chrono::seconds(30);
        ASSERT_TRUE(control.setActive(true));
        if (Clock::now() >= deadline) {
            ADD_FAILURE() << "the units never reported " << kind << "\n" << history();
        }
        EXPECT_EQ(driver.failure(), 0);
    }
    void runUntilErrors(std::size_t count) {
        done = [this, count] { return site.errors.size() >= count; };
        deadline = Clock::now() + std::chrono::seconds(30);
        ASSERT_TRUE(control.setActive(true));
        EXPECT_LT(Clock::now(), deadline) << "fewer errors than " << count << "\n" << history();
    }

    UnitEvent last(UnitEvent::Kind kind) {
        return driver.withUnits([&](UnitSimulator& u) {
            const auto events = u.eventsOf(kind);
            return events.empty() ? UnitEvent{} : events.back();
        });
    }
    void raise(std::uint8_t address, const RequestSpec& request) {
        driver.withUnits([&](UnitSimulator& u) { u.unit(address)->raise(request); });
    }
    static RequestSpec rawRequest(std::initializer_list<int> head) {
        RequestSpec r;
        r.raw = std::string();
        for (int b : head) {
            *r.raw += static_cast<char>(b);
        }
        *r.raw += "////PRG1" + std::string(5, '\0');
        return r;
    }

    void pump() override {
        if (control.Active() && done && (done() || Clock::now() > deadline)) {
            (void)control.setActive(false);
        }
    }

    std::function<bool()> done;
    Clock::time_point deadline;
};

std::string program(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += static_cast<char>((i * 37 + 16) & 0xFF);  // DLE, FILL, XON and XOFF among them
    }
    return s;
}

TEST_F(PtyEndToEnd, ADownload) {
    put(1, "PRG1.WTX", program(300));
    raise(1, RequestSpec::download("PRG1", 1));
    runUntil(UnitEvent::ProgramReceived);
    const UnitEvent received = last(UnitEvent::ProgramReceived);
    EXPECT_EQ(received.data, program(300));
    EXPECT_EQ(received.status, 0);
    EXPECT_EQ(received.value, 300u);
    EXPECT_TRUE(site.errors.empty()) << history();
    EXPECT_EQ(site.memChanged.back(), 1);
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].way, comm::TransferWay::ToUnit);
    EXPECT_EQ(site.transfers[0].startedBy, comm::TransferStarter::Unit);
    EXPECT_EQ(site.transfers[0].bytes, program(300));
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Done);
}

TEST_F(PtyEndToEnd, AnUpload) {
    driver.withUnits([](UnitSimulator& u) {
        u.unit(2)->memory().store({"PRG2", 1, program(200)});
    });
    raise(2, RequestSpec::upload("PRG2", 1));
    runUntil(UnitEvent::ProgramSent);
    EXPECT_EQ(read(2, "PRG2.WTX"), program(200));
    EXPECT_EQ(last(UnitEvent::ProgramSent).status, 0);
    EXPECT_EQ(site.dirChanged, std::vector<std::uint8_t>{2});
    EXPECT_TRUE(site.errors.empty());
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].way, comm::TransferWay::FromUnit);
    EXPECT_EQ(site.transfers[0].unit, 2);
    EXPECT_EQ(site.transfers[0].bytes, read(2, "PRG2.WTX"));
    EXPECT_TRUE(site.transfers[0].stored);
}

TEST_F(PtyEndToEnd, AListing) {
    put(3, "A.WTX", "abc");
    put(3, "B.SMC", program(40));
    raise(3, RequestSpec::listing());
    runUntil(UnitEvent::ListingReceived);
    const auto listing = last(UnitEvent::ListingReceived).listing;
    ASSERT_EQ(listing.size(), 2u);
    EXPECT_EQ(listing[0].name, "A.WTX");
    EXPECT_EQ(listing[0].size, 3u);
    EXPECT_EQ(listing[1].name, "B.SMC");
    EXPECT_EQ(listing[1].size, 40u);
    EXPECT_TRUE(site.transfers.empty()) << "a listing is no program";
}

TEST_F(PtyEndToEnd, ARefusedKind) {
    raise(1, rawRequest({2, 0, 2}));
    runUntil(UnitEvent::NotServed);
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description,
              "Error while Processing Ferix Request (Files of This Type are not Supported)");
    EXPECT_FALSE(site.errors[0].reqSidePC);
}

TEST_F(PtyEndToEnd, ARefusedDirection) {
    raise(2, rawRequest({2, 3, 1}));
    runUntil(UnitEvent::NotServed);
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description,
              "Error while Processing Ferix Request (Incorrectly Stated Transfer Direction)");
}

TEST_F(PtyEndToEnd, AddressEleven) {
    driver.withUnits(
        [](UnitSimulator& u) { u.addUnit(11).raise(RequestSpec::download("PRG1", 1)); });
    put(1, "PRG1.WTX", "x");
    runUntilErrors(1);
    EXPECT_EQ(site.errors[0].description,
              "Error while Receiving Ferix Request (Block could not be Transferred from Ferix "
              "(Ferix is not Connected to DNC Network))");
    EXPECT_TRUE(last(UnitEvent::RequestSent).name.empty()) << "never asked for its request";
}

// A unit that answers a poll and keeps sending jams the line while it sends: the receive gives
// up within a few blocks' time and names the unit, switching off is not held up by it, and the
// line serves the other units once the noise has ended.
TEST_F(PtyEndToEnd, ABabblingUnitIsNamedAndDoesNotHoldTheLine) {
    const std::size_t sixSeconds = kSpeed / 11 * 6;
    driver.withUnits([&](UnitSimulator& u) {
        u.unit(2)->setBabbleLength(sixSeconds);
        u.unit(2)->injectFault(Fault::Babble);
    });
    const auto start = Clock::now();
    Clock::time_point named{};
    done = [&] {
        if (site.errors.empty()) {
            return false;
        }
        named = Clock::now();
        return true;
    };
    deadline = start + std::chrono::seconds(30);
    ASSERT_TRUE(control.setActive(true));
    const auto off = Clock::now();
    ASSERT_EQ(site.errors.size(), 1u) << history();
    EXPECT_EQ(site.errors[0].description,
              "Error while Receiving Ferix Request (Block could not be Transferred from Ferix "
              "(Unit 2 does not stop sending: its block was dropped to free the line))");
    EXPECT_LT(named - start, std::chrono::seconds(3)) << "named while the noise goes on";
    EXPECT_LT(off - named, std::chrono::seconds(2)) << "switching off is not held up";

    put(1, "PRG1.WTX", "G1 X1\n");
    raise(1, RequestSpec::download("PRG1", 1));
    runUntil(UnitEvent::ProgramReceived);
    EXPECT_EQ(last(UnitEvent::ProgramReceived).data, "G1 X1\n");
}

}  // namespace
