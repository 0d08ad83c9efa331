// What a line can do to the service: a unit that talks without end, a port that the settings
// do not name. Another sub net serves its units meanwhile.
#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "tests/hostile/HostileFixture.h"

namespace {

using namespace sim::unit;

TEST_F(HostileService, ABabblingUnitIsLoggedAndTheOtherSubNetIsServed) {
    sim::PtyPair babbling;
    writeSettings(
        "[Config2]\nCaption=Babbler\nCommPort=2\nCommSpeed=9600\nConnected1=True\n"
        "FerixHomeDir=" +
            home.string() + "/\n",
        "2=" + babbling.devicePath() + "\n", "2=True\n");
    put(1, "GOOD.STX", "%\nO0002\nM30\n%\n");
    ::fcntl(babbling.masterFd(), F_SETFL, ::fcntl(babbling.masterFd(), F_GETFL) | O_NONBLOCK);
    std::atomic<bool> quiet{false};
    std::thread babbler([&] {
        const std::string text = "N10 G01 X100. Y20. F500\r\n";
        while (!quiet) {
            (void)::write(babbling.masterFd(), text.data(), text.size());
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });
    startService();
    raise(1, RequestSpec::download("GOOD", 0));
    EXPECT_EQ(waitForUnits(UnitEvent::ProgramReceived).data, "%\nO0002\nM30\n%\n");
    // Needs the line's guard against babbling units: the sub net names the unit it hears.
    EXPECT_TRUE(waitForLine({"[Babbler]", "babbl"})) << service->output();
    quiet = true;
    babbler.join();
    EXPECT_EQ(stopService(), 0) << service->output();
}

TEST_F(HostileService, APortWithoutAPortsLineNamesTheDeviceItOpens) {
    writeSettings("[Config3]\nCaption=NoPort\nCommPort=200\n", {}, "3=True\n");
    startService();
    // Needs the line's report of the default device: port 200 without a line in "Ports".
    EXPECT_TRUE(waitForLine({"[NoPort]", "/dev/ttyS199"})) << service->output();
    EXPECT_EQ(stopService(), 0) << service->output();
}

}  // namespace
