// A settings file the service cannot read: it does not start, and the file is never written.
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "tests/hostile/HostileFixture.h"

namespace {

constexpr const char* kTyped =
    "; the line's settings, kept by hand\n[Common]\n1=True\n2=True\n[Ports]\n1=/dev/ttyUSB0\n"
    "[Config1]\nCaption=Hall A\nCommSpeed=9600\n; more to come\n";

std::vector<std::string> folder(const fs::path& dir) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(dir)) {
        names.push_back(entry.path().filename().string());
    }
    std::sort(names.begin(), names.end());
    return names;
}

TEST_F(HostileService, AnUnreadableSettingsFileStopsTheStartAndIsNeverWritten) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "runs the service as another user (nobody, with setpriv), which needs "
                        "root";
    }
    // The folder is the service's to write; the file is root's alone.
    const fs::path shared = dir / "shared";
    fs::create_directories(shared);
    fs::permissions(dir, fs::perms::all);
    fs::permissions(shared, fs::perms::all);
    const fs::path file = shared / "DNC.ini";
    std::ofstream(file) << kTyped;
    fs::permissions(file, fs::perms::owner_read | fs::perms::owner_write);

    for (const std::vector<std::string>& more :
         {std::vector<std::string>{}, std::vector<std::string>{"--subnet", "1"}}) {
        std::vector<std::string> arguments{"--reuid=65534",    "--regid=65534",
                                           "--clear-groups",   "--",
                                           programUnderTest(), "--headless",
                                           "--config",         file.string(),
                                           "--history",        (shared / "history.db").string()};
        arguments.insert(arguments.end(), more.begin(), more.end());
        ChildProgram service("/usr/bin/setpriv", arguments);
        EXPECT_EQ(service.exitCode(std::chrono::seconds(20)), 1) << service.output();
        EXPECT_NE(service.output().find(file.string() + ": cannot be read: Permission denied"),
                  std::string::npos)
            << service.output();
        EXPECT_NE(service.output().find("the service does not start"), std::string::npos);
        EXPECT_EQ(service.output().find("communication"), std::string::npos) << service.output();
        EXPECT_EQ(read(file), kTyped);
        EXPECT_EQ(folder(shared), std::vector<std::string>{"DNC.ini"}) << "no backup, no lock";
    }
}

TEST_F(HostileService, SettingsThatAreAFifoOrNoTextStopTheStart) {
    fs::remove(settings);
    ASSERT_EQ(::mkfifo(settings.c_str(), 0600), 0);
    ChildProgram fifo(programUnderTest(), {"--headless", "--config", settings.string(), "--history",
                                           (dir / "history.db").string()});
    EXPECT_EQ(fifo.exitCode(std::chrono::seconds(20)), 1) << fifo.output();
    EXPECT_NE(fifo.output().find("not a regular file"), std::string::npos) << fifo.output();
    EXPECT_TRUE(fs::is_fifo(settings));
    fs::remove(settings);

    const std::string utf16("\xFF\xFE[\0C\0o\0m\0m\0o\0n\0]\0\n\0", 18);
    std::ofstream(settings, std::ios::binary) << utf16;
    ChildProgram wide(programUnderTest(), {"--headless", "--config", settings.string(), "--history",
                                           (dir / "history.db").string()});
    EXPECT_EQ(wide.exitCode(std::chrono::seconds(20)), 1) << wide.output();
    EXPECT_NE(wide.output().find("is not a text file"), std::string::npos) << wide.output();
    EXPECT_EQ(read(settings), utf16);
}

}  // namespace
