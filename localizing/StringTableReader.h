// Reads an embedded string table, checking every offset against the table's size, so a damaged
// table gives "absent" answers instead of reading past its end.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace loc {

class StringTableReader {
public:
    explicit StringTableReader(std::span<const std::uint8_t> table);

    bool valid() const { return valid_; }

    // Language codes present, in ascending order.
    std::vector<std::uint16_t> languages() const;

    // Languages that have block `blockNumber`.
    std::vector<std::uint16_t> languagesWithBlock(std::uint32_t blockNumber) const;

    // Picks the table to search for `language`: the exact code; for a code without a
    // sublanguage, a table of the same primary language; for 0, English or else the first.
    std::optional<std::uint16_t> resolveLanguage(std::uint16_t language) const;

    // The UTF-16 text of string `id` in exactly `language`; nullopt when the block is missing;
    // an empty text for an absent string.
    std::optional<std::u16string> find(std::uint32_t id, std::uint16_t language) const;

private:
    struct Block {
        std::uint32_t offset;
        std::uint32_t size;
    };
    std::optional<Block> block(std::uint16_t language, std::uint32_t blockNumber) const;
    std::uint16_t u16(std::size_t at) const;
    std::uint32_t u32(std::size_t at) const;

    std::span<const std::uint8_t> table_;
    bool valid_ = false;
    std::uint16_t languageCount_ = 0;
};

}  // namespace loc
