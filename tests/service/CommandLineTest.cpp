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
    EXPECT_EQ(parse({"--headless", "--history", "/var/lib/ferixdnc/history.db"}).history,
              "/var/lib/ferixdnc/history.db");
    EXPECT_EQ(parse({"--history=h.db", "--headless"}).history, "h.db");
    EXPECT_EQ(
        parse({"--headless", "--default-history", "/var/lib/ferixdnc/history.db"}).defaultHistory,
        "/var/lib/ferixdnc/history.db");
    EXPECT_FALSE(line.systemBus);
    EXPECT_TRUE(parse({"--system-bus", "--headless"}).systemBus);
}

TEST(CommandLine, NothingOpensTheManagerAndNonsenseGivesTheUsage) {
    EXPECT_EQ(parse({}).mode, Mode::Windows);
    EXPECT_TRUE(parse({}).subNets.empty());
    EXPECT_EQ(parse({"--config", "/tmp/x.ini"}).mode, Mode::Windows);
    const auto tray = parse({"-ShowInTaskbar"});
    EXPECT_EQ(tray.mode, Mode::Windows);
    EXPECT_TRUE(tray.showInTaskbar);
    for (const auto& bad :
         std::vector<std::vector<std::string>>{{"--headless", "--subnet", "0"},
                                               {"--headless", "--subnet", "17"},
                                               {"--headless", "--subnet", "x"},
                                               {"--headless", "--subnet"},
                                               {"--headless", "--config"},
                                               {"--headless", "--config="},
                                               {"--headless", "--history"},
                                               {"--headless", "--history="},
                                               {"--headless", "--default-history"},
                                               {"--demo-window", "vax"},
                                               {"--headless", "--demo"},
                                               {"--system-bus"},
                                               {"--demo", "--system-bus"},
                                               {"--verbose"}}) {
        const auto line = parse(bad);
        EXPECT_EQ(line.mode, Mode::Usage) << bad.back();
        EXPECT_FALSE(line.error.empty()) << bad.back();
    }
}

TEST(CommandLine, TheCheckModeTakesTheFileAndSubNets) {
    const auto line = parse({"--check-config", "--config", "/etc/dnc.ini", "--subnet", "4"});
    EXPECT_EQ(line.mode, Mode::CheckConfig);
    EXPECT_EQ(line.config, "/etc/dnc.ini");
    EXPECT_EQ(line.subNets, (std::vector<int>{4}));
    EXPECT_EQ(parse({"--check-config"}).mode, Mode::CheckConfig);
    EXPECT_EQ(parse({"--check-config", "--headless"}).mode, Mode::Usage);
    EXPECT_EQ(parse({"--demo", "--check-config"}).mode, Mode::Usage);
    EXPECT_NE(dnc::usageText("FerixDNC").find("--check-config [--config FILE]"), std::string::npos);
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
    // --version answers even after options that would otherwise be refused.
    EXPECT_EQ(parse({"--version"}).mode, Mode::Version);
    EXPECT_EQ(parse({"--subnet", "3", "--version"}).mode, Mode::Version);
    EXPECT_TRUE(parse({"/ShowInTaskbar", "--demo"}).showInTaskbar);
    EXPECT_NE(dnc::usageText("FerixDNC").find("--headless [--config FILE] [--subnet N]..."),
              std::string::npos);
}

}  // namespace

// Each option is explained once, at the start of a line of the option list.
TEST(CommandLine, TheUsageExplainsEveryOptionOnce) {
    const std::string usage = dnc::usageText("FerixDNC");
    for (const std::string option :
         {"--headless", "--subnet", "--system-bus", "--config", "--check-config", "--history ",
          "--default-history", "--demo ", "--demo-window", "--help", "--version"}) {
        std::size_t count = 0;
        for (std::size_t at = usage.find("\n" + option); at != std::string::npos;
             at = usage.find("\n" + option, at + 1)) {
            ++count;
        }
        EXPECT_EQ(count, 1u) << option << " in\n" << usage;
    }
}
