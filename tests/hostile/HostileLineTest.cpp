// What a line can do to the service: a unit that talks without end, a port that the settings
// do not name. Another sub net serves its units meanwhile.
#include "tests/hostile/HostileFixture.h"

namespace {

using namespace sim::unit;

TEST_F(HostileService, ABabblingUnitIsLoggedAndTheOtherSubNetIsServed) {
    sim::PtyPair babbling;
    writeSettings(
        // Every address counts as a unit: on a loaded machine the unit's answer may come in
        // after the poll of the next address, and is then that address's babble.
        "[Config2]\nCaption=Babbler\nCommPort=2\nCommSpeed=9600\nConnected1=True\n"
        "Connected2=True\nConnected3=True\nConnected4=True\nConnected5=True\n"
        "Connected6=True\nConnected7=True\nConnected8=True\nConnected9=True\n"
        "Connected10=True\n"
        "FerixHomeDir=" +
            home.string() + "/\n",
        "2=" + babbling.devicePath() + "\n", "2=True\n");
    put(1, "GOOD.STX", "%\nO0002\nM30\n%\n");
    // A unit whose line driver broke: it answers every poll and then sends zeros on and on.
    UnitSimulator babblers;
    babblers.addUnit(1);
    babblers.unit(1)->injectFault(Fault::Babble, kUntilCleared);
    FdUnitLine babbler(babblers, babbling.masterFd(), characterTime(9600, 11));
    babbler.start();
    startService();
    raise(1, RequestSpec::download("GOOD", 0));
    EXPECT_EQ(waitForUnits(UnitEvent::ProgramReceived).data, "%\nO0002\nM30\n%\n");
    EXPECT_TRUE(waitForLine({"[Babbler]", "does not stop sending"})) << service->output();
    babbler.stop();
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
