#include "localizing/Utf16Text.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <stdexcept>
#include <string>
#include <string_view>
#include <utility>

#include "localizing/NfcTables.h"

namespace {

using loc::utf16ToUtf8Nfc;
using loc::utf8PrefixLength;
using loc::utf8ToUtf16;

// The message of the exception utf8ToUtf16 throws, or "" when it accepts the input.
std::string rejection(std::string_view utf8) {
    try {
        utf8ToUtf16(utf8);
    } catch (const std::invalid_argument& e) {
        return e.what();
    }
    return "";
}

bool mentions(const std::string& message, const std::string& part) {
    return message.find(part) != std::string::npos;
}

// UTF-16 for one scalar value, built independently of the code under test.
std::u16string utf16Of(char32_t cp) {
    if (cp < 0x10000) {
        return std::u16string(1, static_cast<char16_t>(cp));
    }
    const char32_t offset = cp - 0x10000;
    return {static_cast<char16_t>(0xD800 + (offset >> 10)),
            static_cast<char16_t>(0xDC00 + (offset & 0x3FF))};
}

// --- Text that is already in NFC passes through both directions unchanged. ---

TEST(Utf16TextRoundTrip, AsciiIsCopied) {
    const std::u16string ascii = u"N100 G01 X12.5 Y-3 F200 ; tool 7\r\n\t~";
    EXPECT_EQ(utf16ToUtf8Nfc(ascii), "N100 G01 X12.5 Y-3 F200 ; tool 7\r\n\t~");
    EXPECT_EQ(utf8ToUtf16("N100 G01 X12.5 Y-3 F200 ; tool 7\r\n\t~"), ascii);
    EXPECT_EQ(utf16ToUtf8Nfc(std::u16string(u"a\0b", 3)), std::string("a\0b", 3));
    EXPECT_EQ(utf16ToUtf8Nfc(u""), "");
    EXPECT_EQ(utf8ToUtf16(""), u"");
}

TEST(Utf16TextRoundTrip, CzechAndGermanText) {
    const std::pair<std::u16string, std::string> texts[] = {
        {u"Česky", "Česky"},
        {u"Komunikace není aktivována", "Komunikace není aktivována"},
        {u"Übertragung", "Übertragung"},
        {u"ß", "ß"},
        {u"Příliš žluťoučký kůň úpěl ďábelské ódy", "Příliš žluťoučký kůň úpěl ďábelské ódy"},
        {u"Größe ÄÖÜ äöü", "Größe ÄÖÜ äöü"},
    };
    for (const auto& [utf16, utf8] : texts) {
        EXPECT_EQ(utf16ToUtf8Nfc(utf16), utf8);
        EXPECT_EQ(utf8ToUtf16(utf8), utf16);
    }
    EXPECT_EQ(utf16ToUtf8Nfc(u"Česky"),
              "\xC4\x8C"
              "esky");
    EXPECT_EQ(utf16ToUtf8Nfc(u"ß"), "\xC3\x9F");
}

TEST(Utf16TextRoundTrip, EveryScalarValueIsStableAfterOneNormalization) {
    // Normalizing twice must not change anything, and the UTF-8 produced must be accepted
    // by the strict decoder; catches encoder slips at the length boundaries and compositions
    // whose result would itself decompose or compose further.
    for (char32_t cp = 0; cp <= 0x10FFFF; ++cp) {
        if (cp >= 0xD800 && cp <= 0xDFFF) {
            continue;
        }
        const std::string once = utf16ToUtf8Nfc(utf16Of(cp));
        std::u16string back;
        ASSERT_NO_THROW(back = utf8ToUtf16(once))
            << std::hex << "U+" << static_cast<std::uint32_t>(cp);
        ASSERT_EQ(utf16ToUtf8Nfc(back), once) << std::hex << "U+" << static_cast<std::uint32_t>(cp);
    }
}

// --- Composition. ---

TEST(Utf16TextNfc, DecomposedInputIsComposed) {
    EXPECT_EQ(utf16ToUtf8Nfc(u"C\u030Cesky"), "Česky");
    EXPECT_EQ(utf16ToUtf8Nfc(u"Komunikace neni\u0301 aktivova\u0301na"),
              "Komunikace není aktivována");
    EXPECT_EQ(utf16ToUtf8Nfc(u"U\u0308bertragung"), "Übertragung");
    EXPECT_EQ(utf16ToUtf8Nfc(u"A\u030A"), "\u00C5");
}

TEST(Utf16TextNfc, MarksAreOrderedByClassBeforeComposing) {
    // Dot below (220) sorts before circumflex (230) whichever is typed first.
    EXPECT_EQ(utf16ToUtf8Nfc(u"a\u0323\u0302"), "\u1EAD");
    EXPECT_EQ(utf16ToUtf8Nfc(u"a\u0302\u0323"), "\u1EAD");
    // Horn (216) before dot below (220), composing in two steps.
    EXPECT_EQ(utf16ToUtf8Nfc(u"o\u031B\u0323"), "\u1EE3");
    EXPECT_EQ(utf16ToUtf8Nfc(u"o\u0323\u031B"), "\u1EE3");
    EXPECT_EQ(utf16ToUtf8Nfc(u"e\u0301\u0327"), "\u0229\u0301");
    // Marks of equal class keep their order.
    EXPECT_EQ(utf16ToUtf8Nfc(u"a\u0301\u0300"), "\u00E1\u0300");
    EXPECT_EQ(utf16ToUtf8Nfc(u"a\u0300\u0301"), "\u00E0\u0301");
}

TEST(Utf16TextNfc, CompositionStopsAtBlockingMarks) {
    // Once the dot below has composed, the acute has no composite with the result.
    EXPECT_EQ(utf16ToUtf8Nfc(u"a\u0301\u0323"), "\u1EA1\u0301");
    // A second mark of the same class is blocked by the first.
    EXPECT_EQ(utf16ToUtf8Nfc(u"a\u0301\u0301"), "\u00E1\u0301");
    // ... even when the first never composes.
    EXPECT_EQ(utf16ToUtf8Nfc(u"a\u0305\u0301"), "a\u0305\u0301");
    // A mark of lower class does not block.
    EXPECT_EQ(utf16ToUtf8Nfc(u"a\u0316\u0301"), "\u00E1\u0316");
    // A mark between two starters keeps them apart.
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u1100\u0301\u1161"), "\u1100\u0301\u1161");
}

TEST(Utf16TextNfc, DecompositionIsRecursiveAndRecomposes) {
    EXPECT_EQ(utf16ToUtf8Nfc(u"s\u0307\u0323"), "\u1E69");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u1E0B\u0323"), "\u1E0D\u0307");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u1E9B\u0323"), "\u1E9B\u0323");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u03B1\u0313\u0300\u0345"), "\u1F82");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u212B\u0323"), "\u1EA0\u030A");
}

