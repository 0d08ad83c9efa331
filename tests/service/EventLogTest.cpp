#include <gtest/gtest.h>

#include "dnc/service/EventLog.h"
#include "localizing/lookup/ResourceStrings.h"

namespace {

using Kind = dnc::SubNetEvent::Kind;

class Log : public ::testing::Test {
protected:
    Log()
        : log([this](const std::string& l) { lines.push_back(l); },
              [] { return std::chrono::system_clock::from_time_t(0); }) {
        loc::selectLanguage(loc::kEnglish);
    }
    static dnc::SubNetEvent event(Kind kind, int subNet = 1) {
        dnc::SubNetEvent e(kind);
        e.subNet = subNet;
        e.caption = "Sub Net " + std::to_string(subNet);
        return e;
    }
    std::vector<std::string> lines;
    dnc::EventLog log;
};

TEST_F(Log, OneLineWithTimeCaptionUnitAndWhat) {
    auto e = event(Kind::FerixMemChanged);
    e.unit = 3;
    log.event(e);
    ASSERT_EQ(lines.size(), 1u);
    const auto& line = lines[0];
    EXPECT_EQ(line.size(), std::string("1970-01-01 00:00:00").size() +
                               std::string(" [Sub Net 1] unit 3: memory changed").size());
    EXPECT_NE(line.find(" [Sub Net 1] unit 3: memory changed"), std::string::npos) << line;
}

TEST_F(Log, ACaptionOrTextOfAnyLengthIsCutInEveryLine) {
    auto e = event(Kind::OnError);
    e.caption = std::string(1 << 20, 'C');
    e.description = std::string(1 << 20, 'd');
    log.event(e);
    log.event(event(Kind::CommunicationStarted));
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_LT(lines[0].size(), 5000u);
    EXPECT_NE(lines[0].find(std::string(80, 'C') + "... (1048576 bytes)]"), std::string::npos);
    EXPECT_NE(lines[0].find("... (10485"), std::string::npos) << "the text is cut as well";
    // Cut at a whole character: "Ä" is two bytes and is never split.
    std::string umlauts;
    for (int i = 0; i < 60; ++i) {
        umlauts += "\xC3\x84";
    }
    auto wide = event(Kind::CommunicationStarted);
    wide.caption = "x" + umlauts;
    log.event(wide);
    ASSERT_EQ(lines.size(), 3u);
    EXPECT_NE(lines[2].find("[x" + umlauts.substr(0, 78) + "... (121 bytes)]"), std::string::npos)
        << lines[2];
}

TEST_F(Log, ErrorsSayWhoseRequestFailed) {
    auto e = event(Kind::OnError);
    e.description = "Error while Processing Ferix Request (Files of This Type are not Supported)";
    log.event(e);
    e.reqSidePC = true;
    log.event(e);
    EXPECT_NE(lines[0].find("Error: Error while Processing Ferix Request (Files of This Type are "
                            "not Supported) (unit request)"),
              std::string::npos)
        << lines[0];
    EXPECT_NE(lines[1].find("(operator request)"), std::string::npos);
}

TEST_F(Log, ProgressAtMostOncePerTenthAndPerSubNet) {
    for (int p : {0, 3, 9, 10, 15, 55, 56, 99, 100}) {
        auto e = event(Kind::ProgressChanged);
        e.progress = static_cast<std::uint8_t>(p);
        log.event(e);
        auto other = event(Kind::ProgressChanged, 2);
        other.progress = static_cast<std::uint8_t>(p);
        log.event(other);
    }
    int first = 0;
    for (const auto& l : lines) {
        first += l.find("[Sub Net 1]") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(first, 5);  // 0, 10, 55, 99, 100
    EXPECT_EQ(lines.size(), 10u);
    // A new transfer starts counting again.
    lines.clear();
    log.event(event(Kind::ShowStop));
    auto e = event(Kind::ProgressChanged);
    e.progress = 0;
    log.event(e);
    EXPECT_EQ(lines.size(), 2u);
}

}  // namespace
