// The three listing forms of a unit's memory read from the same bytes: the DNC unit's binary
// listing, the directory file of a short-answer unit and a Tavro1 control's text. Every entry
// must keep to what its field can hold, and no decoder may give more entries than the bytes
// have records or lines.
//
// Input: a flags byte (bit 0: zeros in names), a program prefix of three bytes, the listing.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "comm/requests/MemoryList.h"
#include "fuzz/FuzzCheck.h"

namespace {

using comm::MemoryList;

constexpr double kThreeBytes = 16777216.0;
constexpr double kFourBytes = 4294967296.0;

std::uint32_t littleEndian(std::string_view bytes, std::size_t at, std::size_t count) {
    std::uint32_t value = 0;
    for (std::size_t i = count; i-- > 0;) {
        value = value * 256 + static_cast<std::uint8_t>(bytes[at + i]);
    }
    return value;
}

bool whole(double value, double below) {
    return value >= 0 && value < below && std::floor(value) == value;
}

void checkFlatForm(const MemoryList& list) {
    const std::vector<MemoryList::Cell> cells = list.asArray();
    FUZZ_CHECK(cells.size() == 3 + 2 * list.entries.size());
    FUZZ_CHECK(std::get<double>(cells[0]) == list.count);
    for (std::size_t i = 0; i < list.entries.size(); ++i) {
        FUZZ_CHECK(std::get<std::string>(cells[3 + 2 * i]) == list.entries[i].name);
        const double size = std::get<double>(cells[4 + 2 * i]);
        FUZZ_CHECK(size == list.entries[i].size ||
                   (std::isnan(size) && std::isnan(list.entries[i].size)));
    }
}

// A program number: the five number bytes from the last to the first, each in decimal.
std::string programNumber(std::string_view record, bool zerosInName) {
    std::string digits;
    bool leading = !zerosInName;
    for (std::size_t i = 5; i-- > 0;) {
        const auto value = static_cast<std::uint8_t>(record[i]);
        if (leading && value == 0) {
            continue;
        }
        leading = false;
        digits += std::to_string(value);
    }
    return digits;
}

void checkDncListing(std::string_view listing, const std::string& prefix, bool zerosInName) {
    const MemoryList list = comm::decodeDncListing(listing, prefix, zerosInName);
    checkFlatForm(list);
    FUZZ_CHECK(list.kind == MemoryList::Kind::List);
    if (listing.size() < 16) {
        FUZZ_CHECK(list.count == -1 && !list.freeMemory && !list.section && list.entries.empty());
        return;
    }
    const std::size_t records = (listing.size() - 16) / 16;
    FUZZ_CHECK(list.count >= 0 && static_cast<std::size_t>(list.count) == records);
    FUZZ_CHECK(list.entries.size() == records);
    FUZZ_CHECK(list.freeMemory && *list.freeMemory == littleEndian(listing, 8, 3));
    FUZZ_CHECK(list.section && *list.section >= -128 && *list.section <= 127);
    if (static_cast<std::uint8_t>(listing[14]) != 0xA5) {
        FUZZ_CHECK(*list.section == 0);
    }
    for (std::size_t r = 0; r < records; ++r) {
        const std::string_view record = listing.substr(16 + 16 * r, 16);
        const comm::MemoryListEntry& entry = list.entries[r];
        FUZZ_CHECK(whole(entry.size, kThreeBytes));
        FUZZ_CHECK(entry.size == littleEndian(record, 8, 3));
        if (static_cast<std::uint8_t>(record[0]) < 10) {
            FUZZ_CHECK(entry.name == prefix + programNumber(record, zerosInName));
        } else {
            // Eight characters at their places; the name is what follows the leading blanks.
            std::string field;
            for (std::size_t at : {14, 13, 12, 4, 3, 2, 1, 0}) {
                field += record[at];
            }
            const std::size_t first = field.find_first_not_of(' ');
            FUZZ_CHECK(entry.name == (first == std::string::npos ? "" : field.substr(first)));
            FUZZ_CHECK(entry.name.size() <= 8);
        }
    }
}

bool startsWithDirDot(std::string_view record) {
    const char upper[4] = {'D', 'I', 'R', '.'};
    for (std::size_t i = 0; i < 4; ++i) {
        char c = record[i];
        if (c >= 'a' && c <= 'z') {
            c = static_cast<char>(c - 'a' + 'A');
        }
        if (c != upper[i]) {
            return false;
        }
    }
    return true;
}

void checkShortAnswer(std::string_view file) {
    MemoryList list{MemoryList::Kind::List, 0, 262144, 0, {}};
    comm::addShortAnswerDirectory(file, list);
    checkFlatForm(list);
    FUZZ_CHECK(list.count >= 0 && static_cast<std::size_t>(list.count) == list.entries.size());
    std::size_t next = 0;
    for (std::size_t at = 0; at + 32 <= file.size(); at += 32) {
        const std::string_view record = file.substr(at, 32);
        if (startsWithDirDot(record)) {
            continue;  // the directory file itself
        }
        FUZZ_CHECK(next < list.entries.size());
        const comm::MemoryListEntry& entry = list.entries[next++];
        const std::string_view field = record.substr(0, 24);
        FUZZ_CHECK(entry.name.size() <= 24);
        FUZZ_CHECK(field.substr(0, entry.name.size()) == entry.name);
        FUZZ_CHECK(entry.name.find('.') == std::string::npos);
        if (field.find('.') != std::string_view::npos) {
            FUZZ_CHECK(field[entry.name.size()] == '.');
        } else if (!entry.name.empty()) {
            const char last = entry.name.back();
            FUZZ_CHECK(last != ' ' && last != '\0');
            FUZZ_CHECK(field.substr(entry.name.size()).find_first_not_of(std::string(" \0", 2)) ==
                       std::string_view::npos);
        }
        FUZZ_CHECK(whole(entry.size, kFourBytes));
        FUZZ_CHECK(entry.size == littleEndian(record, 24, 4));
    }
    FUZZ_CHECK(next == list.entries.size());
    FUZZ_CHECK(list.freeMemory == 262144.0 && list.section == 0);
}

// The lines of a text: CR LF, CR or LF ends one; a last line without an end counts too.
std::vector<std::string_view> lines(std::string_view text) {
    std::vector<std::string_view> out;
    std::size_t start = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\n' || text[i] == '\r') {
            out.push_back(text.substr(start, i - start));
            if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
                ++i;
            }
            start = i + 1;
        }
    }
    if (start < text.size()) {
        out.push_back(text.substr(start));
    }
    return out;
}

