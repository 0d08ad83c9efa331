// FerixDNC run as a process: usage, the headless service stopped by a signal, the demo.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <map>
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

// Every file of a folder with its bytes.
std::map<std::string, std::string> folderContents(const fs::path& dir) {
    std::map<std::string, std::string> files;
    for (const auto& entry : fs::directory_iterator(dir)) {
        std::ifstream in(entry.path(), std::ios::binary);
        files[entry.path().filename().string()] =
            std::string(std::istreambuf_iterator<char>(in), {});
    }
    return files;
}

TEST(FerixDncProgram, AnUnknownArgumentPrintsTheUsageAndExitsTwo) {
    Program plain({"--verbose"});
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
        ASSERT_TRUE(store.write("Config3",
                                {{"Caption", "Hall B"}, {"Protocol", "4"}, {"CommSpeed", "96OO"}}));
    }
    const std::string typed = folderContents(dir).at("DNC.ini");
    Program service({"--headless", "--config", (dir / "DNC.ini").string()});
    ASSERT_TRUE(service.waitForOutput("[Hall B]: communication started", std::chrono::seconds(20)))
        << service.output();
    service.signal(SIGTERM);
    EXPECT_EQ(service.exitCode(std::chrono::seconds(20)), 0) << service.output();
    EXPECT_NE(service.output().find("[Hall B]: closed, configuration stored"), std::string::npos);
    EXPECT_NE(service.output().find("[Hall B]: settings: " + (dir / "DNC.ini").string() +
                                    ":12: Config3/CommSpeed: \"96OO\""),
              std::string::npos)
        << service.output();
    EXPECT_NE(
        service.output().find("the file as it was is kept in " + (dir / "DNC.ini.bak").string()),
        std::string::npos)
        << service.output();
    EXPECT_EQ(folderContents(dir).at("DNC.ini.bak"), typed);
    const dnc::ConfigStore store(dir / "DNC.ini");
    EXPECT_EQ(store.section("Config3").size(), 58u);
    EXPECT_EQ(store.section("Config3").readString("Protocol", ""), "4");
    fs::remove_all(dir);
}

TEST(FerixDncProgram, TheCheckModeReportsEveryProblemAndChangesNothing) {
    const fs::path dir =
        fs::temp_directory_path() / ("ferixdnc-check-" + std::to_string(::getpid()));
    fs::remove_all(dir);
    fs::create_directories(dir);
    sim::PtyPair pty;
    const fs::path file = dir / "DNC.ini";
    std::ofstream(file) << "[Common]\n2=True\n3=True\n[Ports]\n1=" << pty.devicePath()
                        << "\n2=" << (dir / "ttyUSB9").string()
                        << "\n[Config2]\nCaption=Hall A\nCommSpeed=96OO\n[Config1\n"
                           "[Config3]\nCommPort=2\n";
    const auto before = folderContents(dir);

    Program check({"--check-config", "--config", file.string()});
    EXPECT_EQ(check.exitCode(std::chrono::seconds(20)), 1) << check.output();
    const std::string f = file.string();
    EXPECT_EQ(check.output(),
              f +
                  ":9: Config2/CommSpeed: \"96OO\" is not a line speed of a serial port (a "
                  "standard rate from 50 to 921600 baud, such as 9600); 4800 is used instead\n" +
                  f +
                  ":10: Config2: \"[Config1\" cannot be read: a section header without its "
                  "closing \"]\"; the line is skipped\n"
                  "sub net 2 \"Hall A\": port 1, " +
                  pty.devicePath() +
                  ": exists, can be opened\n"
                  "sub net 3 \"Sub Net 3\": port 2, " +
                  (dir / "ttyUSB9").string() + ": does not exist\n" + f + ": 2 problems\n");
    EXPECT_EQ(folderContents(dir), before) << "nothing written, no lock, no backup";

    // Corrected, the same file passes; a missing device does not count.
    std::ofstream(file) << "[Common]\n3=True\n[Ports]\n2=" << (dir / "ttyUSB9").string()
                        << "\n[Config3]\nCommPort=2\nCommSpeed=9600\n";
    Program clean({"--check-config", "--config", file.string()});
    EXPECT_EQ(clean.exitCode(std::chrono::seconds(20)), 0) << clean.output();
    EXPECT_NE(clean.output().find(f + ": no problems\n"), std::string::npos) << clean.output();

    Program missing({"--check-config", "--config", (dir / "none.ini").string()});
    EXPECT_EQ(missing.exitCode(std::chrono::seconds(20)), 1);
    EXPECT_EQ(missing.output(),
              (dir / "none.ini").string() + ": cannot be read: No such file or directory\n");
    fs::remove_all(dir);
}

TEST(FerixDncProgram, TheDemoRunsEveryStep) {
    Program demo({"--demo"});
    EXPECT_EQ(demo.exitCode(std::chrono::seconds(100)), 0) << demo.output();
    EXPECT_NE(demo.output().find("Summary: 6 of 6 steps passed."), std::string::npos)
        << demo.output();
}

}  // namespace