TEST(Utf16TextNfc, StartersComposeWithEachOther) {
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u0CC6\u0CC2\u0CD5"), "\u0CCB");
}

TEST(Utf16TextNfc, CompositionAboveTheBasicPlane) {
    EXPECT_EQ(utf16ToUtf8Nfc(u"\U00011099\U000110BA"), "\U0001109A");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\U0001109A"), "\U0001109A");
}

TEST(Utf16TextNfc, LeadingMarksAreKept) {
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u0301"), "\u0301");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u0301a"), "\u0301a");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u0323\u0301a\u0301"), "\u0323\u0301\u00E1");
}

TEST(Utf16TextNfc, ExcludedCharactersStayDecomposed) {
    // Listed exclusions, in and above the basic plane.
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u0958"), "\u0915\u093C");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u0915\u093C"), "\u0915\u093C");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\uFB1D"), "\u05D9\u05B4");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u2ADC"), "\u2ADD\u0338");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\U0001D15E"), "\U0001D157\U0001D165");
    // Non-starter decompositions.
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u0344"), "\u0308\u0301");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u0F73"), "\u0F71\u0F72");
}

TEST(Utf16TextNfc, SingletonsAreReplaced) {
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u212B"), "\u00C5");  // angstrom sign
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u2126"), "\u03A9");  // ohm sign
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u0340"), "\u0300");
}

