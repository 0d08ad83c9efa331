#include <gtest/gtest.h>

#include "conversion/lentra/LentraCommands.h"
#include "conversion/lentra/LentraMessages.h"

namespace lentra {
namespace {

int errorOf(std::string_view text) {
    return parseCommands(text).error;
}

TEST(LentraCommandParsing, RefusesMalformedCommandsWithTheirCodes) {
    EXPECT_EQ(errorOf("/R\\41"), kUnpairedReplacement);
    EXPECT_EQ(errorOf("/R"), kBadCommandEnd);
    EXPECT_EQ(errorOf("/H"), kBadCommandEnd);
    EXPECT_EQ(errorOf("/X"), kForbiddenCharacter);
    EXPECT_EQ(errorOf("/p"), kForbiddenCharacter);
    EXPECT_EQ(errorOf("P"), kNoSlashBeforePOrZ);
    EXPECT_EQ(errorOf("//"), kMisplacedSlash);
    EXPECT_EQ(errorOf("H"), kNoSlashBeforeH);
    EXPECT_EQ(errorOf("/P*"), kMisplacedStar);
    EXPECT_EQ(errorOf("/P\\41"), kMisplacedBackslash);
    EXPECT_EQ(errorOf("/HA"), kMisplacedHexDigit);
    EXPECT_EQ(errorOf("/H1"), kMisplacedDigit);
    EXPECT_EQ(errorOf("L"), kNoSlashBeforeCommand);
    EXPECT_EQ(errorOf("/PR"), kNoSlashBeforeCommand);
    EXPECT_EQ(errorOf("/PK"), kNoSlashBeforeCommand);
    EXPECT_EQ(errorOf("/H*0"), kBadCommandEnd);
    EXPECT_EQ(errorOf("/H*03"), kBadCommandEnd);
    EXPECT_EQ(errorOf("/H\\4"), kBadCommandEnd);
    EXPECT_EQ(errorOf("/H\\4a"), kForbiddenCharacter);
}

TEST(LentraCommandParsing, StopsAtTheFirstError) {
    // "/X" fails at X before the later unpaired replacement could be noticed.
    EXPECT_EQ(errorOf("/X/R\\41"), kForbiddenCharacter);
    EXPECT_EQ(errorOf("P/X"), kNoSlashBeforePOrZ);
}

TEST(LentraCommandParsing, BlanksTabsAndLineFeedsAreRemovedEverywhere) {
    const ParseResult parsed = parseCommands(" / H \t* 0 3\n\\ 0 D ");
    ASSERT_EQ(parsed.error, kNoError);
    ASSERT_EQ(parsed.commands.byteList.size(), 1u);
    EXPECT_EQ(parsed.commands.byteList[0].character, 0x0D);
    EXPECT_EQ(parsed.commands.byteList[0].repeat, 3u);
    // A carriage return is not one of them.
    EXPECT_EQ(errorOf("/P\r"), kForbiddenCharacter);
}

TEST(LentraCommandParsing, EmptyOrBlankStringTurnsNothingOn) {
    for (const char* text : {"", "   ", "\t\n"}) {
        const ParseResult parsed = parseCommands(text);
        EXPECT_EQ(parsed.error, kNoError);
        EXPECT_FALSE(parsed.commands.anyLineOperation());
        EXPECT_FALSE(parsed.commands.trailer || parsed.commands.leader);
    }
}

TEST(LentraCommandParsing, ByteListCountsApplyToTheFollowingCharacterOnly) {
    const ParseResult parsed = parseCommands("/H*03\\00\\0D*00\\0A*02*05\\FF");
    ASSERT_EQ(parsed.error, kNoError);
    const auto& list = parsed.commands.byteList;
    ASSERT_EQ(list.size(), 4u);
    EXPECT_EQ(list[0].character, 0x00);
    EXPECT_EQ(list[0].repeat, 3u);
    EXPECT_EQ(list[1].character, 0x0D);
    EXPECT_EQ(list[1].repeat, 1u);
    EXPECT_EQ(list[2].repeat, 0u);
    EXPECT_EQ(list[3].character, 0xFF);
    EXPECT_EQ(list[3].repeat, 5u);  // the later count replaces the earlier one
}

TEST(LentraCommandParsing, LeaderAndTrailerShareOneList) {
    const ParseResult parsed = parseCommands("/H\\0D/L\\0A");
    ASSERT_EQ(parsed.error, kNoError);
    EXPECT_TRUE(parsed.commands.trailer);
    EXPECT_TRUE(parsed.commands.leader);
    ASSERT_EQ(parsed.commands.byteList.size(), 2u);
    EXPECT_EQ(parsed.commands.byteList[0].character, 0x0D);
    EXPECT_EQ(parsed.commands.byteList[1].character, 0x0A);
}

TEST(LentraCommandParsing, FilterCharacterIsTheLastOneGiven) {
    const ParseResult parsed = parseCommands("/H\\41/K\\25\\26");
    ASSERT_EQ(parsed.error, kNoError);
    EXPECT_TRUE(parsed.commands.dropLinesWith);
    EXPECT_EQ(parsed.commands.filterCharacter, 0x26);
}

TEST(LentraCommandParsing, ReplacementPairsAlternateFromAndTo) {
    const ParseResult parsed = parseCommands("/R\\41\\42\\42\\43");
    ASSERT_EQ(parsed.error, kNoError);
    ASSERT_EQ(parsed.commands.pairs.size(), 2u);
    EXPECT_EQ(parsed.commands.pairs[1].from, 0x42);
    EXPECT_EQ(parsed.commands.pairs[1].to, 0x43);
    EXPECT_TRUE(parsed.commands.byteList.empty());
}

TEST(LentraCommandParsing, ElevenPairsAreTheLimit) {
    std::string eleven = "/R";
    for (int i = 0; i < 11; ++i) {
        eleven += "\\41\\42";
    }
    EXPECT_EQ(errorOf(eleven), kNoError);
    EXPECT_EQ(errorOf(eleven + "\\43"), kTooManyReplacements);
}

TEST(LentraCommandParsing, SecondReplaceCommandKeepsTheEarlierPairs) {
    const ParseResult parsed = parseCommands("/R\\41\\42/R\\43\\44");
    ASSERT_EQ(parsed.error, kNoError);
    ASSERT_EQ(parsed.commands.pairs.size(), 2u);
    EXPECT_EQ(parsed.commands.pairs[0].from, 0x41);
    // An unfinished pair is not completed by the next command's first character.
    EXPECT_EQ(errorOf("/R\\41/R\\42\\43"), kUnpairedReplacement);
}

TEST(LentraCommandParsing, TenListCharactersFitAnEleventhIsRefused) {
    std::string ten = "/H";
    for (int i = 0; i < 10; ++i) {
        ten += "\\0" + std::to_string(i);
    }
    EXPECT_EQ(errorOf(ten), kNoError);
    EXPECT_EQ(errorOf(ten + "/L\\0A"), kByteListFull);
}

TEST(LentraCommandParsing, CommandLongerThan255CharactersAfterCleaningIsRefused) {
    // Blanks do not count: they are removed before the length is checked.
    const std::string padded = std::string(300, ' ') + "/P";
    EXPECT_EQ(errorOf(padded), kNoError);
    std::string tooLong(kMaxCommandLength + 1, '/');
    EXPECT_EQ(errorOf(tooLong), kCommandTooLong);
    std::string atLimit = "/P";
    while (atLimit.size() + 2 <= kMaxCommandLength) {
        atLimit += "/P";
    }
    EXPECT_EQ(errorOf(atLimit), kNoError);
    EXPECT_EQ(errorOf(atLimit + "/P"), kCommandTooLong);
}

TEST(LentraMessages, EveryCodeHasItsText) {
    EXPECT_EQ(parseErrorText(1), "Lentra:Chybne umisteni lomitka");
    EXPECT_EQ(parseErrorText(4), "Lentra:Chybne umisteni obraceneho lomitka");
    EXPECT_EQ(parseErrorText(10), "Lentra:Pred U nebo R nebo K neni lomitko");
    EXPECT_EQ(parseErrorText(12), "Lentra:Nesouhlasi pocet znaku nahrad ('jaky znak kterym')");
    EXPECT_EQ(parseErrorText(99), "Lentra:Neznama chyba");
    EXPECT_EQ(parseErrorText(0), "Lentra:Neznama chyba");
    EXPECT_NE(parseErrorText(kByteListFull), parseErrorText(99));
    EXPECT_NE(parseErrorText(kCommandTooLong), parseErrorText(99));
}

}  // namespace
}  // namespace lentra
