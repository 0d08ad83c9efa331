#include <gtest/gtest.h>
#include <sys/resource.h>

#include <csignal>

#include <filesystem>

#include "dnc/config/ChainFile.h"
#include "dnc/config/ChainStep.h"
#include "tests/conversion/TempDirectory.h"

namespace dnc {
namespace {

using testing_support::readFile;
using testing_support::TempDirectory;
using testing_support::writeFile;

ConversionChain chainOf(const std::vector<std::string>& steps) {
    ConversionChain chain;
    EXPECT_TRUE(ConversionChain::fromSteps(steps, chain));
    return chain;
}

TEST(ChainRecords, StepIsACountedTextPaddedWithZerosTo128Bytes) {
    const std::string bytes = encodeChainRecords(chainOf({"S TXT>ISO "}));
    ASSERT_EQ(bytes.size(), 128u);
    EXPECT_EQ(bytes[0], 10);
    EXPECT_EQ(bytes[1], 0);
    EXPECT_EQ(bytes.substr(2, 10), "S TXT>ISO ");
    EXPECT_EQ(bytes.substr(12), std::string(116, '\0'));
}

TEST(ChainRecords, LengthIsLittleEndianAndALongestStepFills126Bytes) {
    const std::string longest = "U  /P" + std::string(121, '/');
    ASSERT_EQ(longest.size(), kMaxStepLength);
    const std::string bytes = encodeChainRecords(chainOf({"a", longest}));
    ASSERT_EQ(bytes.size(), 256u);
    EXPECT_EQ(static_cast<unsigned char>(bytes[128]), 126);
    EXPECT_EQ(bytes[129], 0);
    EXPECT_EQ(bytes.substr(130), longest);
    EXPECT_EQ(decodeChainRecords(bytes), (std::vector<std::string>{"a", longest}));
}

TEST(ChainRecords, ReadingSkipsEmptyAndDamagedRecords) {
    std::string bytes = encodeChainRecords(chainOf({"S TXT>ISO", "", "U  /P"}));
    std::string damaged(128, '\0');
    damaged[0] = 127;  // more than a record holds
    bytes += damaged;
    bytes += std::string("\x05\x00U  /K", 7);  // an incomplete last record
    EXPECT_EQ(decodeChainRecords(bytes), (std::vector<std::string>{"S TXT>ISO", "U  /P"}));
}

// A chain written by hand in an editor, one step per line, is read as the steps it shows;
// records are never taken for text (each holds a zero byte).
TEST(ChainRecords, AChainWrittenAsTextIsReadLineByLine) {
    const std::string longest = "U  /P" + std::string(121, '/');
    const std::string text = "S TXT>ISO /LEADER=50 /TRAILER=50\r\n\n   \nU  /P\n" + longest + "\n" +
                             longest + "/\nU  /K\\25";
    EXPECT_TRUE(isTextChain(text));
    EXPECT_EQ(decodeChainFile(text), (std::vector<std::string>{"S TXT>ISO /LEADER=50 /TRAILER=50",
                                                               "U  /P", longest, "U  /K\\25"}));
    const std::string records = encodeChainRecords(chainOf({"S TXT>ISO", "U  /P"}));
    EXPECT_FALSE(isTextChain(records));
    EXPECT_EQ(decodeChainFile(records), (std::vector<std::string>{"S TXT>ISO", "U  /P"}));
    EXPECT_FALSE(isTextChain(""));

    TempDirectory dir;
    writeFile((dir.path() / "In.cnv").string(), "S TXT>ISO /LEADER=50\nU  /P\n");
    EXPECT_EQ(loadChainFile(dir.path() / "In.cnv"),
              (std::vector<std::string>{"S TXT>ISO /LEADER=50", "U  /P"}));
}

TEST(ChainRecords, LengthAbove255UsesTheHighByte) {
    std::string bytes(128, '\0');
    bytes[0] = 3;
    bytes[1] = 1;  // 259: damaged, although its low byte alone would look valid
    bytes.replace(2, 3, "U /");
    EXPECT_TRUE(decodeChainRecords(bytes).empty());
}

class ChainFileOnDisk : public ::testing::Test {
protected:
    TempDirectory directory_;
    std::filesystem::path inChain_ = directory_.path() / std::string(kIncludeChainFileName);
};

TEST_F(ChainFileOnDisk, MissingFileGivesAnEmptyChainAndIsCreatedEmpty) {
    EXPECT_TRUE(loadChainFile(inChain_).empty());
    ASSERT_TRUE(std::filesystem::exists(inChain_));
    EXPECT_EQ(std::filesystem::file_size(inChain_), 0u);
}

TEST_F(ChainFileOnDisk, SavedChainReloadsUnchangedWithItsBlanks) {
    const std::vector<std::string> steps = {"S TXT>ISO /X", "U  /P"};
    ASSERT_TRUE(saveChainFile(inChain_, chainOf(steps)));
    EXPECT_EQ(std::filesystem::file_size(inChain_), 256u);
    EXPECT_EQ(loadChainFile(inChain_), steps);
}

TEST_F(ChainFileOnDisk, SavingAnEmptyChainLeavesAnEmptyFile) {
    ASSERT_TRUE(saveChainFile(inChain_, chainOf({"U  /P"})));
    ASSERT_TRUE(saveChainFile(inChain_, ConversionChain()));
    EXPECT_TRUE(std::filesystem::exists(inChain_));
    EXPECT_EQ(std::filesystem::file_size(inChain_), 0u);
}

TEST_F(ChainFileOnDisk, FailedSaveKeepsThePreviousFile) {
    ASSERT_TRUE(saveChainFile(inChain_, chainOf({"U  /P"})));
    // Writing the new file fails half way (the file size limit stops it after 64 bytes).
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit small = old;
    small.rlim_cur = 64;
    ::setrlimit(RLIMIT_FSIZE, &small);
    const bool saved = saveChainFile(inChain_, chainOf({"S TXT>ISO"})).ok();
    ::setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_FALSE(saved);
    EXPECT_EQ(loadChainFile(inChain_), std::vector<std::string>{"U  /P"});
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(inChain_.parent_path()),
                            std::filesystem::directory_iterator()),
              1)
        << "no temporary file left behind";
}

