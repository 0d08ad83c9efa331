#include <gtest/gtest.h>

#include "conversion/brisel/BriselConversion.h"
#include "conversion/brisel/BriselRequest.h"
#include "tests/conversion/TempDirectory.h"

namespace brisel {
namespace {

using testing_support::readFile;
using testing_support::TempDirectory;
using testing_support::writeFile;

TEST(BriselRequest, AcceptsEveryOfferedName) {
    for (const char* name :
         {"TXT>ISO", "ISO>TXT", "TXT>EIA", "EIA>TXT", "TXT>MGF", "MGF>TXT", "TXT>TXT"}) {
        std::string error;
        const Request request = parseRequest(std::string(name) + " ", error);
        EXPECT_TRUE(error.empty()) << name << ": " << error;
        EXPECT_EQ(request.name, name);
    }
}

TEST(BriselRequest, ReadsParametersAfterTheName) {
    std::string error;
    const Request tape = parseRequest("txt>iso /LEADER=50  /trailer=20", error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(tape.conversion, Conversion::TextToIso);
    EXPECT_EQ(tape.options.leader, 50u);
    EXPECT_EQ(tape.options.trailer, 20u);
    const Request text = parseRequest("EIA>TXT /EOB=LF", error);
    ASSERT_TRUE(error.empty()) << error;
    EXPECT_EQ(text.options.lineEnd, LineEnd::Lf);
    EXPECT_TRUE(parseRequest("TXT>EIA /UPPER", error).options.upperCase);
}

TEST(BriselRequest, RefusesUnknownOrMisplacedParameters) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"TXT>ISO /X", "unknown parameter \"/X\""},
        {"ISO>TXT /LEADER=5", "only applies to TXT>ISO and TXT>EIA"},
        {"TXT>ISO /EOB=LF", "only applies to ISO>TXT"},
        {"TXT>ISO /UPPER", "only applies to TXT>EIA"},
        {"TXT>ISO /LEADER=", "needs a count"},
        {"TXT>ISO /LEADER=5000", "needs a count"},
        {"TXT>ISO /LEADER=-1", "needs a count"},
        {"EIA>TXT /EOB=CR", "must be /EOB=CRLF or /EOB=LF"},
        {"ISO", "unknown conversion \"ISO\""},
        {"", "no conversion named"},
    };
    for (const auto& [parameters, expected] : cases) {
        std::string error;
        parseRequest(parameters, error);
        EXPECT_NE(error.find(expected), std::string::npos) << parameters << " -> " << error;
    }
}

class BriselFiles : public ::testing::Test {
protected:
    TempDirectory directory_;
    std::string program_ = directory_.file("PART.ISO");
};

TEST_F(BriselFiles, MgfIsAnsweredAsNotAvailableAndTheFileStays) {
    writeFile(program_, "G01\r\n");
    for (const char* name : {"TXT>MGF", "MGF>TXT /ANY"}) {
        const ConversionOutcome outcome = convertFile(program_, program_, name);
        EXPECT_FALSE(outcome.succeeded);
        EXPECT_NE(outcome.errorText.find("is not available"), std::string::npos);
    }
    EXPECT_EQ(readFile(program_), "G01\r\n");
}

TEST_F(BriselFiles, ConvertsInPlace) {
    writeFile(program_, "%\r\nG1\r\n");
    ASSERT_TRUE(convertFile(program_, program_, "TXT>ISO /LEADER=2").succeeded);
    EXPECT_EQ(readFile(program_), std::string("\0\0\xA5\n\x47\xB1\n", 7));
}

TEST_F(BriselFiles, FailedConversionLeavesTheOutputAsItWas) {
    writeFile(program_, "G1\r\n");
    const ConversionOutcome outcome = convertFile(program_, program_, "ISO>TXT");
    EXPECT_FALSE(outcome.succeeded);  // "1" (0x31) has odd parity: plain text is no ISO tape
    EXPECT_NE(outcome.errorText.find("offset 1"), std::string::npos) << outcome.errorText;
    EXPECT_EQ(readFile(program_), "G1\r\n");
}

TEST_F(BriselFiles, UnreadableInputAndUnwritableOutputAreReported) {
    const ConversionOutcome missing = convertFile(directory_.file("NONE"), program_, "TXT>TXT");
    EXPECT_NE(missing.errorText.find("cannot read"), std::string::npos);
    writeFile(program_, "A\n");
    const std::string output = directory_.file("NODIR/OUT");
    const ConversionOutcome unwritable = convertFile(program_, output, "TXT>TXT");
    EXPECT_NE(unwritable.errorText.find("cannot write"), std::string::npos);
}

TEST_F(BriselFiles, LargeProgramIsConvertedWholeAndRefusalsNameTheirPlace) {
    std::string text;
    std::size_t lines = 0;
    while (text.size() < (5u << 20) / 2) {
        text.append("N").append(std::to_string(lines++)).append(" G01 X1.5 (CUT)\r\n");
    }
    writeFile(program_, text);
    ASSERT_TRUE(convertFile(program_, program_, "TXT>EIA /LEADER=7 /TRAILER=3").succeeded);
    const std::string tape = readFile(program_);
    ASSERT_TRUE(convertFile(program_, program_, "EIA>TXT").succeeded);
    EXPECT_EQ(readFile(program_), text);
    EXPECT_EQ(tape.size(), 7 + text.size() - lines + 3);  // CR dropped, LF one code

    // A refusal beyond the first piece read names its line and leaves the file alone.
    writeFile(program_, text + "x\r\n");
    const ConversionOutcome lower = convertFile(program_, program_, "TXT>EIA");
    EXPECT_NE(lower.errorText.find("in line " + std::to_string(lines + 1)), std::string::npos)
        << lower.errorText;
    std::string badTape = tape;
    badTape[tape.size() - 10] ^= 0x01;  // one hole less: even parity
    writeFile(program_, badTape);
    const ConversionOutcome parity = convertFile(program_, program_, "EIA>TXT");
    EXPECT_NE(parity.errorText.find("offset " + std::to_string(tape.size() - 10)),
              std::string::npos)
        << parity.errorText;
    EXPECT_EQ(readFile(program_), badTape);
}

TEST_F(BriselFiles, NoTemporaryFileIsLeftBehind) {
    writeFile(program_, "a\n");
    ASSERT_TRUE(convertFile(program_, program_, "TXT>TXT").succeeded);
    EXPECT_FALSE(convertFile(program_, program_, "TXT>EIA").succeeded);  // lower case
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory_.path()),
                            std::filesystem::directory_iterator()),
              1);
}

}  // namespace
}  // namespace brisel
