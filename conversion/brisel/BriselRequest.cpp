#include "conversion/brisel/BriselRequest.h"

#include <cctype>
#include <charconv>

namespace brisel {

namespace {

struct NamedConversion {
    std::string_view name;
    Conversion conversion;
};

constexpr NamedConversion kConversions[] = {
    {"TXT>ISO", Conversion::TextToIso},  {"ISO>TXT", Conversion::IsoToText},
    {"TXT>EIA", Conversion::TextToEia},  {"EIA>TXT", Conversion::EiaToText},
    {"TXT>MGF", Conversion::TextToMgf},  {"MGF>TXT", Conversion::MgfToText},
    {"TXT>TXT", Conversion::TextToText},
};

bool isBlank(char c) {
    return c == ' ' || c == '\t';
}

bool equalIgnoringCase(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::toupper(static_cast<unsigned char>(a[i])) !=
            std::toupper(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

std::string_view nextWord(std::string_view& rest) {
    while (!rest.empty() && isBlank(rest.front())) {
        rest.remove_prefix(1);
    }
    std::size_t end = 0;
    while (end < rest.size() && !isBlank(rest[end])) {
        ++end;
    }
    const std::string_view word = rest.substr(0, end);
    rest.remove_prefix(end);
    return word;
}

bool writesTape(Conversion c) {
    return c == Conversion::TextToIso || c == Conversion::TextToEia;
}

bool writesText(Conversion c) {
    return c == Conversion::IsoToText || c == Conversion::EiaToText || c == Conversion::TextToText;
}

bool parseFeedCount(std::string_view value, unsigned& count) {
    const char* end = value.data() + value.size();
    const auto [stop, problem] = std::from_chars(value.data(), end, count);
    return problem == std::errc() && stop == end && !value.empty() && count <= kMaxFeed;
}

// Applies one parameter; the error text, empty when it was accepted.
std::string applyParameter(std::string_view word, Request& request) {
    const std::size_t equals = word.find('=');
    const std::string_view key = word.substr(0, equals);
    const std::string_view value =
        equals == std::string_view::npos ? std::string_view() : word.substr(equals + 1);
    const std::string quoted = std::string("\"").append(word).append("\"");
    const Conversion conversion = request.conversion;
    if (equalIgnoringCase(key, "/LEADER") || equalIgnoringCase(key, "/TRAILER")) {
        if (!writesTape(conversion)) {
            return "Brisel: " + quoted + " only applies to TXT>ISO and TXT>EIA";
        }
        unsigned& count =
            equalIgnoringCase(key, "/LEADER") ? request.options.leader : request.options.trailer;
        if (!parseFeedCount(value, count)) {
            return "Brisel: " + quoted + " needs a count of 0 to " + std::to_string(kMaxFeed);
        }
        return {};
    }
    if (equalIgnoringCase(key, "/EOB")) {
        if (!writesText(conversion)) {
            return "Brisel: " + quoted + " only applies to ISO>TXT, EIA>TXT and TXT>TXT";
        }
        if (equalIgnoringCase(value, "CRLF")) {
            request.options.lineEnd = LineEnd::CrLf;
        } else if (equalIgnoringCase(value, "LF")) {
            request.options.lineEnd = LineEnd::Lf;
        } else {
            return "Brisel: " + quoted + " must be /EOB=CRLF or /EOB=LF";
        }
        return {};
    }
    if (equalIgnoringCase(word, "/UPPER")) {
        if (conversion != Conversion::TextToEia) {
            return "Brisel: " + quoted + " only applies to TXT>EIA";
        }
        request.options.upperCase = true;
        return {};
    }
    return "Brisel: unknown parameter " + quoted;
}

}  // namespace

Request parseRequest(std::string_view parameters, std::string& error) {
    Request request;
    std::string_view rest = parameters;
    const std::string_view name = nextWord(rest);
    request.name = std::string(name);
    bool known = false;
    for (const NamedConversion& entry : kConversions) {
        if (equalIgnoringCase(name, entry.name)) {
            request.conversion = entry.conversion;
            request.name = std::string(entry.name);
            known = true;
        }
    }
    if (!known) {
        error = name.empty() ? "Brisel: no conversion named"
                             : "Brisel: unknown conversion \"" + std::string(name) + "\"";
        return request;
    }
    if (request.conversion == Conversion::TextToMgf ||
        request.conversion == Conversion::MgfToText) {
        return request;  // answered as not available, whatever follows
    }
    for (std::string_view word = nextWord(rest); !word.empty(); word = nextWord(rest)) {
        error = applyParameter(word, request);
        if (!error.empty()) {
            return request;
        }
    }
    return request;
}

}  // namespace brisel
