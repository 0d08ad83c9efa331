// The settings store's promise: what is written reads back as written. Section and key names
// are the store's kind of names (letters, digits, "_" and "."), values any text; the input is
// cut into section, key and value texts at NUL bytes.
#include <unistd.h>

#include <cctype>
#include <cstdint>
#include <cstdio>
#include <map>
#include <string>
#include <string_view>
#include <vector>

#include "dnc/config/ConfigStore.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzScratch.h"

namespace {

// Each write reads and replaces the whole file: a few make the point.
constexpr std::size_t kMostWrites = 16;

std::vector<std::string_view> fieldsOf(std::string_view input) {
    std::vector<std::string_view> fields;
    while (true) {
        const std::size_t end = input.find('\0');
        fields.push_back(input.substr(0, end));
        if (end == std::string_view::npos) {
            return fields;
        }
        input.remove_prefix(end + 1);
    }
}

// A name made from any text: its letters, digits, "_" and "." (at least one character).
std::string nameOf(std::string_view text) {
    std::string name;
    for (const char c : text) {
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '_' || c == '.') {
            name.push_back(c);
        }
    }
    return name.empty() ? "Name" : name;
}

std::string lowered(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    }
    return text;
}

// A value reads back as written, but that a line break is kept as a blank.
std::string storedForm(std::string value) {
    for (char& c : value) {
        if (c == '\n' || c == '\r') {
            c = ' ';
        }
    }
    return value;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::vector<std::string_view> fields =
        fieldsOf(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::filesystem::path file = fuzz::scratchDirectory() / "DNC.ini";
    ::unlink(file.c_str());
    dnc::ConfigStore store(file, [](const std::string&) {});

    // Sections written one after the other: each write keeps what the others wrote.
    std::map<std::string, std::map<std::string, std::string>> expected;
    std::map<std::string, std::string> spelling;
    for (std::size_t i = 0; i < fields.size() && i < 3 * kMostWrites; i += 3) {
        const std::string section = nameOf(fields[i]);
        const std::string key = i + 1 < fields.size() ? nameOf(fields[i + 1]) : "Key";
        const std::string value = i + 2 < fields.size() ? std::string(fields[i + 2]) : "";
        FUZZ_CHECK(store.write(section, key, value));
        spelling.emplace(lowered(section), section);
        expected[lowered(section)][lowered(key)] = storedForm(value);
    }
    for (const auto& [section, keys] : expected) {
        const dnc::StoreSection read = store.section(spelling.at(section));
        FUZZ_CHECK(read.size() == keys.size());
        for (const auto& [key, value] : keys) {
            const auto found = read.find(key);
            FUZZ_CHECK(found.has_value());
            if (*found != value) {
                std::fprintf(stderr, "written \"%s\", read \"%s\"\n", value.c_str(),
                             found->c_str());
            }
            FUZZ_CHECK(*found == value);
        }
    }
    return 0;
}
