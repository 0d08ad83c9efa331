#include "tools/rescomp/StringSource.h"

#include <cctype>
#include <charconv>

#include "localizing/Utf16Text.h"

namespace rescomp {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && (s.front() == ' ' || s.front() == '\t' || s.front() == '\r')) {
        s.remove_prefix(1);
    }
    while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) {
        s.remove_suffix(1);
    }
    return s;
}

std::string unquote(std::string_view quoted, const std::string& where) {
    if (quoted.size() < 2 || quoted.front() != '"') {
        throw SourceError(where + ": the text must stand in double quotes");
    }
    std::string text;
    std::size_t i = 1;
    for (; i < quoted.size(); ++i) {
        const char c = quoted[i];
        if (c == '"') {
            break;
        }
        if (c != '\\') {
            text += c;
            continue;
        }
        if (++i == quoted.size()) {
            break;
        }
        switch (quoted[i]) {
            case '"':
                text += '"';
                break;
            case '\\':
                text += '\\';
                break;
            case 'n':
                text += '\n';
                break;
            case 'r':
                text += '\r';
                break;
            case 't':
                text += '\t';
                break;
            default:
                throw SourceError(where + ": unknown escape \\" + std::string(1, quoted[i]));
        }
    }
    if (i >= quoted.size()) {
        throw SourceError(where + ": the closing quote is missing");
    }
    if (!trim(quoted.substr(i + 1)).empty()) {
        throw SourceError(where + ": text after the closing quote");
    }
    return text;
}

}  // namespace

LanguageSource parseLanguageSource(std::string_view text, const std::string& origin) {
    LanguageSource source;
    bool haveLanguage = false;
    std::size_t lineNumber = 0;
    std::int64_t previous = -1;
    while (!text.empty()) {
        const auto end = text.find('\n');
        const std::string_view raw = text.substr(0, end);
        text.remove_prefix(end == std::string_view::npos ? text.size() : end + 1);
        ++lineNumber;
        const std::string where = origin + ":" + std::to_string(lineNumber);
        const std::string_view line = trim(raw);
        if (line.empty() || line.front() == '#') {
            continue;
        }
        if (line.starts_with("language")) {
            if (haveLanguage) {
                throw SourceError(where + ": a second language line");
            }
            const std::string_view code = trim(line.substr(8));
            unsigned value = 0;
            const bool hex = code.starts_with("0x") || code.starts_with("0X");
            const auto digits = hex ? code.substr(2) : code;
            const auto [ptr, ec] =
                std::from_chars(digits.data(), digits.data() + digits.size(), value, hex ? 16 : 10);
            if (ec != std::errc() || ptr != digits.data() + digits.size() || value == 0 ||
                value > 0xFFFF) {
                throw SourceError(where + ": a language code such as 0x0409 is expected");
            }
            source.language = static_cast<std::uint16_t>(value);
            haveLanguage = true;
            continue;
        }
        if (!haveLanguage) {
            throw SourceError(where + ": the language line must come first");
        }
        std::uint32_t id = 0;
        const auto [ptr, ec] = std::from_chars(line.data(), line.data() + line.size(), id);
        if (ec != std::errc() || ptr == line.data() || ptr == line.data() + line.size() ||
            (*ptr != ' ' && *ptr != '\t')) {
            throw SourceError(where + ": a string number, a blank and a quoted text are expected");
        }
        if (id >= 16u * 0xFFFF) {
            throw SourceError(where + ": string number too large");
        }
        if (static_cast<std::int64_t>(id) <= previous) {
            throw SourceError(where + ": string numbers must ascend");
        }
        previous = id;
        const std::string utf8 = unquote(trim(line.substr(ptr - line.data())), where);
        std::u16string utf16;
        try {
            utf16 = loc::utf8ToUtf16(utf8);
        } catch (const std::invalid_argument& e) {
            throw SourceError(where + ": " + e.what());
        }
        if (utf16.size() > 0xFFFF) {
            throw SourceError(where + ": text too long");
        }
        source.strings.emplace(id, std::move(utf16));
    }
    if (!haveLanguage) {
        throw SourceError(origin + ": no language line");
    }
    return source;
}

}  // namespace rescomp
