// FerixDNC run as a process: usage, the headless service stopped by a signal, the demo.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <vector>

#include "dnc/config/ConfigStore.h"
#include "sim/pty/PtyPair.h"
#include "tests/support/ChildProgram.h"

namespace fs = std::filesystem;

namespace {

// FerixDNC as a child process whose standard output (and error) the test reads.
class Program : public ChildProgram {
public:
    explicit Program(std::vector<std::string> arguments)
        : ChildProgram(FERIXDNC_PROGRAM, std::move(arguments)) {}
};

TEST(FerixDncProgram, WithoutAModeItPrintsTheUsageAndExitsTwo) {
    Program plain({});
    EXPECT_EQ(plain.exitCode(std::chrono::seconds(20)), 2);
    EXPECT_NE(plain.output().find("--headless [--config FILE] [--subnet N]..."), std::string::npos);
    Program wrong({"--subnet", "99"});
    EXPECT_EQ(wrong.exitCode(std::chrono::seconds(20)), 2);
    EXPECT_NE(wrong.output().find("--subnet needs a number from 1 to 16"), std::string::npos);
    Program help({"--help"});
    EXPECT_EQ(help.exitCode(std::chrono::seconds(20)), 0);
}

TEST(FerixDncProgram, HeadlessServiceStopsCleanlyOnSigterm) {
    const fs::path dir =
        fs::temp_directory_path() / ("ferixdnc-program-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    sim::PtyPair pty;
    {
        dnc::ConfigStore store(dir / "DNC.ini");
        ASSERT_TRUE(store.write("Ports", "1", pty.devicePath()));
        ASSERT_TRUE(store.write("Common", "3", "True"));
        ASSERT_TRUE(store.write("Config3", {{"Caption", "Hall B"}, {"Protocol", "4"}}));
    }
    Program service({"--headless", "--config", (dir / "DNC.ini").string()});
    ASSERT_TRUE(service.waitForOutput("[Hall B]: communication started", std::chrono::seconds(20)))
        << service.output();
    service.signal(SIGTERM);
    EXPECT_EQ(service.exitCode(std::chrono::seconds(20)), 0) << service.output();
    EXPECT_NE(service.output().find("[Hall B]: closed, configuration stored"), std::string::npos);
    const dnc::ConfigStore store(dir / "DNC.ini");
    EXPECT_EQ(store.section("Config3").size(), 57u);
    EXPECT_EQ(store.section("Config3").readString("Protocol", ""), "4");
    fs::remove_all(dir);
}

TEST(FerixDncProgram, TheDemoRunsEveryStep) {
    Program demo({"--demo"});
    EXPECT_EQ(demo.exitCode(std::chrono::seconds(100)), 0) << demo.output();
    EXPECT_NE(demo.output().find("Summary: 6 of 6 steps passed."), std::string::npos)
        << demo.output();
}

}  // namespace
