#include "comm/requests/MemoryList.h"

#include <cctype>
#include <charconv>

namespace comm {

namespace {

constexpr std::size_t kHeaderSize = 16;
constexpr std::size_t kRecordSize = 16;
constexpr std::size_t kShortRecordSize = 32;
constexpr std::uint8_t kSectionMarker = 0xA5;
constexpr std::uint8_t kShortAnswer = 64;

std::uint32_t le24(std::string_view bytes, std::size_t at) {
    const auto b = [&](std::size_t i) { return static_cast<std::uint8_t>(bytes[at + i]); };
    return b(0) | (b(1) << 8) | (b(2) << 16);
}

std::uint32_t le32(std::string_view bytes, std::size_t at) {
    return le24(bytes, at) |
           (static_cast<std::uint32_t>(static_cast<std::uint8_t>(bytes[at + 3])) << 24);
}

std::string numberedName(std::string_view record, const std::string& prefix, bool zerosInName) {
    std::string name = prefix;
    bool leading = !zerosInName;
    for (int i = 4; i >= 0; --i) {
        const int digit = static_cast<std::uint8_t>(record[static_cast<std::size_t>(i)]);
        if (leading && digit == 0) {
            continue;
        }
        leading = false;
        name += std::to_string(digit);
    }
    return name;
}

std::string namedFile(std::string_view record) {
    std::string name;
    for (std::size_t i : {14, 13, 12, 4, 3, 2, 1, 0}) {
        name += record[i];
    }
    const auto first = name.find_first_not_of(' ');
    return first == std::string::npos ? std::string() : name.substr(first);
}

}  // namespace

std::vector<MemoryList::Cell> MemoryList::asArray() const {
    std::vector<Cell> cells;
    if (kind == Kind::NoValue) {
        return cells;
    }
    if (kind == Kind::NotSupported) {
        cells.emplace_back(-2.0);
        return cells;
    }
    cells.emplace_back(static_cast<double>(count));
    cells.push_back(freeMemory ? Cell(*freeMemory) : Cell());
    cells.push_back(section ? Cell(static_cast<double>(*section)) : Cell());
    for (const auto& entry : entries) {
        cells.emplace_back(entry.name);
        cells.emplace_back(entry.size);
    }
    return cells;
}

bool isShortAnswer(std::string_view listing) {
    return listing.size() == 1 && static_cast<std::uint8_t>(listing[0]) == kShortAnswer;
}

MemoryList decodeDncListing(std::string_view listing, const std::string& prefix, bool zerosInName) {
    MemoryList list;
    if (listing.size() < kHeaderSize) {
        return list;
    }
    list.count = 0;
    list.freeMemory = le24(listing, 8);
    list.section = static_cast<std::uint8_t>(listing[14]) == kSectionMarker
                       ? static_cast<std::uint8_t>(listing[15]) - 128
                       : 0;
    for (std::size_t at = kHeaderSize; at + kRecordSize <= listing.size(); at += kRecordSize) {
        const std::string_view record = listing.substr(at, kRecordSize);
        const bool numbered = static_cast<std::uint8_t>(record[0]) < 10;
        list.entries.push_back(
            {numbered ? numberedName(record, prefix, zerosInName) : namedFile(record),
             static_cast<double>(le24(record, 8))});
        ++list.count;
    }
    return list;
}

void addShortAnswerDirectory(std::string_view file, MemoryList& list) {
    for (std::size_t at = 0; at + kShortRecordSize <= file.size(); at += kShortRecordSize) {
        std::string name(file.substr(at, 24));
        std::string upper = name;
        for (char& c : upper) {
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        }
        if (upper.rfind("DIR.", 0) == 0) {
            continue;
        }
        // The name before its first "."; a name without one is kept whole, without the
        // blanks and zero bytes that fill its field.
        const auto dot = name.find('.');
        if (dot != std::string::npos) {
            name.erase(dot);
        } else {
            const auto end = name.find_last_not_of(std::string(" \0", 2));
            name.erase(end == std::string::npos ? 0 : end + 1);
        }
        list.entries.push_back({name, static_cast<double>(le32(file, at + 24))});
        ++list.count;
    }
}

double leadingValue(std::string_view text) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    std::size_t end = i;
    if (end < text.size() && (text[end] == '-' || text[end] == '+')) {
        ++end;
    }
    bool point = false;
    while (end < text.size() &&
           (std::isdigit(static_cast<unsigned char>(text[end])) || (text[end] == '.' && !point))) {
        point = point || text[end] == '.';
        ++end;
    }
    std::string_view number = text.substr(i, end - i);
    if (!number.empty() && number.front() == '+') {
        number.remove_prefix(1);
    }
    double value = 0;
    std::from_chars(number.data(), number.data() + number.size(), value);
    return value;
}

MemoryList decodeTavroListing(std::string_view text) {
    MemoryList list;
    list.count = 0;
    list.freeMemory = 0;
    list.section = 0;
    std::size_t start = 0;
    while (start < text.size()) {
        std::size_t end = text.find_first_of("\r\n", start);
        const std::string_view line = text.substr(
            start, end == std::string_view::npos ? std::string_view::npos : end - start);
        if (end == std::string_view::npos) {
            start = text.size();
        } else {
            start = end + 1;
            if (text[end] == '\r' && start < text.size() && text[start] == '\n') {
                ++start;  // CR LF ends one line
            }
        }
        const auto blank = line.find(' ');
        if (blank == std::string_view::npos) {
            list.entries.push_back({std::string(line), 0});
        } else {
            list.entries.push_back(
                {std::string(line.substr(0, blank)), leadingValue(line.substr(blank))});
        }
        ++list.count;
    }
    return list;
}

}  // namespace comm
