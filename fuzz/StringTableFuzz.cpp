// The reader of embedded string tables, on any bytes: every answer must come from inside the
// table, and every text found must convert to UTF-8.
#include <algorithm>
#include <cstdint>
#include <span>
#include <stdexcept>
#include <string>
#include <vector>

#include "fuzz/FuzzCheck.h"
#include "localizing/StringTableFormat.h"
#include "localizing/StringTableReader.h"
#include "localizing/Utf16Text.h"

namespace {

// String numbers worth asking for: the first blocks, the control's messages, the ends of the
// range and numbers taken from the input.
std::vector<std::uint32_t> numbersToAsk(std::span<const std::uint8_t> table) {
    std::vector<std::uint32_t> ids;
    for (std::uint32_t id = 0; id < 48; ++id) {
        ids.push_back(id);
    }
    for (std::uint32_t id = 410; id <= 440; id += 5) {
        ids.push_back(id);
    }
    ids.push_back(500);
    ids.push_back(0xFFFEF);
    ids.push_back(0xFFFF0);
    ids.push_back(0xFFFFFFFF);
    if (table.size() >= 4) {
        const std::uint8_t* end = table.data() + table.size() - 4;
        ids.push_back(end[0] | (end[1] << 8) | (std::uint32_t{end[2]} << 16));
    }
    return ids;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::span<const std::uint8_t> table(data, size);
    const loc::StringTableReader reader(table);
    const std::vector<std::uint16_t> languages = reader.languages();
    FUZZ_CHECK(reader.valid() || languages.empty());
    FUZZ_CHECK(languages.size() * loc::kLanguageEntrySize <= size);

    std::vector<std::uint16_t> asked = {0, 0x0409, 0x0007, 0x0405};
    for (std::size_t i = 0; i < languages.size() && i < 8; ++i) {
        asked.push_back(languages[i]);
        asked.push_back(loc::primaryLanguage(languages[i]));
    }
    const std::vector<std::uint32_t> ids = numbersToAsk(table);
    for (const std::uint16_t language : asked) {
        const auto resolved = reader.resolveLanguage(language);
        if (!resolved) {
            continue;
        }
        FUZZ_CHECK(std::find(languages.begin(), languages.end(), *resolved) != languages.end());
        for (const std::uint32_t id : ids) {
            const auto text = reader.find(id, *resolved);
            if (!text) {
                continue;
            }
            // A text is counted in its block, which lies inside the table.
            FUZZ_CHECK(text->size() * 2 <= size);
            // Unpaired surrogates become U+FFFD: what comes out is always well-formed.
            bool wellFormed = true;
            try {
                loc::utf8ToUtf16(loc::utf16ToUtf8Nfc(*text));
            } catch (const std::invalid_argument&) {
                wellFormed = false;
            }
            FUZZ_CHECK(wellFormed);
        }
    }
    for (std::uint32_t block = 0; block < 4; ++block) {
        for (const std::uint16_t code : reader.languagesWithBlock(block)) {
            FUZZ_CHECK(std::find(languages.begin(), languages.end(), code) != languages.end());
        }
    }
    return 0;
}
