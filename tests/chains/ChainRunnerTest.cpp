#include <gtest/gtest.h>

#include <bit>
#include <filesystem>

#include "dnc/config/ChainFile.h"
#include "dnc/window/ChainRunner.h"
#include "dnc/window/IncludeExclude.h"
#include "dnc/window/TargetNames.h"
#include "tests/conversion/TempDirectory.h"

namespace dnc {
namespace {

using testing_support::readFile;
using testing_support::TempDirectory;
using testing_support::writeFile;

struct RecordingReporter : ConversionReporter {
    struct Step {
        std::filesystem::path file;
        StepOutcome outcome;
    };
    void stepFinished(const std::filesystem::path& file, const StepOutcome& outcome) override {
        steps.push_back({file, outcome});
    }
    void copyFailed(const std::filesystem::path& source, const std::filesystem::path&,
                    const std::string& description) override {
        copies.push_back(source.filename().string() + ": " + description);
    }
    std::vector<Step> steps;
    std::vector<std::string> copies;
};

// The test libraries lie beside the test program, as the real ones lie beside the main one.
LibraryLocation fakeLibraries(const std::string& standard = "libFakeStandardConversion.so",
                              const std::string& user = "libFakeUserConversion.so") {
    LibraryLocation location = defaultLibraryLocation();
    location.standardName = standard;
    location.userName = user;
    return location;
}

class ChainRun : public ::testing::Test {
protected:
    bool run(const std::vector<std::string>& steps) {
        ChainRunner runner(libraries_, reporter_);
        return runner.run(file_, steps);
    }

    TempDirectory directory_;
    std::string file_ = directory_.file("PART.WTX");
    ConversionLibraries libraries_{fakeLibraries()};
    RecordingReporter reporter_;
};

TEST_F(ChainRun, EachStepCallsItsLibraryInPlaceWithTheTextFromTheThirdCharacter) {
    writeFile(file_, "");
    EXPECT_TRUE(run({"S TXT>ISO /X", "", "U  /P", "X /Z"}));
    EXPECT_EQ(readFile(file_), "[S:TXT>ISO /X][U: /P][U:/Z]");
    ASSERT_EQ(reporter_.steps.size(), 3u);  // the empty step is skipped
    EXPECT_EQ(reporter_.steps[0].outcome.kind, StepOutcome::Kind::Converted);
    EXPECT_EQ(reporter_.steps[0].outcome.library, ConversionLibrary::Standard);
    EXPECT_EQ(reporter_.steps[2].outcome.library, ConversionLibrary::User);
    EXPECT_EQ(reporter_.steps[2].file, file_);
}

TEST_F(ChainRun, FailedStepReportsTheLibrarysTextAndHelpAndTheChainGoesOn) {
    writeFile(file_, "");
    EXPECT_FALSE(run({"U  fail now", "S TXT>TXT"}));
    ASSERT_EQ(reporter_.steps.size(), 2u);
    const StepOutcome& failed = reporter_.steps[0].outcome;
    EXPECT_EQ(failed.kind, StepOutcome::Kind::ConversionFailed);
    EXPECT_EQ(failed.description, "U refused  fail now");
    EXPECT_EQ(failed.helpFile, "U.hlp");
    EXPECT_EQ(failed.helpContext, 42);
    EXPECT_EQ(reporter_.steps[1].outcome.kind, StepOutcome::Kind::Converted);
    EXPECT_EQ(readFile(file_), "[S:TXT>TXT]");
}

TEST_F(ChainRun, AnEarlierFailureTextIsNotShownForALaterSilentFailure) {
    writeFile(file_, "");
    run({"U  fail", "U  fail quiet"});
    ASSERT_EQ(reporter_.steps.size(), 2u);
    EXPECT_EQ(reporter_.steps[1].outcome.description, "");
    EXPECT_EQ(reporter_.steps[1].outcome.helpContext, 0);
}

TEST(ChainRunLibraries, MissingLibrarySkipsTheRestOfThatFileOnly) {
    TempDirectory directory;
    ConversionLibraries libraries(fakeLibraries("libFakeStandardConversion.so", "libNoSuch.so"));
    RecordingReporter reporter;
    ChainRunner runner(libraries, reporter);
    for (const char* name : {"A", "B"}) {
        writeFile(directory.file(name), "");
        EXPECT_FALSE(runner.run(directory.file(name), {"S first", "U  /P", "S last"}));
        EXPECT_EQ(readFile(directory.file(name)), "[S:first]");  // as the step before left it
    }
    ASSERT_EQ(reporter.steps.size(), 4u);
    EXPECT_EQ(reporter.steps[1].outcome.kind, StepOutcome::Kind::LibraryUnavailable);
    EXPECT_NE(reporter.steps[1].outcome.description.find("libNoSuch.so"), std::string::npos);
    EXPECT_EQ(reporter.steps[3].outcome.kind, StepOutcome::Kind::LibraryUnavailable);
    EXPECT_EQ(reporter.steps[3].file, directory.file("B"));
}

TEST(ChainRunLibraries, LibraryWithoutConvertIsReportedLikeAMissingOne) {
    TempDirectory directory;
    ConversionLibraries libraries(fakeLibraries("libNoConvertEntry.so"));
    RecordingReporter reporter;
    ChainRunner runner(libraries, reporter);
    writeFile(directory.file("A"), "");
    EXPECT_FALSE(runner.run(directory.file("A"), {"S TXT>ISO", "U  /P"}));
    ASSERT_EQ(reporter.steps.size(), 1u);
    EXPECT_EQ(reporter.steps[0].outcome.kind, StepOutcome::Kind::LibraryUnavailable);
    EXPECT_NE(reporter.steps[0].outcome.description.find("Convert"), std::string::npos);
}

TEST(ChainRunLibraries, RealLibrariesAreFoundBesideTheProgram) {
    TempDirectory directory;
    ConversionLibraries libraries;
    RecordingReporter reporter;
    ChainRunner runner(libraries, reporter);
    const std::string file = directory.file("PART.TXT");
    writeFile(file, "%\n\nG01 X1\n%\n");
    EXPECT_FALSE(runner.run(file, {"U  /P", "S TXT>ISO", "U  /L*02\\00", "S TXT>MGF"}));
    std::string tape(2, '\0');
    for (const char c : std::string("%\nG01 X1\n%\n")) {
        tape += static_cast<char>(c | ((std::popcount(static_cast<unsigned char>(c)) & 1) << 7));
    }
    EXPECT_EQ(readFile(file), tape);
    ASSERT_EQ(reporter.steps.size(), 4u);
    EXPECT_EQ(reporter.steps[3].outcome.kind, StepOutcome::Kind::ConversionFailed);
    EXPECT_NE(reporter.steps[3].outcome.description.find("not available"), std::string::npos);
}

class IncludeExcludeRun : public ::testing::Test {
protected:
    void SetUp() override {
        std::filesystem::create_directories(pc_);
        std::filesystem::create_directories(unit_);
    }
    IncludeExcludeRequest include(std::vector<std::string> files) const {
        IncludeExcludeRequest request;
        request.direction = TransferDirection::Include;
        request.sourceDirectory = pc_;
        request.targetDirectory = unit_;
        request.unitDirectory = unit_;
        request.files = std::move(files);
        request.extension = "WTX";
        return request;
    }
    void setChain(std::string_view name, const std::vector<std::string>& steps) {
        ConversionChain chain;
        ASSERT_TRUE(ConversionChain::fromSteps(steps, chain));
        ASSERT_TRUE(saveChainFile(unit_ / std::string(name), chain));
    }

