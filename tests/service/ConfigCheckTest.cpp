// The check of a settings file as the service would read it: sub nets that share a port.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "dnc/service/ConfigCheck.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/pty/PtyPair.h"

namespace fs = std::filesystem;

namespace {

class ConfigCheck : public ::testing::Test {
protected:
    void SetUp() override {
        loc::selectLanguage(loc::kEnglish);
        file = fs::temp_directory_path() /
               ("ferix-check-" + std::to_string(::getpid()) + "-" +
                ::testing::UnitTest::GetInstance()->current_test_info()->name() + ".ini");
    }
    void TearDown() override { fs::remove(file); }

    int check(const std::string& text) {
        std::ofstream(file, std::ios::trunc) << text;
        out.str("");
        return dnc::checkConfiguration(file, {}, out);
    }

    fs::path file;
    std::ostringstream out;
};

TEST_F(ConfigCheck, TwoStartedSubNetsOnOnePortAreAProblem) {
    const sim::PtyPair one;
    const sim::PtyPair two;
    const std::string ports = "[Ports]\n1=" + one.devicePath() + "\n2=" + two.devicePath() +
                              "\n3=" + one.devicePath() + "\n";
    EXPECT_EQ(check(ports + "[Common]\n1=True\n2=True\n[Config2]\nCommPort=2\n"), 0) << out.str();
    EXPECT_EQ(out.str().find("also the port"), std::string::npos);

    EXPECT_EQ(check(ports + "[Common]\n1=True\n4=True\n"), 1) << out.str();
    EXPECT_NE(out.str().find("sub net 4: port 1 (" + one.devicePath() +
                             ") is also the port of sub net 1: only one of them can open it"),
              std::string::npos)
        << out.str();
    EXPECT_NE(out.str().find(": 1 problem\n"), std::string::npos) << out.str();

    // Two port numbers that name one device are one port too.
    EXPECT_EQ(check(ports + "[Common]\n1=True\n5=True\n[Config5]\nCommPort=3\n"), 1) << out.str();
    EXPECT_NE(out.str().find("sub net 5: port 3 (" + one.devicePath() +
                             ") is also the port of sub net 1"),
              std::string::npos)
        << out.str();
}

TEST_F(ConfigCheck, ASharedHistoryWithoutASiteNameGetsANoteNotAProblem) {
    const std::string shared = "[Common]\nHistoryDatabase=postgresql://db.example/dnc\n";
    EXPECT_EQ(check(shared), 0) << out.str();
    EXPECT_NE(out.str().find("PlantSite is not set"), std::string::npos) << out.str();
    EXPECT_EQ(check(shared + "PlantSite=Hall A\n"), 0) << out.str();
    EXPECT_EQ(out.str().find("PlantSite"), std::string::npos) << out.str();
    EXPECT_EQ(check("[Common]\n"), 0) << out.str();
    EXPECT_EQ(out.str().find("PlantSite"), std::string::npos) << out.str();
}

}  // namespace
