#include "localizing/Utf16Text.h"

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <vector>

#include "localizing/NfcTables.h"

namespace loc {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

// Hangul syllables are composed of jamo by arithmetic instead of by table.
constexpr char32_t kHangulBase = 0xAC00;
constexpr char32_t kLeadBase = 0x1100;
constexpr char32_t kVowelBase = 0x1161;
constexpr char32_t kTrailBase = 0x11A7;  // one below the first trailing consonant
constexpr char32_t kLeadCount = 19;
constexpr char32_t kVowelCount = 21;
constexpr char32_t kTrailCount = 28;  // including "no trailing consonant"
constexpr char32_t kSyllablesPerLead = kVowelCount * kTrailCount;
constexpr char32_t kSyllableCount = kLeadCount * kSyllablesPerLead;

struct Mark {
    char32_t cp;
    std::uint8_t ccc;
};

bool isHighSurrogate(char16_t unit) {
    return unit >= 0xD800 && unit <= 0xDBFF;
}
bool isLowSurrogate(char16_t unit) {
    return unit >= 0xDC00 && unit <= 0xDFFF;
}

void appendDecomposed(char32_t cp, std::vector<Mark>& out) {
    if (cp >= kHangulBase && cp < kHangulBase + kSyllableCount) {
        const char32_t index = cp - kHangulBase;
        out.push_back({kLeadBase + index / kSyllablesPerLead, 0});
        out.push_back({kVowelBase + index % kSyllablesPerLead / kTrailCount, 0});
        if (const char32_t trail = index % kTrailCount; trail != 0) {
            out.push_back({kTrailBase + trail, 0});
        }
        return;
    }
    // Nothing below the Latin-1 letters decomposes; skips the lookups for most text.
    if (cp >= 0xC0) {
        if (const auto mapping = nfc::canonicalMapping(cp)) {
            appendDecomposed(mapping->first, out);
            if (mapping->second != 0) {
                appendDecomposed(mapping->second, out);
            }
            return;
        }
    }
    out.push_back({cp, cp < 0x300 ? std::uint8_t{0} : nfc::combiningClass(cp)});
}

// Stable sort of each run of non-starters by combining class.
void orderMarks(std::vector<Mark>& text) {
    for (std::size_t i = 1; i < text.size(); ++i) {
        const Mark mark = text[i];
        if (mark.ccc == 0) {
            continue;
        }
        std::size_t j = i;
        while (j > 0 && text[j - 1].ccc > mark.ccc) {
            text[j] = text[j - 1];
            --j;
        }
        text[j] = mark;
    }
}

char32_t compose(char32_t first, char32_t second) {
    if (first >= kLeadBase && first < kLeadBase + kLeadCount && second >= kVowelBase &&
        second < kVowelBase + kVowelCount) {
        return kHangulBase +
               ((first - kLeadBase) * kVowelCount + (second - kVowelBase)) * kTrailCount;
    }
    if (first >= kHangulBase && first < kHangulBase + kSyllableCount &&
        (first - kHangulBase) % kTrailCount == 0 && second > kTrailBase &&
        second < kTrailBase + kTrailCount) {
        return first + (second - kTrailBase);
    }
    return nfc::primaryComposite(first, second);
}

// Canonical composition in place: each character joins the last starter unless a character
// between them has a class equal to or above its own.
void composeMarks(std::vector<Mark>& text) {
    if (text.empty()) {
        return;
    }
    std::size_t starter = 0;
    // Nothing composes onto a leading non-starter; 256 is above every class.
    int lastClass = text[0].ccc == 0 ? 0 : 256;
    std::size_t kept = 1;
    for (std::size_t i = 1; i < text.size(); ++i) {
        const Mark mark = text[i];
        if (lastClass == 0 || lastClass < mark.ccc) {
            if (const char32_t composite = compose(text[starter].cp, mark.cp); composite != 0) {
                text[starter].cp = composite;
                continue;
            }
        }
        if (mark.ccc == 0) {
            starter = kept;
        }
        lastClass = mark.ccc;
        text[kept++] = mark;
    }
    text.resize(kept);
}

void appendUtf8(char32_t cp, std::string& out) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

[[noreturn]] void throwMalformed(std::size_t offset, const char* reason) {
    throw std::invalid_argument("malformed UTF-8 at byte offset " + std::to_string(offset) + ": " +
                                reason);
}

bool isContinuation(unsigned char byte) {
    return (byte & 0xC0) == 0x80;
}

// Sequence length announced by a lead byte; 1 for ASCII and for bytes that cannot lead.
std::size_t sequenceLength(unsigned char lead) {
    if (lead >= 0xF0 && lead <= 0xF4) {
        return 4;
    }
    if (lead >= 0xE0 && lead <= 0xEF) {
        return 3;
    }
    if (lead >= 0xC2 && lead <= 0xDF) {
        return 2;
    }
    return 1;
}

}  // namespace