    TempDirectory root_;
    std::filesystem::path pc_ = root_.path() / "pc";
    std::filesystem::path unit_ = root_.path() / "unit1";
    ConversionLibraries libraries_{fakeLibraries()};
    RecordingReporter reporter_;
};

TEST_F(IncludeExcludeRun, OneFileTakesTheTypedNameAndRunsTheInChain) {
    writeFile((pc_ / "part.1.txt").string(), "G01");
    setChain(kIncludeChainFileName, {"U  /P", "S TXT>ISO"});
    IncludeExcludeRequest request = include({"part.1.txt"});
    request.typedBaseName = proposedBaseName("part.1.txt", true);
    const auto written = runIncludeExclude(request, libraries_, reporter_);
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(written[0], unit_ / "PART.WTX");
    EXPECT_EQ(readFile(written[0].string()), "G01[U: /P][S:TXT>ISO]");
    EXPECT_EQ(readFile((pc_ / "part.1.txt").string()), "G01");
}

TEST_F(IncludeExcludeRun, SeveralFilesAreCutAtTheirLastDot) {
    writeFile((pc_ / "a.b.txt").string(), "1");
    writeFile((pc_ / "c.txt").string(), "2");
    const auto written = runIncludeExclude(include({"a.b.txt", "c.txt"}), libraries_, reporter_);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0], unit_ / "A.B.WTX");
    EXPECT_EQ(written[1], unit_ / "C.WTX");
}

TEST_F(IncludeExcludeRun, MissingChainFileOnlyCopiesAndIsCreatedEmpty) {
    writeFile((pc_ / "p.txt").string(), "X");
    IncludeExcludeRequest request = include({"p.txt"});
    request.typedBaseName = "P";
    runIncludeExclude(request, libraries_, reporter_);
    EXPECT_EQ(readFile((unit_ / "P.WTX").string()), "X");
    EXPECT_TRUE(reporter_.steps.empty());
    EXPECT_TRUE(std::filesystem::exists(unit_ / "In.cnv"));
}