TEST_F(ChainFileOnDisk, UnreadableChainGivesAnEmptyList) {
    std::filesystem::create_directory(inChain_);
    EXPECT_TRUE(loadChainFile(inChain_).empty());
}

TEST(ConversionChainEditing, StepLongerThan126CharactersIsRefusedWhenSet) {
    ConversionChain chain;
    const std::string tooLong = "U  " + std::string(124, 'P');
    ASSERT_EQ(tooLong.size(), 127u);
    EXPECT_FALSE(chain.insertStep(0, tooLong));
    EXPECT_EQ(chain.size(), 0u);
    ASSERT_TRUE(chain.insertStep(0, "U  /P"));
    EXPECT_FALSE(chain.setStep(0, tooLong));
    EXPECT_EQ(chain.steps()[0], "U  /P");
    EXPECT_FALSE(ConversionChain::fromSteps({"S TXT>ISO", tooLong}, chain));
    EXPECT_EQ(chain.size(), 0u);
}

TEST(ConversionChainEditing, InsertSetAndRemoveKeepTheOrder) {
    ConversionChain chain;
    ASSERT_TRUE(chain.insertStep(0, "B"));
    ASSERT_TRUE(chain.insertStep(0, "A"));
    ASSERT_TRUE(chain.insertStep(2, "C"));
    EXPECT_FALSE(chain.insertStep(4, "D"));
    ASSERT_TRUE(chain.setStep(1, "b"));
    EXPECT_FALSE(chain.setStep(3, "x"));
    EXPECT_EQ(chain.steps(), (std::vector<std::string>{"A", "b", "C"}));
    ASSERT_TRUE(chain.removeStep(0));
    EXPECT_FALSE(chain.removeStep(2));
    EXPECT_EQ(chain.steps(), (std::vector<std::string>{"b", "C"}));
}

TEST(ChainStepText, LibraryIsStandardOnlyForS) {
    EXPECT_EQ(libraryOfStep("S TXT>ISO"), ConversionLibrary::Standard);
    EXPECT_EQ(libraryOfStep("U  /P"), ConversionLibrary::User);
    EXPECT_EQ(libraryOfStep("s TXT>ISO"), ConversionLibrary::User);
    EXPECT_EQ(libraryOfStep("X  /P"), ConversionLibrary::User);
    EXPECT_EQ(libraryOfStep(""), ConversionLibrary::User);
}

TEST(ChainStepText, ParametersStartAtTheThirdCharacter) {
    EXPECT_EQ(parametersOfStep("S TXT>ISO /X"), "TXT>ISO /X");
    EXPECT_EQ(parametersOfStep("U  /P"), " /P");
    EXPECT_EQ(parametersOfStep("U "), "");
    EXPECT_EQ(parametersOfStep("S"), "");
}

TEST(ChainStepText, SplittingFillsTheEditorFields) {
    const StepFields user = splitStep("U  /P");
    EXPECT_TRUE(user.userConversion);
    EXPECT_EQ(user.conversion, "");
    EXPECT_EQ(user.parameters, "/P");
    const StepFields standard = splitStep("S TXT>ISO /LEADER=5 /TRAILER=5");
    EXPECT_FALSE(standard.userConversion);
    EXPECT_EQ(standard.conversion, "TXT>ISO");
    EXPECT_EQ(standard.parameters, "/LEADER=5 /TRAILER=5");
    const StepFields noBlank = splitStep("S TXT>TXT");
    EXPECT_EQ(noBlank.conversion, "TXT>TXT");
    EXPECT_EQ(noBlank.parameters, "");
    const StepFields shortStep = splitStep("S ");
    EXPECT_FALSE(shortStep.userConversion);
    EXPECT_EQ(shortStep.conversion, "");
}

TEST(ChainStepText, ComposingAndSplittingRoundTrip) {
    for (const std::string step : {"S TXT>ISO /X", "U  /P", "S EIA>TXT ", "U  /H\\0D /L\\0A"}) {
        EXPECT_EQ(composeStep(splitStep(step)), step);
    }
}

}  // namespace
}  // namespace dnc
