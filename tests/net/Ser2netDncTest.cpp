// A DNC line through a network device server: ser2net on the loopback address in front of a
// pseudo-terminal, the simulated units on its other end, the control on rfc2217:// or tcp://.
// Downloads, uploads and a listing; a connection that drops in the middle of an upload.
#include <gtest/gtest.h>

#include <chrono>
#include <memory>

#include "sim/net/Ser2net.h"
#include "tests/dnc/PtyUnitsFixture.h"

namespace {

using namespace sim::unit;
using Clock = std::chrono::steady_clock;

std::string program(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += static_cast<char>((i * 37 + 255) & 0xFF);  // 0xFF (IAC), DLE, XON, XOFF among them
    }
    return s;
}

class Ser2netDnc : public PtyUnitsFixture,
                   public ::testing::WithParamInterface<sim::Ser2net::Kind> {
protected:
    Ser2netDnc() : PtyUnitsFixture("ferix-dnc-net-") {
        if (sim::Ser2net::program().empty()) {
            return;
        }
        server = std::make_unique<sim::Ser2net>(GetParam(), pty.devicePath(), kSpeed);
        control.setPortDevices([this](int) { return server->address(); });
        driver.start();
    }

    void SetUp() override {
        if (!server) {
            GTEST_SKIP() << "ser2net is not installed (Debian package ser2net)";
        }
        const std::string why = server->start();
        ASSERT_TRUE(why.empty()) << why;
    }

    void runUntil(const std::function<bool()>& condition) {
        done = condition;
        deadline = Clock::now() + std::chrono::seconds(30);
        (void)control.setActive(true);
        EXPECT_LT(Clock::now(), deadline) << history();
    }
    bool reported(UnitEvent::Kind kind) {
        return driver.withUnits([&](UnitSimulator& u) { return !u.eventsOf(kind).empty(); });
    }
    UnitEvent last(UnitEvent::Kind kind) {
        return driver.withUnits([&](UnitSimulator& u) {
            const auto events = u.eventsOf(kind);
            return events.empty() ? UnitEvent{} : events.back();
        });
    }
    // Raises the request and serves the line until the unit reports `kind`. On a loaded
    // machine the server's process may miss an answer window of the block protocol; the unit
    // then asks again, as its operator would, up to three times.
    bool transfer(std::uint8_t address, const RequestSpec& request, UnitEvent::Kind kind) {
        for (int attempt = 0; attempt < 3; ++attempt) {
            const std::size_t errorsBefore = site.errors.size();
            raise(address, request);
            runUntil([&] { return reported(kind) || site.errors.size() > errorsBefore; });
            if (reported(kind)) {
                return true;
            }
        }
        return false;
    }
    void raise(std::uint8_t address, const RequestSpec& request) {
        driver.withUnits([&](UnitSimulator& u) { u.unit(address)->raise(request); });
    }

    void pump() override {
        if (onPump) {
            onPump();
        }
        if (control.Active() && done && (done() || Clock::now() > deadline)) {
            (void)control.setActive(false);
        }
    }

    std::unique_ptr<sim::Ser2net> server;
    std::function<bool()> done;
    std::function<void()> onPump;
    Clock::time_point deadline;
};

TEST_P(Ser2netDnc, ADownloadAnUploadAndAListing) {
    put(1, "PRG1.WTX", program(700));
    ASSERT_TRUE(transfer(1, RequestSpec::download("PRG1", 1), UnitEvent::ProgramReceived))
        << history();
    EXPECT_EQ(last(UnitEvent::ProgramReceived).data, program(700));
    EXPECT_EQ(last(UnitEvent::ProgramReceived).status, 0);

    driver.withUnits([](UnitSimulator& u) {
        u.unit(2)->memory().store({"PRG2", 1, program(500)});
    });
    ASSERT_TRUE(transfer(2, RequestSpec::upload("PRG2", 1), UnitEvent::ProgramSent)) << history();
    EXPECT_EQ(read(2, "PRG2.WTX"), program(500));

    put(3, "A.WTX", "abc");
    ASSERT_TRUE(transfer(3, RequestSpec::listing(), UnitEvent::ListingReceived)) << history();
    ASSERT_EQ(last(UnitEvent::ListingReceived).listing.size(), 1u);
    EXPECT_EQ(last(UnitEvent::ListingReceived).listing[0].name, "A.WTX");
}

TEST_P(Ser2netDnc, AConnectionDroppedInAnUploadKeepsTheOldFileAndTheNextUploadGoesThrough) {
    put(2, "PRG2.WTX", "OLD PROGRAM");
    driver.withUnits([](UnitSimulator& u) {
        u.unit(2)->memory().store({"PRG2", 1, program(1500)});
    });
    raise(2, RequestSpec::upload("PRG2", 1));
    // The server goes away once the upload has run for a while.
    Clock::time_point busySince{};
    onPump = [&] {
        if (!control.TransferBusy() || !server) {
            return;
        }
        if (busySince == Clock::time_point{}) {
            busySince = Clock::now();
        } else if (Clock::now() - busySince > std::chrono::milliseconds(600)) {
            server->stop();
            onPump = nullptr;
        }
    };
    runUntil([&] { return !site.errors.empty() && !control.TransferBusy(); });
    ASSERT_FALSE(site.errors.empty()) << "the failure is reported";
    EXPECT_EQ(read(2, "PRG2.WTX"), "OLD PROGRAM") << history();
    EXPECT_FALSE(reported(UnitEvent::ProgramSent));

    // The server is back: the line opens again and the next upload goes through.
    ASSERT_TRUE(server->start().empty());
    site.errors.clear();
    driver.withUnits([](UnitSimulator& u) {
        u.unit(2)->memory().store({"PRG2", 1, program(400)});
    });
    ASSERT_TRUE(transfer(2, RequestSpec::upload("PRG2", 1), UnitEvent::ProgramSent)) << history();
    EXPECT_EQ(read(2, "PRG2.WTX"), program(400)) << history();
}

INSTANTIATE_TEST_SUITE_P(DeviceServer, Ser2netDnc,
                         ::testing::Values(sim::Ser2net::Kind::Rfc2217, sim::Ser2net::Kind::RawTcp),
                         [](const auto& info) {
                             return info.param == sim::Ser2net::Kind::Rfc2217 ? "Rfc2217"
                                                                              : "RawTcp";
                         });

}  // namespace