TEST_F(IncludeExcludeRun, WithoutConversionOnlyCopiesAndReplacesTheTarget) {
    writeFile((pc_ / "p.txt").string(), "new");
    writeFile((unit_ / "P.WTX").string(), "old");
    setChain(kIncludeChainFileName, {"U  /P"});
    IncludeExcludeRequest request = include({"p.txt"});
    request.typedBaseName = "P";
    request.withoutConversion = true;
    runIncludeExclude(request, libraries_, reporter_);
    EXPECT_EQ(readFile((unit_ / "P.WTX").string()), "new");
    EXPECT_TRUE(reporter_.steps.empty());
}

TEST_F(IncludeExcludeRun, FailedCopyIsReportedAndThatFileIsNotConverted) {
    writeFile((pc_ / "good.txt").string(), "G");
    writeFile((unit_ / "GONE.WTX").string(), "previous");
    setChain(kIncludeChainFileName, {"U  /P"});
    const auto written =
        runIncludeExclude(include({"gone.txt", "good.txt"}), libraries_, reporter_);
    ASSERT_EQ(reporter_.copies.size(), 1u);
    EXPECT_NE(reporter_.copies[0].find("gone.txt"), std::string::npos);
    EXPECT_EQ(readFile((unit_ / "GONE.WTX").string()), "previous");  // not converted
    ASSERT_EQ(written.size(), 1u);
    EXPECT_EQ(readFile(written[0].string()), "G[U: /P]");
    ASSERT_EQ(reporter_.steps.size(), 1u);
}

TEST_F(IncludeExcludeRun, TypedNameCannotLeaveTheTargetDirectory) {
    writeFile((pc_ / "p.txt").string(), "X");
    IncludeExcludeRequest request = include({"p.txt"});
    request.typedBaseName = "../escape";
    EXPECT_TRUE(runIncludeExclude(request, libraries_, reporter_).empty());
    ASSERT_EQ(reporter_.copies.size(), 1u);
    EXPECT_FALSE(std::filesystem::exists(root_.path() / "escape.WTX"));
    request.typedBaseName = "";  // an emptied name field
    EXPECT_TRUE(runIncludeExclude(request, libraries_, reporter_).empty());
    EXPECT_EQ(reporter_.copies.size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(unit_ / ".WTX"));
}

TEST_F(IncludeExcludeRun, AnIncludeNeverOverwritesTheUnitsChain) {
    writeFile((pc_ / "in.txt").string(), "program");
    setChain(kIncludeChainFileName, {"U  /P"});
    const std::string chain = readFile((unit_ / "In.cnv").string());
    IncludeExcludeRequest request = include({"in.txt"});
    request.typedBaseName = "IN";
    request.extension = "CNV";
    EXPECT_TRUE(runIncludeExclude(request, libraries_, reporter_).empty());
    ASSERT_EQ(reporter_.copies.size(), 1u);
    EXPECT_NE(reporter_.copies[0].find("conversion chain"), std::string::npos);
    EXPECT_EQ(readFile((unit_ / "In.cnv").string()), chain);
    EXPECT_FALSE(std::filesystem::exists(unit_ / "IN.CNV"));
}

TEST_F(IncludeExcludeRun, ProgressIsToldPerFileAndCanStopTheRun) {
    for (const char* name : {"a.txt", "b.txt", "c.txt"}) {
        writeFile((pc_ / name).string(), name);
    }
    IncludeExcludeRequest request = include({"a.txt", "b.txt", "c.txt"});
    std::vector<std::size_t> told;
    request.progress = [&told](std::size_t done, std::size_t total) {
        EXPECT_EQ(total, 3u);
        told.push_back(done);
        return true;
    };
    EXPECT_EQ(runIncludeExclude(request, libraries_, reporter_).size(), 3u);
    EXPECT_EQ(told, (std::vector<std::size_t>{0, 1, 2, 3}));
    std::filesystem::remove(unit_ / "C.WTX");
    request.progress = [](std::size_t done, std::size_t) { return done < 2; };
    EXPECT_EQ(runIncludeExclude(request, libraries_, reporter_).size(), 2u);
    EXPECT_FALSE(std::filesystem::exists(unit_ / "C.WTX")) << "stopped before the third file";
}

