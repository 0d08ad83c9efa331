// A ProtDNC line end to end: the control on one end of a pseudo-terminal pair, simulated units
// on the other, in real time. The line runs at 4800 baud: a unit must answer a poll within the
// poll's trailer, and at this speed that leaves the simulator's thread 30 ms even on a busy
// machine.
#include <gtest/gtest.h>
#include <unistd.h>

#include <chrono>
#include <filesystem>
#include <fstream>

#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"

namespace {

namespace fs = std::filesystem;
using namespace sim::unit;
using Clock = std::chrono::steady_clock;

constexpr std::int32_t kSpeed = 4800;

class PtyEndToEnd : public ::testing::Test {
protected:
    PtyEndToEnd()
        : host([this] { pump(); }),
          control(host, site),
          driver(units, pty.masterFd(), characterTime(kSpeed, 11)) {
        loc::selectLanguage(loc::kEnglish);
        home = fs::temp_directory_path() /
               ("ferix-dnc-pty-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(home);
        for (int unit = 1; unit <= 3; ++unit) {
            fs::create_directories(home / ("Ferix" + std::to_string(unit)));
            EXPECT_TRUE(control.setConnected(unit, true));
            units.addUnit(static_cast<std::uint8_t>(unit));
        }
        control.setFerixHomeDir(home.string() + "/");
        control.setPortDevices([this](int) { return pty.devicePath(); });
        EXPECT_TRUE(control.setCommSpeed(std::to_string(kSpeed)));
        EXPECT_TRUE(control.setProtocol(comm::ProtDNC));
        driver.preferPromptAnswers(true);
        driver.start();
    }
    ~PtyEndToEnd() override {
        driver.stop();
        fs::remove_all(home);
    }

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
    // What the control and the units reported, for the diagnosis of a failure.
    std::string history() {
        std::string text;
        for (const auto& e : site.errors) {
            text += "control: " + e.description + "\n";
        }
        driver.withUnits([&](UnitSimulator& u) {
            for (const UnitEvent& e : u.events()) {
                text += e.describe() + "\n";
            }
        });
        return text;
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
    std::string read(int unit, const std::string& name) {
        std::ifstream in(home / ("Ferix" + std::to_string(unit)) / name, std::ios::binary);
        return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    }
    void put(int unit, const std::string& name, const std::string& data) {
        std::ofstream(home / ("Ferix" + std::to_string(unit)) / name, std::ios::binary) << data;
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

    void pump() {
        if (control.Active() && done && (done() || Clock::now() > deadline)) {
            (void)control.setActive(false);
        }
    }

    sim::PtyPair pty;
    comm::RealHost host;
    sim::RecordingSite site;
    comm::ctrlFerixComm control;
    UnitSimulator units;
    FdUnitLine driver;
    fs::path home;
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

}  // namespace
