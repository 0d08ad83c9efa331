// The strict UTF-8 decoder against a decoder written the other way round (bits first, then the
// rules), the cut at a character boundary, and the normalisation of any UTF-16 text.
#include <cstdint>
#include <optional>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "localizing/Utf16Text.h"

namespace {

struct Decoded {
    std::u16string text;
    std::vector<std::size_t> boundaries;  // where each character starts, and the end
    std::optional<std::size_t> malformedAt;
};

// Collects the payload bits of a sequence of any length announced by its lead byte, and only
// then applies the rules: the shortest form, no surrogates, nothing above U+10FFFF.
Decoded referenceDecode(std::string_view bytes) {
    Decoded out;
    std::size_t i = 0;
    while (i < bytes.size()) {
        out.boundaries.push_back(i);
        const auto lead = static_cast<unsigned char>(bytes[i]);
        std::size_t length = 0;
        char32_t cp = 0;
        if (lead < 0x80) {
            length = 1;
            cp = lead;
        } else if ((lead & 0xE0) == 0xC0) {
            length = 2;
            cp = lead & 0x1F;
        } else if ((lead & 0xF0) == 0xE0) {
            length = 3;
            cp = lead & 0x0F;
        } else if ((lead & 0xF8) == 0xF0) {
            length = 4;
            cp = lead & 0x07;
        } else {
            out.malformedAt = i;
            return out;
        }
        if (i + length > bytes.size()) {
            out.malformedAt = i;
            return out;
        }
        for (std::size_t k = 1; k < length; ++k) {
            const auto next = static_cast<unsigned char>(bytes[i + k]);
            if ((next & 0xC0) != 0x80) {
                out.malformedAt = i;
                return out;
            }
            cp = (cp << 6) | (next & 0x3F);
        }
        const char32_t shortest[] = {0, 0, 0x80, 0x800, 0x10000};
        if (cp < shortest[length] || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) {
            out.malformedAt = i;
            return out;
        }
        if (cp >= 0x10000) {
            out.text.push_back(static_cast<char16_t>(0xD800 + ((cp - 0x10000) >> 10)));
            out.text.push_back(static_cast<char16_t>(0xDC00 + ((cp - 0x10000) & 0x3FF)));
        } else {
            out.text.push_back(static_cast<char16_t>(cp));
        }
        i += length;
    }
    out.boundaries.push_back(bytes.size());
    return out;
}

std::optional<std::u16string> decodeOrNone(std::string_view bytes, std::string& problem) {
    try {
        return loc::utf8ToUtf16(bytes);
    } catch (const std::invalid_argument& e) {
        problem = e.what();
        return std::nullopt;
    }
}

void checkDecoder(std::string_view bytes) {
    const Decoded expected = referenceDecode(bytes);
    std::string problem;
    const auto decoded = decodeOrNone(bytes, problem);
    FUZZ_CHECK(decoded.has_value() == !expected.malformedAt.has_value());
    if (!decoded) {
        const std::string where = "at byte offset " + std::to_string(*expected.malformedAt) + ":";
        FUZZ_CHECK(problem.find(where) != std::string::npos);
        return;
    }
    FUZZ_CHECK(*decoded == expected.text);

    // Every cut ends on the last character boundary at or before it.
    for (std::size_t cut = 0; cut <= bytes.size() + 1; ++cut) {
        const std::size_t length = loc::utf8PrefixLength(bytes, cut);
        std::size_t boundary = 0;
        for (const std::size_t b : expected.boundaries) {
            if (b <= cut) {
                boundary = b;
            }
        }
        FUZZ_CHECK(length == boundary);
    }
}

// Any UTF-16 text, even with unpaired surrogates, normalises to well-formed UTF-8, and
// normalising that again changes nothing.
void checkNormalisation(std::string_view bytes) {
    std::u16string units;
    for (std::size_t i = 0; i + 1 < bytes.size(); i += 2) {
        units.push_back(static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                              (static_cast<unsigned char>(bytes[i + 1]) << 8)));
    }
    const std::string once = loc::utf16ToUtf8Nfc(units);
    std::string problem;
    const auto again = decodeOrNone(once, problem);
    FUZZ_CHECK(again.has_value());
    FUZZ_CHECK(loc::utf16ToUtf8Nfc(*again) == once);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    checkDecoder(bytes);
    checkNormalisation(bytes);
    return 0;
}
