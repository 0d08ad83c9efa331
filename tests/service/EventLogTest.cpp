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
    log.event(event(Kind::TransferBegun));
    auto e = event(Kind::ProgressChanged);
    e.progress = 0;
    log.event(e);
    EXPECT_EQ(lines.size(), 2u);
}

TEST_F(Log, ATransferIsNamedOnceAtItsStartAndOnceAtItsEndWithOneHundredPercentOnce) {
    auto begun = event(Kind::TransferBegun, 2);
    begun.unit = 3;
    begun.program = "PRG1.WTX";
    begun.direction = 0;
    auto button = event(Kind::ShowStop, 2);
    button.showButton = true;
    log.event(begun);
    log.event(button);
    for (int p : {0, 50, 100, 100}) {  // the last block, then the end of the transfer
        auto e = event(Kind::ProgressChanged, 2);
        e.progress = static_cast<std::uint8_t>(p);
        log.event(e);
    }
    button.showButton = false;
    log.event(button);
    auto finished = begun;
    finished.kind = Kind::TransferFinished;
    finished.outcome = "done";
    log.event(finished);
    auto failed = finished;
    failed.direction = 1;
    failed.program = "TOOLS.WTX";
    failed.outcome = "failed";
    failed.description = "Block could not be Transferred from Ferix";
    log.event(failed);

    ASSERT_EQ(lines.size(), 6u);
    EXPECT_NE(lines[0].find("[Sub Net 2] unit 3: program PRG1.WTX, PC to unit, started"),
              std::string::npos)
        << lines[0];
    int hundreds = 0;
    for (const auto& l : lines) {
        hundreds += l.find("progress 100 %") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(hundreds, 1);
    EXPECT_NE(lines[4].find("[Sub Net 2] unit 3: program PRG1.WTX, PC to unit, done"),
              std::string::npos)
        << lines[4];
    EXPECT_NE(lines[5].find("[Sub Net 2] unit 3: program TOOLS.WTX, unit to PC, failed: Block "
                            "could not be Transferred from Ferix"),
              std::string::npos)
        << lines[5];
}

TEST_F(Log, EveryTransferAndEveryNewErrorIsWrittenEvenBeyondTheBudgetOfASecond) {
    // Refused programs fail at once, many in one second: each is the record of what a unit
    // asked for and must reach the log, while the memory notices around them may be counted.
    for (int i = 0; i < 2 * dnc::EventLog::kLinesPerSecond; ++i) {
        auto begun = event(Kind::TransferBegun);
        begun.unit = 1;
        begun.program = "P" + std::to_string(i) + ".WTX";
        log.event(begun);
        auto failed = begun;
        failed.kind = Kind::TransferFinished;
        failed.outcome = "failed";
        failed.description = "not a regular file";
        log.event(failed);
        log.event(event(Kind::FerixMemChanged));
    }
    int transferLines = 0;
    for (const auto& l : lines) {
        transferLines += l.find(": program P") != std::string::npos ? 1 : 0;
    }
    EXPECT_EQ(transferLines, 4 * dnc::EventLog::kLinesPerSecond);
    EXPECT_NE(lines.back().find("P19.WTX, PC to unit, failed: not a regular file"),
              std::string::npos)
        << lines.back();
    // An error that names what went wrong is written beyond the budget too; only its repeats
    // within a second are counted.
    auto babble = event(Kind::OnError);
    babble.description = "Unit 1 does not stop sending";
    log.event(babble);
    log.event(babble);
    EXPECT_NE(lines.back().find("Unit 1 does not stop sending"), std::string::npos) << lines.back();
    EXPECT_EQ(lines[lines.size() - 2].find("does not stop sending"), std::string::npos);
}

TEST_F(Log, AFloodIsHeldToAFewLinesASecondAndTheRestCounted) {
    auto at = std::chrono::system_clock::from_time_t(0);
    std::vector<std::string> out;
    dnc::EventLog flooded([&out](const std::string& l) { out.push_back(l); }, [&at] { return at; });
    auto error = event(Kind::OnError);
    error.description = "Error while Receiving Ferix Request";
    // The same error 1000 times a second, for three seconds.
    for (int i = 0; i < 3000; ++i) {
        at = std::chrono::system_clock::from_time_t(0) + std::chrono::milliseconds(i);
        flooded.event(error);
    }
    EXPECT_LE(out.size(), 6u) << "one line and one count a second";
    EXPECT_NE(out[1].find("[Sub Net 1]: 999 similar messages suppressed"), std::string::npos)
        << out[1];
    // The count of the end of a flood comes with the next line.
    at += std::chrono::seconds(5);
    flooded.event(event(Kind::CommunicationStarted));
    ASSERT_GE(out.size(), 2u);
    EXPECT_NE(out[out.size() - 2].find("[Sub Net 1]: 999 similar messages suppressed"),
              std::string::npos);
    // Different lines: at most the budget of a second, then counted.
    out.clear();
    at += std::chrono::seconds(5);
    for (int i = 0; i < 100; ++i) {
        auto e = event(Kind::FerixMemChanged);
        e.unit = static_cast<std::uint8_t>(1 + i % 10);
        flooded.event(e);
    }
    EXPECT_EQ(out.size(), static_cast<std::size_t>(dnc::EventLog::kLinesPerSecond));
    // A second later the count comes before the next line; other sub nets have their own.
    at += std::chrono::seconds(1);
    flooded.event(event(Kind::CommunicationStopped));
    flooded.event(event(Kind::CommunicationStopped, 2));
    ASSERT_EQ(out.size(), dnc::EventLog::kLinesPerSecond + 3u);
    EXPECT_NE(out[out.size() - 3].find("[Sub Net 1]: 90 similar messages suppressed"),
              std::string::npos);
    EXPECT_NE(out.back().find("[Sub Net 2]: communication stopped"), std::string::npos);

    // Two lines in turn (a port tried again and again) are each written once a second, so
    // that the budget is left for the line that tells the port opened; a change of the
    // line's state is written even beyond the budget.
    out.clear();
    at += std::chrono::seconds(5);
    auto failed = event(Kind::StartFailed);
    failed.description = "Cannot open /dev/ttyUSB0";
    for (int i = 0; i < 20; ++i) {
        at += std::chrono::milliseconds(50);
        flooded.event(failed);
        flooded.note(1, "Sub Net 1", "retrying in 0 s");
    }
    EXPECT_LE(out.size(), 5u);
    for (int i = 0; i < dnc::EventLog::kLinesPerSecond; ++i) {
        auto e = event(Kind::FerixMemChanged);
        e.unit = static_cast<std::uint8_t>(i + 1);
        flooded.event(e);
    }
    flooded.event(event(Kind::CommunicationStarted));
    EXPECT_NE(out.back().find("[Sub Net 1]: communication started"), std::string::npos);
}

}  // namespace