std::string utf16ToUtf8Nfc(std::u16string_view text) {
    std::string out;
    out.reserve(text.size());
    bool ascii = true;
    for (const char16_t unit : text) {
        ascii = ascii && unit < 0x80;
    }
    if (ascii) {
        for (const char16_t unit : text) {
            out.push_back(static_cast<char>(unit));
        }
        return out;
    }

    std::vector<Mark> marks;
    marks.reserve(text.size() + text.size() / 2);
    for (std::size_t i = 0; i < text.size(); ++i) {
        char32_t cp = text[i];
        if (isHighSurrogate(text[i]) && i + 1 < text.size() && isLowSurrogate(text[i + 1])) {
            cp = 0x10000 + ((cp - 0xD800) << 10) + (text[i + 1] - 0xDC00);
            ++i;
        } else if (isHighSurrogate(text[i]) || isLowSurrogate(text[i])) {
            cp = kReplacement;
        }
        appendDecomposed(cp, marks);
    }
    orderMarks(marks);
    composeMarks(marks);
    for (const Mark& mark : marks) {
        appendUtf8(mark.cp, out);
    }
    return out;
}

std::u16string utf8ToUtf16(std::string_view text) {
    std::u16string out;
    out.reserve(text.size());
    std::size_t i = 0;
    while (i < text.size()) {
        const auto lead = static_cast<unsigned char>(text[i]);
        if (lead < 0x80) {
            out.push_back(lead);
            ++i;
            continue;
        }
        const std::size_t length = sequenceLength(lead);
        if (length == 1) {
            throwMalformed(i, isContinuation(lead) ? "continuation byte without a lead byte"
                              : lead < 0xC2        ? "overlong encoding"
                                                   : "code point above U+10FFFF");
        }
        // The second byte's range is what rules out overlong forms, surrogates and values
        // above U+10FFFF for the lead bytes that could start them.
        unsigned char low = 0x80;
        unsigned char high = 0xBF;
        const char* outOfRange = nullptr;
        switch (lead) {
            case 0xE0:
                low = 0xA0;
                outOfRange = "overlong encoding";
                break;
            case 0xED:
                high = 0x9F;
                outOfRange = "encoded surrogate";
                break;
            case 0xF0:
                low = 0x90;
                outOfRange = "overlong encoding";
                break;
            case 0xF4:
                high = 0x8F;
                outOfRange = "code point above U+10FFFF";
                break;
            default:
                break;
        }
        char32_t cp = lead & (0x7F >> length);
        for (std::size_t k = 1; k < length; ++k) {
            if (i + k >= text.size()) {
                throwMalformed(i, "truncated sequence");
            }
            const auto byte = static_cast<unsigned char>(text[i + k]);
            if (!isContinuation(byte)) {
                throwMalformed(i, "truncated sequence");
            }
            if (k == 1 && (byte < low || byte > high)) {
                throwMalformed(i, outOfRange);
            }
            cp = (cp << 6) | (byte & 0x3F);
        }
        if (cp >= 0x10000) {
            out.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    return out;
}

std::size_t utf8PrefixLength(std::string_view utf8, std::size_t maxBytes) {
    const std::size_t end = std::min(maxBytes, utf8.size());
    if (end == 0) {
        return 0;
    }
    // Find where the character holding the last kept byte starts; a character is at most four
    // bytes, so stray continuation bytes are not chased further back.
    std::size_t start = end - 1;
    while (start > 0 && end - start < 4 &&
           isContinuation(static_cast<unsigned char>(utf8[start]))) {
        --start;
    }
    const std::size_t length = sequenceLength(static_cast<unsigned char>(utf8[start]));
    return length > 1 && start + length > end ? start : end;
}

}  // namespace loc
