// The settings store read from any file: every section and every value in each of its text
// forms, then one write, which must keep every other section as it was read. The settings
// check runs over the same file: every problem names a line of it, and when the write would
// lose some of the file's text, the file as it was is in the backup, byte for byte.
#include <algorithm>
#include <cctype>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <string>
#include <string_view>
#include <vector>

#include "dnc/config/ConfigStore.h"
#include "dnc/config/SettingsCheck.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzScratch.h"

namespace {

bool sameName(std::string_view a, std::string_view b) {
    if (a.size() != b.size()) {
        return false;
    }
    for (std::size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

void readEveryValue(const dnc::StoreSection& section) {
    for (const auto& [key, value] : section.values()) {
        // The first key of that name answers, whatever the spelling asked for.
        const auto found = section.find(key);
        FUZZ_CHECK(found.has_value());
        section.readBool(key, false);
        const std::int64_t number = section.readInt(key, 7, -100, 100);
        FUZZ_CHECK(number >= -100 && number <= 100);
        section.readDouble(key, 0.5);
    }
}

std::string wholeFile(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// Every problem lies on a line of the text; the problems whose text a write loses.
bool checkFindsLines(const std::filesystem::path& file, std::string_view text) {
    const std::size_t lines =
        1 + static_cast<std::size_t>(std::count(text.begin(), text.end(), '\n'));
    bool lost = false;
    for (const dnc::SettingProblem& problem : dnc::checkSettingsText(file, text)) {
        FUZZ_CHECK(problem.line >= 1 && problem.line <= lines);
        for (const std::string& arg : problem.messageArgs) {
            FUZZ_CHECK(arg.find('\0') == std::string::npos);
        }
        lost = lost || problem.lostOnWrite();
    }
    return lost;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    // What this process wrote last: a file that is exactly that is not backed up again.
    static std::string lastWritten;
    const std::filesystem::path file = fuzz::scratchDirectory() / "DNC.ini";
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    {
        std::ofstream out(file, std::ios::binary | std::ios::trunc);
        out.write(input.data(), static_cast<std::streamsize>(input.size()));
    }
    std::filesystem::remove(dnc::backupPath(file));
    const bool lost = checkFindsLines(file, input);
    dnc::ConfigStore store(file, [](const std::string&) {});
    if (store.problem()) {
        // A file the store cannot take as settings text is never written: it stays as it was.
        FUZZ_CHECK(!store.write("FuzzWritten", "Key", "Value"));
        FUZZ_CHECK(wholeFile(file) == input);
        FUZZ_CHECK(!std::filesystem::exists(dnc::backupPath(file)));
        return 0;
    }
    const std::vector<std::string> names = store.sectionNames();
    std::vector<dnc::StoreSection> before;
    for (const std::string& name : names) {
        before.push_back(store.section(name));
        readEveryValue(before.back());
    }

    const std::string written = "FuzzWritten";
    FUZZ_CHECK(store.write(written, "Key", "Value"));
    if (lost && input != lastWritten) {
        FUZZ_CHECK(wholeFile(dnc::backupPath(file)) == input);
    } else if (!lost) {
        FUZZ_CHECK(!std::filesystem::exists(dnc::backupPath(file)));
    }
    lastWritten = wholeFile(file);
    FUZZ_CHECK(store.section(written).readString("Key", "") == "Value");
    for (std::size_t i = 0; i < names.size(); ++i) {
        if (sameName(names[i], written)) {
            continue;
        }
        const dnc::StoreSection after = store.section(names[i]);
        if (after.values() != before[i].values()) {
            std::fprintf(stderr, "section [%s] changed:\n", names[i].c_str());
            for (const auto& [key, value] : before[i].values()) {
                std::fprintf(stderr, "  before %s=%s\n", key.c_str(), value.c_str());
            }
            for (const auto& [key, value] : after.values()) {
                std::fprintf(stderr, "  after  %s=%s\n", key.c_str(), value.c_str());
            }
        }
        FUZZ_CHECK(after.values() == before[i].values());
    }
    return 0;
}
