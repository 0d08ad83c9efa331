#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>

#include "conversion/lentra/LentraConversion.h"
#include "conversion/lentra/WorkFile.h"
#include "tests/conversion/TempDirectory.h"

namespace lentra {
namespace {

using testing_support::readFile;
using testing_support::TempDirectory;
using testing_support::writeFile;

// The library is called in place: the same path as input and output.
class LentraInPlace : public ::testing::Test {
protected:
    ConversionOutcome convert(const std::string& content, const std::string& commands) {
        writeFile(program_, content);
        return convertFile(program_, program_, commands);
    }
    std::string result() const { return readFile(program_); }

    TempDirectory directory_;
    std::string program_ = directory_.file("PART.WTX");
};

TEST_F(LentraInPlace, DropBlankLinesKeepsTheOthers) {
    ASSERT_TRUE(convert("G01\r\n\r\n   \r\nM30\r\n", "/P").succeeded);
    EXPECT_EQ(result(), "G01\r\nM30\r\n");
}

TEST_F(LentraInPlace, TabsCountAsBlankButCarriageReturnsDoNot) {
    ASSERT_TRUE(convert("\t \nA\n \r\r\n", "/P").succeeded);
    EXPECT_EQ(result(), "A\r\n \r\r\n");
}

TEST_F(LentraInPlace, LineFeedsAreWrittenAsCrLf) {
    ASSERT_TRUE(convert("G01\nG02\r\nM30", "/Z").succeeded);
    EXPECT_EQ(result(), "G01\r\nG02\r\nM30");
}

TEST_F(LentraInPlace, LongLineIsKept) {
    const std::string line(200, 'X');
    ASSERT_TRUE(convert(line + "\r\n", "/P").succeeded);
    EXPECT_EQ(result(), line + "\r\n");
}

TEST_F(LentraInPlace, LineOfExactly254CharactersKeepsItsLineEnd) {
    // Read in pieces of 254, the line end alone would look like a blank line.
    const std::string line(254, 'X');
    ASSERT_TRUE(convert(line + "\r\nM30\r\n", "/P").succeeded);
    EXPECT_EQ(result(), line + "\r\nM30\r\n");
}

TEST_F(LentraInPlace, BlankTailOfALongLineStays) {
    const std::string line = std::string(100, 'X') + std::string(300, ' ');
    ASSERT_TRUE(convert(line + "\r\nM30\r\n", "/P").succeeded);
    EXPECT_EQ(result(), line + "\r\nM30\r\n");
}

TEST_F(LentraInPlace, ReplacementPairsApplyOneAfterTheOther) {
    ASSERT_TRUE(convert("ABCA\r\n", "/R\\41\\42\\42\\43").succeeded);
    EXPECT_EQ(result(), "CCCC\r\n");
}

TEST_F(LentraInPlace, ReplacingByNulKeepsTheRestOfTheLine) {
    ASSERT_TRUE(convert("XAY\r\nZ\r\n", "/R\\41\\00").succeeded);
    EXPECT_EQ(result(), std::string("X\0Y\r\nZ\r\n", 8));
}

TEST_F(LentraInPlace, ReplacingTheLineFeedJoinsLinesAndAnyProducedLineFeedIsCrLf) {
    ASSERT_TRUE(convert("A;B\r\nC\r\n", "/R\\3B\\0A").succeeded);
    EXPECT_EQ(result(), "A\r\nB\r\nC\r\n");
    ASSERT_TRUE(convert("A\r\nB\r\n", "/R\\0A\\20").succeeded);
    EXPECT_EQ(result(), "A B ");
}

TEST_F(LentraInPlace, DropLinesWithPercentSign) {
    ASSERT_TRUE(convert("%\r\nO1000\r\nG01 X1\r\n%\r\n", "/K\\25").succeeded);
    EXPECT_EQ(result(), "O1000\r\nG01 X1\r\n");
}

TEST_F(LentraInPlace, DropLinesJudgesAWholeLongLine) {
    const std::string longLine = std::string(300, 'X') + "%";
    ASSERT_TRUE(convert("A\r\n" + longLine + "\r\nB\r\n", "/K\\25").succeeded);
    EXPECT_EQ(result(), "A\r\nB\r\n");
}

TEST_F(LentraInPlace, DropControlCodesRemovesOnlyDc2AndDc4) {
    ASSERT_TRUE(convert("\x12G01\x13\x14\x11\r\n", "/Z").succeeded);
    EXPECT_EQ(result(), "G01\x13\x11\r\n");
}

TEST_F(LentraInPlace, OnlyTheCarriageReturnOfACrLfPairIsPartOfTheLineEnd) {
    ASSERT_TRUE(convert("X\r\nY\rZ\r\r\n", "/R\\0D\\41").succeeded);
    EXPECT_EQ(result(), "X\r\nYAZA\r\n");
    ASSERT_TRUE(convert("\r\x12\nQ\r", "/Z").succeeded);
    EXPECT_EQ(result(), "\r\r\nQ\r");
}

TEST_F(LentraInPlace, ReplacementOverManyBuffersKeepsEveryLineEnd) {
    std::string program;
    std::string expected;
    for (int i = 0; program.size() < (3u << 20); ++i) {
        const std::string line = std::string("N")
                                     .append(std::to_string(i))
                                     .append(" G01 A")
                                     .append(std::to_string(i % 7));
        program += line + (i % 3 == 0 ? "\n" : "\r\n");
        std::string replaced = line;
        for (char& c : replaced) {
            c = c == 'A' ? 'B' : c;
        }
        expected += replaced + "\r\n";
    }
    ASSERT_TRUE(convert(program, "/R\\41\\42").succeeded);
    EXPECT_EQ(result(), expected);
}

TEST_F(LentraInPlace, TrailerAppendsRepeatedBytes) {
    ASSERT_TRUE(convert("M30\r\n", "/H*03\\00").succeeded);
    EXPECT_EQ(result(), std::string("M30\r\n\0\0\0", 8));
}

TEST_F(LentraInPlace, LeaderWritesTenNulsInFront) {
    ASSERT_TRUE(convert("M30\n", "/L*10\\00").succeeded);
    EXPECT_EQ(result(), std::string(10, '\0') + "M30\n");  // binary: no line-end change
}

TEST_F(LentraInPlace, LeaderAndTrailerWriteTheSharedList) {
    ASSERT_TRUE(convert("X", "/H\\0D/L\\0A").succeeded);
    EXPECT_EQ(result(), "\r\nX\r\n");
}

TEST_F(LentraInPlace, LineOperationSuppressesTrailer) {
    ASSERT_TRUE(convert("A\r\n\r\n", "/P/H\\0D").succeeded);
    EXPECT_EQ(result(), "A\r\n");
}

TEST_F(LentraInPlace, PrecedenceIsPThenRThenKThenZ) {
    ASSERT_TRUE(convert("%A\r\n\r\n", "/Z/K\\25/R\\41\\42/P").succeeded);
    EXPECT_EQ(result(), "%A\r\n");
    ASSERT_TRUE(convert("%A\x12\r\n", "/Z/K\\25/R\\41\\42").succeeded);
    EXPECT_EQ(result(), "%B\x12\r\n");
    ASSERT_TRUE(convert("%A\x12\r\nB\x12\r\n", "/Z/K\\25").succeeded);
    EXPECT_EQ(result(), "B\x12\r\n");
}

TEST_F(LentraInPlace, BlankParametersChangeNothing) {
    const std::string bytes("A\n\n\0\r", 5);
    ASSERT_TRUE(convert(bytes, "    ").succeeded);
    EXPECT_EQ(result(), bytes);
}

TEST_F(LentraInPlace, ParseErrorTouchesNoFile) {
    const ConversionOutcome outcome = convert("A\n", "/R\\41");
    EXPECT_FALSE(outcome.succeeded);
    EXPECT_EQ(outcome.errorText, "Lentra:Nesouhlasi pocet znaku nahrad ('jaky znak kterym')");
    EXPECT_EQ(result(), "A\n");
    EXPECT_FALSE(std::filesystem::exists(directory_.file("PART.$TM")));
}

TEST_F(LentraInPlace, NoWorkFileIsLeftAfterSuccess) {
    ASSERT_TRUE(convert("A\n", "/P").succeeded);
    ASSERT_TRUE(convert("A\n", "/L\\00").succeeded);
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(directory_.path()),
                            std::filesystem::directory_iterator()),
              1);
}