TEST(Utf16TextNfc, CompatibilityCharactersAreKept) {
    EXPECT_EQ(utf16ToUtf8Nfc(u"\uFB01 \u00B2 \u2460 \uFF21"), "\uFB01 \u00B2 \u2460 \uFF21");
}

TEST(Utf16TextNfc, HangulJamoCompose) {
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u1100\u1161\u11A8"), "\uAC01");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u1100\u1161"), "\uAC00");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u1112\u1175\u11C2"), "\uD7A3");  // last syllable
    EXPECT_EQ(utf16ToUtf8Nfc(u"\uAC00\u11A8"), "\uAC01");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\uAC01"), "\uAC01");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\uD55C\uAD6D\uC5B4"), "\uD55C\uAD6D\uC5B4");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u1112\u1161\u11AB\u1100\u116E\u11A8"), "\uD55C\uAD6D");
}

TEST(Utf16TextNfc, HangulStopsAtCompleteSyllables) {
    // A syllable that already has a trailing consonant takes no second one.
    EXPECT_EQ(utf16ToUtf8Nfc(u"\uAC01\u11A8"), "\uAC01\u11A8");
    // U+11A7 sits just below the trailing consonants and is not one.
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u1100\u1161\u11A7"), "\uAC00\u11A7");
    // Two leading consonants, or a vowel first, do not form a syllable.
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u1100\u1100\u1161"), "\u1100\uAC00");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\u1161\u11A8"), "\u1161\u11A8");
}

// --- Surrogates. ---

TEST(Utf16TextSurrogates, PairsEncodeToFourBytes) {
    EXPECT_EQ(utf16ToUtf8Nfc(u"\U0001F600"), "\xF0\x9F\x98\x80");
    EXPECT_EQ(utf16ToUtf8Nfc(u"ok \U0001F44D!"), "ok \xF0\x9F\x91\x8D!");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\U00010000"), "\xF0\x90\x80\x80");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\U0010FFFF"), "\xF4\x8F\xBF\xBF");
    EXPECT_EQ(utf8ToUtf16("\xF0\x9F\x98\x80"), u"\U0001F600");
}

TEST(Utf16TextSurrogates, UnpairedBecomeReplacementCharacter) {
    const std::string replacement = "\xEF\xBF\xBD";
    EXPECT_EQ(utf16ToUtf8Nfc(u"a\xD800"), "a" + replacement);
    EXPECT_EQ(utf16ToUtf8Nfc(u"\xDC00z"), replacement + "z");
    EXPECT_EQ(utf16ToUtf8Nfc(u"\xD83D"
                             u"x"),
              replacement + "x");
    // Low before high is not a pair.
    EXPECT_EQ(utf16ToUtf8Nfc(u"\xDE00\xD83D"), replacement + replacement);
    // A lone high surrogate does not swallow the pair that follows it.
    EXPECT_EQ(utf16ToUtf8Nfc(u"\xD83D\xD83D\xDE00"), replacement + "\xF0\x9F\x98\x80");
    // A high surrogate at the end of a view is unpaired even if its partner follows in memory.
    const std::u16string emoji = u"\U0001F600";
    EXPECT_EQ(utf16ToUtf8Nfc(std::u16string_view(emoji).substr(0, 1)), replacement);
    // The replacement is a starter: the mark after it does not reach back to the letter.
    EXPECT_EQ(utf16ToUtf8Nfc(u"a\xD800\u0301"), "a" + replacement + "\u0301");
}

// --- Strict UTF-8 decoding. ---

TEST(Utf8ToUtf16, AcceptsEveryEncodingLengthAtItsLimits) {
    EXPECT_EQ(utf8ToUtf16("\x7F"), u"\x7F");
    EXPECT_EQ(utf8ToUtf16("\xC2\x80"), u"\x80");
    EXPECT_EQ(utf8ToUtf16("\xDF\xBF"), u"\u07FF");
    EXPECT_EQ(utf8ToUtf16("\xE0\xA0\x80"), u"\u0800");
    EXPECT_EQ(utf8ToUtf16("\xED\x9F\xBF"), u"\uD7FF");
    EXPECT_EQ(utf8ToUtf16("\xEE\x80\x80"), u"\uE000");
    EXPECT_EQ(utf8ToUtf16("\xEF\xBF\xBF"), u"\uFFFF");
    EXPECT_EQ(utf8ToUtf16("\xF0\x90\x80\x80"), u"\U00010000");
    EXPECT_EQ(utf8ToUtf16("\xF4\x8F\xBF\xBF"), u"\U0010FFFF");
}