TEST_F(IncludeExcludeRun, ExcludeKeepsTheCaseAndUsesTheOutChain) {
    writeFile((unit_ / "Part.WTX").string(), "W");
    writeFile((unit_ / "b.c.WTX").string(), "V");
    setChain(kExcludeChainFileName, {"S ISO>TXT"});
    setChain(kIncludeChainFileName, {"U  never"});
    IncludeExcludeRequest request;
    request.direction = TransferDirection::Exclude;
    request.sourceDirectory = unit_;
    request.targetDirectory = pc_;
    request.unitDirectory = unit_;
    request.files = {"Part.WTX", "b.c.WTX"};
    request.extension = "txt";
    const auto written = runIncludeExclude(request, libraries_, reporter_);
    ASSERT_EQ(written.size(), 2u);
    EXPECT_EQ(written[0], pc_ / "Part.txt");
    EXPECT_EQ(written[1], pc_ / "b.c.txt");
    EXPECT_EQ(readFile(written[1].string()), "V[S:ISO>TXT]");
}

struct RecordingJournal : history::TransferJournal {
    void record(history::TransferRecord record) override { records.push_back(std::move(record)); }
    std::vector<history::TransferRecord> records;
};

TEST_F(IncludeExcludeRun, EveryFileIsRecordedWithWhatItsTargetHolds) {
    writeFile((pc_ / "good.txt").string(), "G");
    setChain(kIncludeChainFileName, {"U  fail now", "S TXT>ISO"});
    RecordingJournal journal;
    IncludeExcludeRequest request = include({"gone.txt", "good.txt"});
    request.journal = &journal;
    request.subNet = 4;
    request.caption = "Hall D";
    request.unit = 2;
    runIncludeExclude(request, libraries_, reporter_);
    ASSERT_EQ(journal.records.size(), 2u);
    const history::TransferRecord& gone = journal.records[0];
    EXPECT_EQ(gone.direction, history::Direction::Include);
    EXPECT_EQ(gone.startedBy, history::StartedBy::Window);
    EXPECT_EQ(gone.outcome, history::Outcome::Failed);
    EXPECT_FALSE(gone.content) << "nothing was copied";
    EXPECT_FALSE(gone.error.empty());
    const history::TransferRecord& good = journal.records[1];
    EXPECT_EQ(good.subNet, 4);
    EXPECT_EQ(good.caption, "Hall D");
    EXPECT_EQ(good.unit, 2);
    EXPECT_EQ(good.name, "GOOD.WTX");
    EXPECT_EQ(good.path, (unit_ / "GOOD.WTX").string());
    EXPECT_EQ(good.content, "G[S:TXT>ISO]") << "the bytes stored after the chain";
    EXPECT_TRUE(good.stored);
    EXPECT_EQ(good.outcome, history::Outcome::Failed);
    EXPECT_EQ(good.error, "U  fail now: U refused  fail now");

    setChain(kExcludeChainFileName, {"S ISO>TXT"});
    journal.records.clear();
    request.direction = TransferDirection::Exclude;
    request.sourceDirectory = unit_;
    request.targetDirectory = pc_;
    request.files = {"GOOD.WTX"};
    request.typedBaseName = "good";
    request.extension = "txt";
    runIncludeExclude(request, libraries_, reporter_);
    ASSERT_EQ(journal.records.size(), 1u);
    EXPECT_EQ(journal.records[0].direction, history::Direction::Exclude);
    EXPECT_EQ(journal.records[0].outcome, history::Outcome::Done);
    EXPECT_TRUE(journal.records[0].error.empty());
    EXPECT_EQ(journal.records[0].content, "G[S:TXT>ISO][S:ISO>TXT]");
    EXPECT_EQ(journal.records[0].path, (pc_ / "good.txt").string());
}

TEST(TargetNaming, ProposalsAndPlainNames) {
    EXPECT_EQ(proposedBaseName("part.1.txt", true), "PART");
    EXPECT_EQ(proposedBaseName("Part.1.txt", false), "Part");
    EXPECT_EQ(baseNameOfSeveral("a.b.txt", true), "A.B");
    EXPECT_EQ(baseNameOfSeveral("noext", true), "NOEXT");
    std::string problem;
    EXPECT_EQ(targetFileName("PART", "WTX", problem), "PART.WTX");
    EXPECT_EQ(targetFileName("PART", "", problem), "PART");
    EXPECT_TRUE(problem.empty());
    EXPECT_EQ(targetFileName("", "TXT", problem), "");
    EXPECT_FALSE(problem.empty());
    problem.clear();
    EXPECT_EQ(targetFileName("a/b", "TXT", problem), "");
    EXPECT_FALSE(problem.empty());
    for (const char* bad : {"", "..", "x\\y", "tab\t"}) {
        problem.clear();
        EXPECT_EQ(targetFileName(bad, "", problem), "") << bad;
        EXPECT_FALSE(problem.empty()) << bad;
    }
}

}  // namespace
}  // namespace dnc
