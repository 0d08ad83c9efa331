// What a request must look like before it may reach the line.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "dnc/automation/RequestArguments.h"

namespace a = dnc::automation;

TEST(RequestArguments, UnitsAreOneToTen) {
    EXPECT_FALSE(a::unitProblem(1));
    EXPECT_FALSE(a::unitProblem(10));
    EXPECT_EQ(a::unitProblem(0).value_or(""), "unit 0 is outside 1 to 10");
    EXPECT_TRUE(a::unitProblem(11));
    EXPECT_TRUE(a::unitProblem(255));
}

TEST(RequestArguments, OnlyPlainFileNamesPass) {
    for (const char* good : {"PROG1.WTX", "a", "x y.txt", "..PROG", "PROG..", "Prog-1_2.nc"}) {
        EXPECT_FALSE(a::fileNameProblem(good)) << good;
    }
    for (const std::string& bad : std::vector<std::string>{
             "", ".", "..", "../PROG1.WTX", "Ferix1/PROG1.WTX", "/etc/passwd", "C:\\DNC\\PROG1",
             "PR\nOG", std::string("PR\0OG", 5), std::string("PR\x7fOG"), std::string(256, 'A')}) {
        EXPECT_TRUE(a::fileNameProblem(bad)) << bad;
    }
    EXPECT_FALSE(a::fileNameProblem(std::string(255, 'A')));
}

TEST(RequestArguments, ADncUnitGetsANameOfEightADotAndAnExtension) {
    for (const char* good : {"PROG1.WTX", "ABCDEFGH.STX", "P.x", "PROG1.WTX.bak"}) {
        EXPECT_FALSE(a::dncSendNameProblem(good)) << good;
    }
    for (const char* bad : {"PROG1", ".WTX", "PROG1.", "ABCDEFGHI.WTX"}) {
        EXPECT_TRUE(a::dncSendNameProblem(bad)) << bad;
    }
}

TEST(RequestArguments, AReceiveTakesTheNameASendTakes) {
    EXPECT_EQ(a::dncReceiveName("TOOLS.WTX", "WTX"), "TOOLS");
    EXPECT_EQ(a::dncReceiveName("tools.wtx", "WTX"), "tools");
    EXPECT_EQ(a::dncReceiveName("TOOLS", "WTX"), "TOOLS") << "the bare name as before";
    // Another extension is the unit's name as typed: the control refuses it as too long.
    EXPECT_EQ(a::dncReceiveName("TOOLS.SMC", "WTX"), "TOOLS.SMC");
    EXPECT_EQ(a::dncReceiveName(".WTX", "WTX"), ".WTX");
}

TEST(RequestArguments, UnitCommandsByNameWithTheirArguments) {
    EXPECT_EQ(a::unitCommandNames(),
              "select, reader, puncher, read, section1, section2, section3, section4, join, "
              "reset, purge");
    EXPECT_EQ(a::findUnitCommand("format"), nullptr);
    EXPECT_EQ(a::findUnitCommand("RESET"), nullptr);
    const a::UnitCommand* select = a::findUnitCommand("select");
    ASSERT_NE(select, nullptr);
    EXPECT_TRUE(select->takesFile);
    EXPECT_FALSE(a::commandArgumentProblem(*select, "PROG1"));
    EXPECT_EQ(a::commandArgumentProblem(*select, "").value_or(""),
              "select: the file name is empty");
    EXPECT_TRUE(a::commandArgumentProblem(*select, "../PROG1"));
    const a::UnitCommand* purge = a::findUnitCommand("purge");
    ASSERT_NE(purge, nullptr);
    EXPECT_FALSE(purge->takesFile);
    EXPECT_FALSE(a::commandArgumentProblem(*purge, ""));
    EXPECT_EQ(a::commandArgumentProblem(*purge, "x").value_or(""), "purge takes no argument");
}