// The number at the start of a size field: blanks, an optional sign, digits with at most one
// decimal point; read by the C library here.
double referenceValue(std::string_view text, bool& exact) {
    std::size_t i = 0;
    while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) {
        ++i;
    }
    std::string number;
    if (i < text.size() && (text[i] == '-' || text[i] == '+')) {
        number += text[i++];
    }
    bool point = false;
    bool digit = false;
    while (i < text.size() && ((text[i] >= '0' && text[i] <= '9') || (text[i] == '.' && !point))) {
        point = point || text[i] == '.';
        digit = digit || text[i] != '.';
        number += text[i++];
    }
    exact = true;
    if (!digit) {
        return 0;
    }
    errno = 0;
    const double value = std::strtod(number.c_str(), nullptr);
    exact = errno != ERANGE;  // beyond the range of a double: no exact value to compare
    return value;
}

void checkTavroListing(std::string_view text) {
    const MemoryList list = comm::decodeTavroListing(text);
    checkFlatForm(list);
    const std::vector<std::string_view> expected = lines(text);
    FUZZ_CHECK(list.count >= 0 && static_cast<std::size_t>(list.count) == list.entries.size());
    FUZZ_CHECK(list.entries.size() == expected.size());
    FUZZ_CHECK(list.freeMemory == 0.0 && list.section == 0);
    for (std::size_t i = 0; i < expected.size(); ++i) {
        const comm::MemoryListEntry& entry = list.entries[i];
        const std::string_view line = expected[i];
        const std::size_t blank = line.find(' ');
        FUZZ_CHECK(entry.name == line.substr(0, blank));
        FUZZ_CHECK(std::isfinite(entry.size));
        bool exact = true;
        const double value =
            blank == std::string_view::npos ? 0 : referenceValue(line.substr(blank), exact);
        FUZZ_CHECK(!exact || entry.size == value);
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 4) {
        return 0;
    }
    const bool zerosInName = (data[0] & 1) != 0;
    const std::string prefix(reinterpret_cast<const char*>(data) + 1, 3);
    const std::string_view listing(reinterpret_cast<const char*>(data) + 4, size - 4);

    FUZZ_CHECK(comm::isShortAnswer(listing) ==
               (listing.size() == 1 && static_cast<std::uint8_t>(listing[0]) == 64));
    checkDncListing(listing, prefix, zerosInName);
    checkShortAnswer(listing);
    checkTavroListing(listing);
    return 0;
}