TEST(Utf8ToUtf16, DoesNotNormalize) {
    EXPECT_EQ(utf8ToUtf16("C\xCC\x8C"
                          "esky"),
              u"C\u030Cesky");
    EXPECT_EQ(utf8ToUtf16("\xE2\x84\xAB"), u"\u212B");
}

TEST(Utf8ToUtf16, RejectsOverlongForms) {
    EXPECT_TRUE(mentions(rejection("ab\xC0\x80"), "offset 2"));
    EXPECT_TRUE(mentions(rejection("\xC1\xBF"), "offset 0"));
    EXPECT_TRUE(mentions(rejection("\xE0\x9F\xBF"), "offset 0"));
    EXPECT_TRUE(mentions(rejection("x\xF0\x8F\xBF\xBF"), "offset 1"));
    EXPECT_TRUE(mentions(rejection("\xE0\x80\xAF"), "overlong"));
}

TEST(Utf8ToUtf16, RejectsEncodedSurrogates) {
    EXPECT_TRUE(mentions(rejection("\xED\xA0\x80"), "offset 0"));
    EXPECT_TRUE(mentions(rejection("abc\xED\xBF\xBF"), "offset 3"));
    // A surrogate pair spelled as two three-byte sequences.
    EXPECT_TRUE(mentions(rejection("\xED\xA0\xBD\xED\xB8\x80"), "surrogate"));
}

TEST(Utf8ToUtf16, RejectsValuesAboveTheLastCodePoint) {
    EXPECT_TRUE(mentions(rejection("\xF4\x90\x80\x80"), "offset 0"));
    EXPECT_TRUE(mentions(rejection("ok\xF5\x80\x80\x80"), "offset 2"));
    EXPECT_TRUE(mentions(rejection("\xF7\xBF\xBF\xBF"), "offset 0"));
    EXPECT_TRUE(mentions(rejection("\xF8\x88\x80\x80\x80"), "offset 0"));
    EXPECT_TRUE(mentions(rejection("\xFF"), "offset 0"));
}

TEST(Utf8ToUtf16, RejectsTruncatedSequences) {
    EXPECT_TRUE(mentions(rejection("x\xC3"), "offset 1"));
    EXPECT_TRUE(mentions(rejection("\xE2\x82"), "offset 0"));
    EXPECT_TRUE(mentions(rejection("\xF0\x9F\x98"), "offset 0"));
    // Cut short by the next character rather than by the end.
    EXPECT_TRUE(mentions(rejection("ab\xE2\x82"
                                   "c"),
                         "offset 2"));
    EXPECT_TRUE(mentions(rejection("\xF0\x9F\x98\xF0\x9F\x98\x80"), "offset 0"));
    EXPECT_TRUE(mentions(rejection("\xC3"
                                   "\xC3\xA4"),
                         "truncated"));
}

TEST(Utf8ToUtf16, RejectsStrayContinuationBytes) {
    EXPECT_TRUE(mentions(rejection("\x80"), "offset 0"));
    EXPECT_TRUE(mentions(rejection("\xC3\xA4\xA4"), "offset 2"));
    EXPECT_TRUE(mentions(rejection("\xF0\x9F\x98\x80\x80"), "offset 4"));
}

TEST(Utf8ToUtf16, ReportsTheFirstFault) {
    EXPECT_TRUE(mentions(rejection("\xC3\xA4 \xC0\xAF \xED\xA0\x80"), "offset 3"));
}

// --- Cutting UTF-8 to a byte limit. ---

