// The service killed (kill -9) at random moments of uploads and downloads: every program on
// the disk is one whole version, a unit gets whole programs or a failure, the settings stay
// whole, and the remains of a killed write are gone after the next start.
#include <random>
#include <set>

#include "tests/hostile/HostileFixture.h"

namespace {

using namespace sim::unit;

std::string version(int round) {
    std::string text = "%\nO" + std::to_string(1000 + round) + "\n";
    while (text.size() < 1200) {
        text += "N" + std::to_string(text.size()) + " G01 X" + std::to_string(round) + "\n";
    }
    return text + "M30\n%\n";
}

TEST_F(HostileService, KilledAtRandomMomentsOfTransfersLosesNothing) {
    const unsigned seed = std::random_device{}();
    SCOPED_TRACE("seed " + std::to_string(seed));
    std::mt19937 random(seed);
    // 1200 bytes take about 1.3 s at 9600 baud: the kill falls anywhere in that and around it.
    std::uniform_int_distribution<int> moment(0, 1800);
    const std::string typedSettings = read(settings);
    std::set<std::string> versions;
    put(1, "DOWN.STX", version(0));

    for (int round = 1; round <= 20; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        startUnits();
        startService();
        EXPECT_TRUE(hiddenFiles(1).empty()) << "the remains of the last kill were removed";
        const bool upload = round % 2 == 1;
        if (upload) {
            versions.insert(version(round));
            driver->withUnits([&](UnitSimulator& u) {
                u.unit(1)->memory().store({"UP", 1, version(round)});
            });
            raise(1, RequestSpec::upload("UP", 1));
        } else {
            raise(1, RequestSpec::download("DOWN", 0));
        }
        const auto until =
            std::chrono::steady_clock::now() + std::chrono::milliseconds(moment(random));
        while (std::chrono::steady_clock::now() < until) {
            service->waitForOutput("\n\x01", std::chrono::seconds(0));
            service->drain();
        }
        service->signal(SIGKILL);
        EXPECT_EQ(service->exitCode(std::chrono::seconds(10)), 128 + SIGKILL);

        if (fs::exists(unitDir(1) / "UP.WTX")) {
            EXPECT_EQ(versions.count(read(unitDir(1) / "UP.WTX")), 1u) << "a whole version";
        }
        EXPECT_EQ(read(unitDir(1) / "DOWN.STX"), version(0));
        for (const UnitEvent& got : driver->withUnits(
                 [](UnitSimulator& u) { return u.eventsOf(UnitEvent::ProgramReceived); })) {
            if (got.status == 0) {
                EXPECT_EQ(got.data, version(0)) << "a unit gets the whole program or a failure";
            }
        }
        EXPECT_EQ(read(settings), typedSettings);
    }
    startUnits();
    startService();
    EXPECT_TRUE(hiddenFiles(1).empty());
    EXPECT_EQ(stopService(), 0) << service->output();
}

}  // namespace