class LentraFiles : public ::testing::Test {
protected:
    TempDirectory directory_;
};

TEST_F(LentraFiles, WorkFileReplacesTheExtension) {
    EXPECT_EQ(workFileName("/a/b/PART.WTX"), "/a/b/PART.$TM");
    EXPECT_EQ(workFileName("/a.d/PART"), "/a.d/PART.$TM");
    EXPECT_EQ(workFileName("PART.1.TXT"), "PART.1.$TM");
}

TEST_F(LentraFiles, MissingOutputFailsWithDeleteTextAndLeavesTheWorkFile) {
    const std::string input = directory_.file("IN.TXT");
    const std::string output = directory_.file("OUT.TXT");
    writeFile(input, "A\r\n");
    for (const char* commands : {"/P", "/R\\41\\42", "/K\\25", "/Z", "/L\\00"}) {
        const ConversionOutcome outcome = convertFile(input, output, commands);
        EXPECT_FALSE(outcome.succeeded) << commands;
        EXPECT_EQ(outcome.errorText, "Nejde vymazat soubor  " + output) << commands;
    }
    EXPECT_TRUE(std::filesystem::exists(directory_.file("OUT.$TM")));
    EXPECT_TRUE(std::filesystem::exists(directory_.file("IN.$TM")));  // leader names it by input
    EXPECT_FALSE(std::filesystem::exists(output));
}

