#include "web/Language.h"

#include <cctype>
#include <cstdlib>
#include <string>

#include "localizing/lookup/ResourceStrings.h"

namespace web {

namespace {

std::string_view trimmed(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t')) {
        s.remove_suffix(1);
    }
    return s;
}

// The weight of an entry's parameters ("q=0.5"); 1 without one, 0 when it cannot be read.
double weight(std::string_view parameters) {
    while (!parameters.empty()) {
        const auto semicolon = parameters.find(';');
        const std::string_view one = trimmed(parameters.substr(0, semicolon));
        parameters = semicolon == std::string_view::npos ? std::string_view()
                                                         : parameters.substr(semicolon + 1);
        if (one.size() > 2 && (one[0] == 'q' || one[0] == 'Q') && one[1] == '=') {
            const std::string value(one.substr(2));
            char* end = nullptr;
            const double q = std::strtod(value.c_str(), &end);
            return end != nullptr && *end == '\0' && q >= 0 && q <= 1 ? q : 0;
        }
    }
    return 1;
}

}  // namespace

std::optional<std::uint16_t> languageCode(std::string_view tag) {
    std::string primary(tag.substr(0, tag.find('-')));
    for (char& c : primary) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    if (primary == "en") {
        return loc::kEnglish;
    }
    if (primary == "de") {
        return loc::kGerman;
    }
    if (primary == "cs") {
        return loc::kCzech;
    }
    return std::nullopt;
}

std::string_view languageTag(std::uint16_t language) {
    switch (language) {
        case loc::kGerman:
            return "de";
        case loc::kCzech:
            return "cs";
        default:
            return "en";
    }
}

std::uint16_t chooseLanguage(std::string_view acceptLanguage, std::uint16_t fallback) {
    std::uint16_t best = fallback;
    double bestWeight = 0;
    // Bounded: a header of thousands of entries costs no more than its first few.
    for (int entries = 0; !acceptLanguage.empty() && entries < 32; ++entries) {
        const auto comma = acceptLanguage.find(',');
        const std::string_view entry = acceptLanguage.substr(0, comma);
        acceptLanguage =
            comma == std::string_view::npos ? std::string_view() : acceptLanguage.substr(comma + 1);
        const auto semicolon = entry.find(';');
        const std::string_view tag = trimmed(entry.substr(0, semicolon));
        const double q =
            semicolon == std::string_view::npos ? 1 : weight(entry.substr(semicolon + 1));
        const auto code = languageCode(tag);
        // The first of equal weights wins, as the browser listed it.
        if (code && q > bestWeight) {
            best = *code;
            bestWeight = q;
        }
    }
    return best;
}

}  // namespace web
