#include <gtest/gtest.h>

#include "dnc/app/CommandLine.h"

namespace {

using Mode = dnc::CommandLine::Mode;

dnc::CommandLine parse(std::vector<std::string> args) {
    return dnc::parseCommandLine(args);
}

TEST(CommandLine, HeadlessWithConfigAndSubNets) {
    const auto line =
        parse({"--headless", "--config", "/tmp/x.ini", "--subnet", "3", "--subnet=16"});
    EXPECT_EQ(line.mode, Mode::Headless);
    EXPECT_EQ(line.config, "/tmp/x.ini");
    EXPECT_EQ(line.subNets, (std::vector<int>{3, 16}));
    EXPECT_TRUE(line.error.empty());
    EXPECT_EQ(parse({"--config=/a b.ini", "--headless"}).config, "/a b.ini");
}

TEST(CommandLine, NothingOrNonsenseGivesTheUsage) {
    EXPECT_EQ(parse({}).mode, Mode::Usage);
    EXPECT_TRUE(parse({}).error.empty());
    for (const auto& bad : std::vector<std::vector<std::string>>{{"--headless", "--subnet", "0"},
                                                                 {"--headless", "--subnet", "17"},
                                                                 {"--headless", "--subnet", "x"},
                                                                 {"--headless", "--subnet"},
                                                                 {"--headless", "--config"},
                                                                 {"--headless", "--config="},
                                                                 {"--demo-window", "vax"},
                                                                 {"--headless", "--demo"},
                                                                 {"--verbose"}}) {
        const auto line = parse(bad);
        EXPECT_EQ(line.mode, Mode::Usage) << bad.back();
        EXPECT_FALSE(line.error.empty()) << bad.back();
    }
}

TEST(CommandLine, SubNetsWithoutHeadlessOpenTheirWindows) {
    const auto line = parse({"--subnet", "2", "--config", "/tmp/y.ini", "--subnet", "5"});
    EXPECT_EQ(line.mode, Mode::Windows);
    EXPECT_EQ(line.subNets, (std::vector<int>{2, 5}));
    EXPECT_EQ(parse({"--demo-window"}).mode, Mode::DemoWindow);
    EXPECT_EQ(parse({"--demo-window"}).demoProtocol, "dnc");
    EXPECT_EQ(parse({"--demo-window", "tavro1"}).demoProtocol, "tavro1");
    EXPECT_EQ(parse({"--demo-window", "--subnet", "1"}).mode, Mode::Usage);
}

TEST(CommandLine, HelpDemoAndTheTaskbarWord) {
    EXPECT_EQ(parse({"--headless", "--help"}).mode, Mode::Help);
    EXPECT_EQ(parse({"--demo"}).mode, Mode::Demo);
    EXPECT_TRUE(parse({"/ShowInTaskbar", "--demo"}).showInTaskbar);
    EXPECT_NE(dnc::usageText("FerixDNC").find("--headless [--config FILE] [--subnet N]..."),
              std::string::npos);
}

}  // namespace
