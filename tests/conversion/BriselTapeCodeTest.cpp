#include <gtest/gtest.h>

#include <bit>
#include <map>
#include <set>

#include "conversion/brisel/TapeCodes.h"
#include "conversion/brisel/TapeConversions.h"

namespace brisel {
namespace {

// EIA RS-244 from its rule: a zone (track 6 and 7) plus the BCD value on tracks 1-4, and a
// hole on track 5 whenever that leaves an even number of holes.
unsigned char eiaByRule(unsigned zone, unsigned bcd) {
    unsigned char code = static_cast<unsigned char>(zone | bcd);
    if (std::popcount(code) % 2 == 0) {
        code |= 0x10;
    }
    return code;
}

std::map<char, unsigned char> digitsAndLettersByRule() {
    std::map<char, unsigned char> codes;
    codes['0'] = eiaByRule(0x20, 0);
    for (unsigned d = 1; d <= 9; ++d) {
        codes[static_cast<char>('0' + d)] = eiaByRule(0x00, d);
        codes[static_cast<char>('A' + d - 1)] = eiaByRule(0x60, d);
        codes[static_cast<char>('J' + d - 1)] = eiaByRule(0x40, d);
    }
    for (unsigned d = 2; d <= 9; ++d) {
        codes[static_cast<char>('S' + d - 2)] = eiaByRule(0x20, d);
    }
    return codes;
}

unsigned char isoByRule(unsigned char c) {
    return static_cast<unsigned char>(c | ((std::popcount(c) & 1) << 7));
}

Options defaults() {
    return Options{};
}

TEST(EiaCode, EveryDigitAndLetterFollowsZoneBcdAndParity) {
    const auto codes = digitsAndLettersByRule();
    ASSERT_EQ(codes.size(), 36u);
    std::string text;
    std::string expected;
    for (const auto& [character, code] : codes) {
        EXPECT_EQ(eiaCodeOf(static_cast<unsigned char>(character)), code) << character;
        text += character;
        expected += static_cast<char>(code);
    }
    const Converted tape = textToEia(text, defaults());
    ASSERT_FALSE(tape.failed()) << tape.error();
    EXPECT_EQ(tape.bytes(), expected);
}

TEST(EiaCode, SpecialCharactersHaveTheirCodes) {
    const std::map<char, unsigned char> specials = {
        {' ', 0x10}, {'\t', 0x3E}, {'+', 0x70}, {'-', 0x40}, {'.', 0x6B}, {',', 0x3B},
        {'/', 0x31}, {'(', 0x1A},  {')', 0x4A}, {'%', 0x0B}, {'\b', 0x2A}};
    for (const auto& [character, code] : specials) {
        EXPECT_EQ(eiaCodeOf(static_cast<unsigned char>(character)), code) << int(character);
    }
}

TEST(EiaCode, EveryCodeHasOddParityAndNoTwoAreEqual) {
    std::set<unsigned> seen;
    for (unsigned c = 0; c < 256; ++c) {
        const unsigned code = eiaCodeOf(static_cast<unsigned char>(c));
        if (code == 0) {
            continue;
        }
        EXPECT_EQ(std::popcount(code) % 2, 1) << c;
        EXPECT_EQ(code & 0x80, 0u) << c;
        EXPECT_TRUE(seen.insert(code).second) << "code used twice: " << code;
        EXPECT_EQ(textOfEiaCode(static_cast<std::uint8_t>(code)), c);
    }
}

TEST(EiaCode, TextToEiaEndsBlocksAndDropsCarriageReturns) {
    const Converted tape = textToEia("%\r\nG1\r\n", defaults());
    ASSERT_FALSE(tape.failed());
    const auto rule = digitsAndLettersByRule();
    EXPECT_EQ(tape.bytes(),
              std::string({0x0B, static_cast<char>(0x80), static_cast<char>(rule.at('G')),
                           static_cast<char>(rule.at('1')), static_cast<char>(0x80)}));
}

TEST(EiaCode, CharacterWithoutCodeIsRefusedWithItsLine) {
    const Converted lower = textToEia("G01\r\nx10\r\n", defaults());
    ASSERT_TRUE(lower.failed());
    EXPECT_NE(lower.error().find("\"x\" (0x78) in line 2"), std::string::npos) << lower.error();
    const Converted colon = textToEia("G01\n\n:1\n", defaults());
    EXPECT_NE(colon.error().find("\":\" (0x3A) in line 3"), std::string::npos) << colon.error();
}

TEST(EiaCode, UpperOptionPunchesLowerCaseAsUpperCase) {
    Options upper;
    upper.upperCase = true;
    const Converted low = textToEia("g1x", upper);
    const Converted high = textToEia("G1X", defaults());
    ASSERT_FALSE(low.failed());
    EXPECT_EQ(low.bytes(), high.bytes());
    EXPECT_TRUE(textToEia(":", upper).failed());
}

TEST(EiaCode, LeaderAndTrailerAreBlankTape) {
    Options feed;
    feed.leader = 3;
    feed.trailer = 2;
    const Converted tape = textToEia("1", feed);
    EXPECT_EQ(tape.bytes(), std::string("\0\0\0\x01\0\0", 6));
}

TEST(EiaCode, TapeToTextDropsFeedAndRefusesBadBytes) {
    const Converted text = eiaToText(std::string("\0\x7F\x0B\x80\x61\x80", 6), defaults());
    ASSERT_FALSE(text.failed());
    EXPECT_EQ(text.bytes(), "%\r\nA\r\n");
    const Converted parity = eiaToText(std::string("\x61\x62\x63", 3), defaults());
    ASSERT_TRUE(parity.failed());
    EXPECT_NE(parity.error().find("parity error at offset 2"), std::string::npos) << parity.error();
    // 0x0E has odd parity but is no character's code.
    const Converted unknown = eiaToText("\x61\x0E", defaults());
    EXPECT_NE(unknown.error().find("no EIA code at offset 1"), std::string::npos);
}

TEST(EiaCode, TapeRoundTripsThroughText) {
    const auto rule = digitsAndLettersByRule();
    std::string tape;
    const std::string program = "%\nO1000\nN10 G01 X-1.5 Y+2,0 (A/B)\n\tM30\n%\n";
    for (const char c : program) {
        tape += c == '\n' ? static_cast<char>(0x80)
                          : static_cast<char>(rule.count(c) ? rule.at(c) : eiaCodeOf(c));
    }
    const Converted text = eiaToText(tape, defaults());
    ASSERT_FALSE(text.failed()) << text.error();
    const Converted back = textToEia(text.bytes(), defaults());
    ASSERT_FALSE(back.failed()) << back.error();
    EXPECT_EQ(back.bytes(), tape);
}

TEST(IsoCode, TextToIsoAddsEvenParityAndDropsCarriageReturns) {
    const std::string program = "%\r\nN10 G01 X1.5\r\nM30\r\n%\r\n";
    std::string expected;
    for (const char c : program) {
        if (c != '\r') {
            expected += static_cast<char>(isoByRule(static_cast<unsigned char>(c)));
        }
    }
    const Converted tape = textToIso(program, defaults());
    ASSERT_FALSE(tape.failed());
    EXPECT_EQ(tape.bytes(), expected);
    EXPECT_EQ(static_cast<unsigned char>(tape.bytes()[0]), 0xA5);  // "%" with parity
}

TEST(IsoCode, EveryAsciiCharacterRoundTrips) {
    std::string text;
    for (unsigned c = 1; c < 0x7F; ++c) {
        if (c != '\r' && c != '\n') {
            text += static_cast<char>(c);
        }
    }
    text += "\r\n";
    const Converted tape = textToIso(text, defaults());
    ASSERT_FALSE(tape.failed());
    for (const char b : tape.bytes()) {
        EXPECT_EQ(std::popcount(static_cast<unsigned char>(b)) % 2, 0);
    }
    const Converted back = isoToText(tape.bytes(), defaults());
    ASSERT_FALSE(back.failed());
    EXPECT_EQ(back.bytes(), text);
}

TEST(IsoCode, TapeRoundTripsThroughText) {
    std::string tape;
    for (const char c : std::string("%\nO1000\nN10 G01 X1 (MILL)\nM30\n%\n")) {
        tape += static_cast<char>(isoByRule(static_cast<unsigned char>(c)));
    }
    const Converted text = isoToText(tape, defaults());
    ASSERT_FALSE(text.failed());
    EXPECT_EQ(text.bytes(), "%\r\nO1000\r\nN10 G01 X1 (MILL)\r\nM30\r\n%\r\n");
    const Converted back = textToIso(text.bytes(), defaults());
    EXPECT_EQ(back.bytes(), tape);
}

TEST(IsoCode, TapeToTextIgnoresFeedAndReportsTheFirstParityError) {
    Options lf;
    lf.lineEnd = LineEnd::Lf;
    const std::string tape = std::string("\0\xFF", 2) + static_cast<char>(isoByRule('G')) +
                             static_cast<char>(isoByRule('\r')) + "\n";
    const Converted text = isoToText(tape, lf);
    ASSERT_FALSE(text.failed());
    EXPECT_EQ(text.bytes(), "G\n");
    const Converted bad = isoToText(tape + "C" + "\x01", lf);  // plain "C" has odd parity
    ASSERT_TRUE(bad.failed());
    EXPECT_NE(bad.error().find("parity error at offset 5, byte \"C\" (0x43)"), std::string::npos)
        << bad.error();
}

TEST(IsoCode, EightBitTextIsRefusedAndFeedFramesTheTape) {
    EXPECT_NE(textToIso("A\n\xE9", defaults()).error().find("0xE9 in line 2"), std::string::npos);
    Options feed;
    feed.leader = 2;
    feed.trailer = 1;
    EXPECT_EQ(textToIso(std::string("\0A", 2), feed).bytes(), std::string("\0\0\x41\0", 4));
}

TEST(TextToText, NormalisesLineEndsParityAndFeed) {
    const std::string input = std::string("\0G1\n\xC7", 5) + "2\r\n\xFF" + "M\x8D\x8A";
    EXPECT_EQ(normaliseText(input, defaults()).bytes(), "G1\r\nG2\r\nM\r\n");
    Options lf;
    lf.lineEnd = LineEnd::Lf;
    EXPECT_EQ(normaliseText("A\r\nB\n", lf).bytes(), "A\nB\n");
}

}  // namespace
}  // namespace brisel
