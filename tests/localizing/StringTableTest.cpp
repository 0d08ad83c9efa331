// The string-table compiler and the reader of the embedded layout, without any loading.
#include <gtest/gtest.h>

#include "localizing/StringTableReader.h"
#include "tools/rescomp/StringSource.h"
#include "tools/rescomp/TableWriter.h"

namespace {

using rescomp::LanguageSource;
using rescomp::SourceError;

LanguageSource source(const std::string& text) {
    return rescomp::parseLanguageSource(text, "test.txt");
}

std::vector<std::uint8_t> threeLanguages() {
    return rescomp::buildTable({
        source("language 0x0409\n0 \" \"\n10 \"English\"\n15 \"fifteen\"\n16 \"sixteen\"\n"
               "20 \"only here\"\n"),
        source("language 0x0407\n0 \" \"\n10 \"Deutsch\"\n15 \"fünfzehn\"\n16 \"sechzehn\"\n"
               "20 \"\"\n"),
        source("language 0x0405\n0 \" \"\n10 \"Česky\"\n15 \"patnáct\"\n16 \"šestnáct\"\n"
               "20 \"\"\n"),
    });
}

TEST(StringSource, ReadsEscapesCommentsAndBlanks) {
    const auto s = source(
        "# comment\n\nlanguage 0x0405\n"
        "0 \" \"\n"
        "7   \"say \\\"hi\\\"\\tC:\\\\DNC\\\\\"  \n"
        "8 \"two\\nlines\"\r\n");
    EXPECT_EQ(s.language, 0x0405);
    ASSERT_EQ(s.strings.size(), 3u);
    EXPECT_EQ(s.strings.at(0), u" ");
    EXPECT_EQ(s.strings.at(7), u"say \"hi\"\tC:\\DNC\\");
    EXPECT_EQ(s.strings.at(8), u"two\nlines");
}

TEST(StringSource, RefusesWhatItCannotRead) {
    const char* bad[] = {
        "0 \" \"\n",                            // no language line first
        "language 0x0409\nlanguage 0x0407\n",   // two language lines
        "language 0x0409\n5 \"a\"\n5 \"b\"\n",  // numbers must ascend
        "language 0x0409\n5 \"a\"\n4 \"b\"\n",  // ... strictly
        "language 0x0409\n5 \"open\n",          // closing quote missing
        "language 0x0409\n5 \"a\" b\n",         // text after the quote
        "language 0x0409\n5 \"\\q\"\n",         // unknown escape
        "language 0x0409\n5 unquoted\n",        // not quoted
        "language 0x0409\nfive \"x\"\n",        // not a number
        "language 0x0409\n5 \"\xC3\x28\"\n",    // malformed UTF-8
        "language zz\n",                        // bad code
        "# nothing\n",                          // no language at all
    };
    for (const char* text : bad) {
        EXPECT_THROW(source(text), SourceError) << text;
    }
}

TEST(StringTable, LanguagesMustHoldTheSameNumbers) {
    EXPECT_THROW(rescomp::buildTable({source("language 0x0409\n1 \"a\"\n2 \"b\"\n"),
                                      source("language 0x0407\n1 \"a\"\n")}),
                 SourceError);
    EXPECT_THROW(rescomp::buildTable(
                     {source("language 0x0409\n1 \"a\"\n"), source("language 0x0409\n1 \"a\"\n")}),
                 SourceError);
}

TEST(StringTable, StringsLieInBlocksOfSixteen) {
    const auto table = threeLanguages();
    const loc::StringTableReader reader(table);
    ASSERT_TRUE(reader.valid());
    EXPECT_EQ(reader.languages(), (std::vector<std::uint16_t>{0x0405, 0x0407, 0x0409}));
    // 15 is the last entry of block 1, 16 the first of block 2.
    EXPECT_EQ(reader.find(15, 0x0409), u"fifteen");
    EXPECT_EQ(reader.find(16, 0x0409), u"sixteen");
    EXPECT_EQ(reader.find(10, 0x0405), u"Česky");
    // A number in an existing block without a text is empty; a missing block is none.
    EXPECT_EQ(reader.find(3, 0x0409), u"");
    EXPECT_EQ(reader.find(20, 0x0407), u"");
    EXPECT_EQ(reader.find(40, 0x0409), std::nullopt);
    EXPECT_EQ(reader.find(10, 0x040C), std::nullopt);
    EXPECT_EQ(reader.languagesWithBlock(1).size(), 3u);
    EXPECT_TRUE(reader.languagesWithBlock(9).empty());
}

TEST(StringTable, ResolvesLanguageCodes) {
    const auto table = threeLanguages();
    const loc::StringTableReader reader(table);
    EXPECT_EQ(reader.resolveLanguage(0x0407), 0x0407);
    EXPECT_EQ(reader.resolveLanguage(0x0007), 0x0407);  // primary language only
    EXPECT_EQ(reader.resolveLanguage(0x0000), 0x0409);  // no particular language
    EXPECT_EQ(reader.resolveLanguage(0x0807), std::nullopt);
    EXPECT_EQ(reader.resolveLanguage(0x000C), std::nullopt);
}

TEST(StringTable, DamagedTablesAnswerNothingAndReadNothingOutside) {
    const auto table = threeLanguages();
    for (std::size_t cut = 0; cut < table.size(); cut += 7) {
        const std::vector<std::uint8_t> damaged(table.begin(), table.begin() + cut);
        const loc::StringTableReader reader(damaged);
        for (std::uint16_t code : {0x0405, 0x0407, 0x0409}) {
            (void)reader.find(16, code);
            (void)reader.find(10, code);
        }
    }
    std::vector<std::uint8_t> wrongMagic = table;
    wrongMagic[0] = 'X';
    EXPECT_FALSE(loc::StringTableReader(wrongMagic).valid());
    // An offset pointing far outside the table.
    std::vector<std::uint8_t> badOffset = table;
    badOffset[12] = 0xFF;
    badOffset[13] = 0xFF;
    EXPECT_EQ(loc::StringTableReader(badOffset).find(10, 0x0405), std::nullopt);
}

TEST(StringTable, SourceExportsTheTableUnderItsSymbols) {
    const std::string src = rescomp::tableSource({1, 2, 255});
    EXPECT_NE(src.find("kTable[] = {"), std::string::npos);
    EXPECT_NE(src.find("1, 2, 255,"), std::string::npos);
    EXPECT_NE(src.find("FerixStringTable(std::uint32_t* size)"), std::string::npos);
    EXPECT_NE(src.find("*size = 3;"), std::string::npos);
}

}  // namespace
