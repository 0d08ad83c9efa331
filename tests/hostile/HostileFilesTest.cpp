// Unit directories holding what is no program: the unit is answered at once, nothing outside
// the home is read or written, and the service goes on serving and stops when told.
#include <sys/stat.h>

#include <fstream>

#include "tests/hostile/HostileFixture.h"

namespace {

using namespace sim::unit;

TEST_F(HostileService, LinksFifosDevicesAndHugeProgramsNeverReachTheUnit) {
    fs::create_symlink("/etc/passwd", unitDir(1) / "PASSWD.STX");
    fs::create_symlink("/dev/zero", unitDir(1) / "ZERO.STX");
    ASSERT_EQ(::mkfifo((unitDir(1) / "FIFO.STX").c_str(), 0644), 0);
    { std::ofstream(unitDir(1) / "HUGE.STX"); }
    fs::resize_file(unitDir(1) / "HUGE.STX", std::uintmax_t{1} << 30);  // sparse, 1 GiB
    put(1, "GOOD.STX", "%\nO0001\nM30\n%\n");
    startService();

    std::size_t served = 0;
    for (const char* name : {"PASSWD", "ZERO", "FIFO", "HUGE"}) {
        raise(1, RequestSpec::download(name, 0));
        const UnitEvent got = waitForUnits(UnitEvent::ProgramReceived, ++served);
        EXPECT_NE(got.status, 0) << name;
        EXPECT_TRUE(got.data.empty()) << name << ": " << got.data.size() << " bytes";
    }
    raise(1, RequestSpec::download("GOOD", 0));
    EXPECT_EQ(waitForUnits(UnitEvent::ProgramReceived, ++served).data, "%\nO0001\nM30\n%\n");

    EXPECT_TRUE(waitForLine({"[Hostile]", "PASSWD.STX", "symbolic link"})) << service->output();
    EXPECT_TRUE(waitForLine({"[Hostile]", "FIFO.STX", "not a regular file"})) << service->output();
    EXPECT_TRUE(waitForLine({"[Hostile]", "HUGE.STX", "MaxProgramMegabytes"})) << service->output();
    EXPECT_EQ(stopService(), 0) << service->output();
}

TEST_F(HostileService, AUnitFolderLinkedOutOfTheHomeIsNeitherReadNorWritten) {
    const fs::path outside = dir / "outside";
    fs::create_directories(outside);
    std::ofstream(outside / "SECRET.STX") << "not for the unit";
    fs::remove_all(unitDir(2));
    fs::create_directory_symlink(outside, unitDir(2));
    driver->withUnits([](UnitSimulator& u) {
        u.unit(2)->memory().store({"PLANT", 1, "planted\n"});
    });
    startService();

    raise(2, RequestSpec::download("SECRET", 0));
    const UnitEvent read = waitForUnits(UnitEvent::ProgramReceived);
    EXPECT_NE(read.status, 0);
    EXPECT_TRUE(read.data.empty());
    raise(2, RequestSpec::upload("PLANT", 1));
    EXPECT_NE(waitForUnits(UnitEvent::ProgramSent).status, 0);
    EXPECT_FALSE(fs::exists(outside / "PLANT.WTX"));
    EXPECT_EQ(stopService(), 0) << service->output();
    EXPECT_FALSE(waitForLine({"program received into the unit directory"}, std::chrono::seconds(0)))
        << "nothing was stored: " << service->output();
}

TEST_F(HostileService, TheRemainsOfAKilledWriteGoAtTheNextStartAndAreTold) {
    put(1, ".PRG.WTX.a1B2c3", "a whole program that was never renamed");
    put(1, ".keep", "a person's hidden file");
    startService();
    EXPECT_TRUE(waitForLine({"[Hostile]", "interrupted write", ".PRG.WTX.a1B2c3"}))
        << service->output();
    EXPECT_EQ(hiddenFiles(1), std::vector<std::string>{".keep"});
    EXPECT_EQ(stopService(), 0) << service->output();
}

}  // namespace