TEST_F(LentraFiles, MissingInputFailsWithOpenText) {
    const std::string input = directory_.file("NONE.TXT");
    const ConversionOutcome outcome = convertFile(input, input, "/P");
    EXPECT_EQ(outcome.errorText, "Chyba pri otvirani souboru " + input);
    EXPECT_EQ(convertFile(input, input, "/H\\00").errorText, "Chyba pri otvirani souboru " + input);
}

TEST_F(LentraFiles, DistinctOutputGetsTheResultAndInputStays) {
    const std::string input = directory_.file("IN.TXT");
    const std::string output = directory_.file("OUT.TXT");
    writeFile(input, "A\n\nB\n");
    writeFile(output, "old");
    ASSERT_TRUE(convertFile(input, output, "/P").succeeded);
    EXPECT_EQ(readFile(output), "A\r\nB\r\n");
    ASSERT_TRUE(convertFile(input, output, "/H\\25").succeeded);
    EXPECT_EQ(readFile(output), "A\n\nB\n%");
    EXPECT_EQ(readFile(input), "A\n\nB\n");
}

TEST_F(LentraFiles, ProgramNamedLikeTheWorkFileIsNotDestroyed) {
    const std::string program = directory_.file("PART.$TM");
    writeFile(program, "A\n\nB\n");
    for (const char* commands : {"/P", "/H\\00", "/L\\00"}) {
        const ConversionOutcome outcome = convertFile(program, program, commands);
        EXPECT_FALSE(outcome.succeeded) << commands;
        EXPECT_EQ(outcome.errorText, "Chyba pri otvirani souboru " + program) << commands;
        EXPECT_EQ(readFile(program), "A\n\nB\n") << commands;
    }
}

TEST_F(LentraFiles, UnreadableInputFailsWithoutReplacingTheOutput) {
    // A directory opens for reading but cannot be read.
    const std::string input = directory_.file("DIR.TXT");
    std::filesystem::create_directory(input);
    const std::string output = directory_.file("OUT.TXT");
    writeFile(output, "good");
    const ConversionOutcome outcome = convertFile(input, output, "/P");
    EXPECT_EQ(outcome.errorText, "Chyba pri cteni souboru " + input);
    EXPECT_EQ(readFile(output), "good");
}

TEST_F(LentraFiles, ProgramLongerThanTheReadBufferIsCopiedWhole) {
    std::string program;
    for (int i = 0; program.size() < (3u << 20); ++i) {
        program.append("N").append(std::to_string(i)).append(" G01 X");
        program.append(std::to_string(i % 977)).append("\r\n");
        if (i % 1000 == 0) {
            program += "   \r\n";
        }
    }
    program += std::string(5 << 20, 'Y') + "\r\n";  // one line longer than the buffer
    const std::string path = directory_.file("BIG.TXT");
    writeFile(path, program);
    ASSERT_TRUE(convertFile(path, path, "/P").succeeded);
    std::string expected;
    std::size_t start = 0;
    while (start < program.size()) {
        const std::size_t end = program.find('\n', start) + 1;
        const std::string line = program.substr(start, end - start);
        if (line != "   \r\n") {
            expected += line;
        }
        start = end;
    }
    EXPECT_EQ(readFile(path), expected);
}

}  // namespace
}  // namespace lentra