TEST(Utf8PrefixLength, NeverSplitsACharacter) {
    const std::string text = "Č\xE2\x82\xAC\xF0\x9F\x98\x80x";  // 2, 3, 4 and 1 bytes
    const std::size_t expected[] = {0, 0, 2, 2, 2, 5, 5, 5, 5, 9, 10, 10, 10};
    for (std::size_t limit = 0; limit < std::size(expected); ++limit) {
        EXPECT_EQ(utf8PrefixLength(text, limit), expected[limit]) << "limit " << limit;
    }
}

TEST(Utf8PrefixLength, PrefixIsTheLongestThatDecodes) {
    const std::string text = "Komunikace není aktivována: Übertragung ß \xF0\x9F\x98\x80 \uD55C";
    for (std::size_t limit = 0; limit <= text.size() + 1; ++limit) {
        const std::size_t length = utf8PrefixLength(text, limit);
        ASSERT_LE(length, limit);
        ASSERT_NO_THROW(utf8ToUtf16(text.substr(0, length))) << "limit " << limit;
        // One more character would exceed the limit.
        for (std::size_t longer = length + 1; longer <= std::min(limit, text.size()); ++longer) {
            ASSERT_FALSE(rejection(text.substr(0, longer)).empty()) << "limit " << limit;
        }
    }
}

TEST(Utf8PrefixLength, DropsATruncatedTail) {
    EXPECT_EQ(utf8PrefixLength("ab\xE2\x82", 10), 2u);
    EXPECT_EQ(utf8PrefixLength("ab\xE2\x82", 4), 2u);
    EXPECT_EQ(utf8PrefixLength("", 5), 0u);
}

// --- The generated tables. ---

TEST(NfcTables, CombiningClasses) {
    EXPECT_EQ(loc::nfc::combiningClass(U'A'), 0);
    EXPECT_EQ(loc::nfc::combiningClass(0x0300), 230);  // first mark
    EXPECT_EQ(loc::nfc::combiningClass(0x0334), 1);
    EXPECT_EQ(loc::nfc::combiningClass(0x0345), 240);
    EXPECT_EQ(loc::nfc::combiningClass(0x05B0), 10);
    EXPECT_EQ(loc::nfc::combiningClass(0x034F), 0);  // inside a run of marks, but a starter
    EXPECT_EQ(loc::nfc::combiningClass(0x1D165), 216);
    EXPECT_EQ(loc::nfc::combiningClass(0x1E94A), 7);  // last mark
    EXPECT_EQ(loc::nfc::combiningClass(0x1E94B), 0);
    EXPECT_EQ(loc::nfc::combiningClass(0x10FFFF), 0);
}

TEST(NfcTables, CanonicalMappings) {
    const auto ring = loc::nfc::canonicalMapping(0x00C5);
    ASSERT_TRUE(ring.has_value());
    EXPECT_EQ(ring->first, U'A');
    EXPECT_EQ(ring->second, char32_t{0x030A});
    const auto angstrom = loc::nfc::canonicalMapping(0x212B);
    ASSERT_TRUE(angstrom.has_value());
    EXPECT_EQ(angstrom->first, char32_t{0x00C5});
    EXPECT_EQ(angstrom->second, char32_t{0});
    EXPECT_FALSE(loc::nfc::canonicalMapping(U'A').has_value());
    EXPECT_FALSE(loc::nfc::canonicalMapping(0xFB01).has_value());  // compatibility only
    EXPECT_FALSE(loc::nfc::canonicalMapping(0x10FFFF).has_value());
}

TEST(NfcTables, PrimaryComposites) {
    EXPECT_EQ(loc::nfc::primaryComposite(U'A', 0x030A), char32_t{0x00C5});
    EXPECT_EQ(loc::nfc::primaryComposite(0x11099, 0x110BA), char32_t{0x1109A});
    EXPECT_EQ(loc::nfc::primaryComposite(0x0915, 0x093C), char32_t{0});  // excluded
    EXPECT_EQ(loc::nfc::primaryComposite(0x0308, 0x0301), char32_t{0});  // non-starter
    EXPECT_EQ(loc::nfc::primaryComposite(U'A', 0x0301), char32_t{0x00C1});
    EXPECT_EQ(loc::nfc::primaryComposite(0x0301, U'A'), char32_t{0});
}

}  // namespace
