#include "dnc/config/IniText.h"

#include <algorithm>

namespace dnc {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::string_view kBlanks = " \t";

std::string_view trimmed(std::string_view s) {
    const auto first = s.find_first_not_of(kBlanks);
    if (first == std::string_view::npos) {
        return {};
    }
    return s.substr(first, s.find_last_not_of(kBlanks) - first + 1);
}

// Reads one line's content (the byte order mark of the file's start already off) the way
// the parser does. A "[" without its "]" would make the parser take the text up to the next
// "=" as a section name, and a NUL would end its reading of the file, so such lines are
// unreadable rather than misread.
void classify(IniLine& line, std::string_view content) {
    if (content.find('\0') != std::string_view::npos) {
        line.kind = IniLine::Kind::Unreadable;
        line.fault = IniLine::Fault::NulByte;
        return;
    }
    const std::string_view text = trimmed(content);
    if (text.empty()) {
        line.kind = IniLine::Kind::Blank;
        return;
    }
    // The parser takes a byte order mark off the start of the file only; one that begins a
    // later line would read as part of a name there, and differently once a write has moved
    // the line to the start.
    if (text.starts_with(kByteOrderMark)) {
        line.kind = IniLine::Kind::Unreadable;
        line.fault = IniLine::Fault::ByteOrderMark;
        return;
    }
    if (text.front() == ';' || text.front() == '#') {
        line.kind = IniLine::Kind::Comment;
        return;
    }
    if (text.front() == '[') {
        const auto close = text.find(']');
        if (close == std::string_view::npos) {
            line.kind = IniLine::Kind::Unreadable;
            line.fault = IniLine::Fault::NoClosingBracket;
            return;
        }
        line.kind = IniLine::Kind::Section;
        line.section = std::string(trimmed(text.substr(1, close - 1)));
        line.ignored = std::string(trimmed(text.substr(close + 1)));
        return;
    }
    const auto equals = text.find('=');
    if (equals == std::string_view::npos) {
        line.kind = IniLine::Kind::Unreadable;
        line.fault = IniLine::Fault::NoEquals;
        return;
    }
    if (equals == 0) {
        line.kind = IniLine::Kind::Unreadable;
        line.fault = IniLine::Fault::NoKey;
        return;
    }
    line.kind = IniLine::Kind::Entry;
    line.key = std::string(trimmed(text.substr(0, equals)));
    line.typed = std::string(trimmed(text.substr(equals + 1)));
    line.value = line.typed;
    if (line.value.size() >= 2 && line.value.front() == '"' && line.value.back() == '"') {
        line.value = line.value.substr(1, line.value.size() - 2);
    }
}

}  // namespace

std::vector<IniLine> scanIniText(std::string_view text) {
    std::vector<IniLine> lines;
    std::string section;
    std::size_t number = 1;
    std::size_t start = 0;
    while (start <= text.size()) {
        const std::size_t end = std::min(text.find_first_of("\r\n", start), text.size());
        IniLine line;
        line.number = number;
        line.begin = start;
        line.end = end;
        std::string_view content = text.substr(start, end - start);
        if (start == 0 && content.starts_with(kByteOrderMark)) {
            content.remove_prefix(kByteOrderMark.size());
        }
        classify(line, content);
        if (line.kind == IniLine::Kind::Section) {
            section = line.section;
        } else {
            line.section = section;
        }
        lines.push_back(std::move(line));
        if (end < text.size() && text[end] == '\n') {
            ++number;
        }
        start = end + 1;
    }
    return lines;
}

std::string readableIniText(std::string_view text, const std::vector<IniLine>& lines) {
    std::string readable;
    readable.reserve(text.size());
    for (const IniLine& line : lines) {
        if (line.kind != IniLine::Kind::Unreadable) {
            readable.append(text.substr(line.begin, line.end - line.begin));
        }
        if (line.end < text.size()) {
            readable.push_back(text[line.end]);
        }
    }
    return readable;
}

}  // namespace dnc
