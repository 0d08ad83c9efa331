#include "localizing/StringTableReader.h"

#include <cstring>

#include "localizing/StringTableFormat.h"

namespace loc {

StringTableReader::StringTableReader(std::span<const std::uint8_t> table) : table_(table) {
    if (table_.size() < kHeaderSize || std::memcmp(table_.data(), kTableMagic, 4) != 0 ||
        u16(4) != kTableVersion) {
        return;
    }
    languageCount_ = u16(6);
    valid_ = table_.size() >= kHeaderSize + std::size_t{languageCount_} * kLanguageEntrySize;
}

std::uint16_t StringTableReader::u16(std::size_t at) const {
    return static_cast<std::uint16_t>(table_[at] | (table_[at + 1] << 8));
}

std::uint32_t StringTableReader::u32(std::size_t at) const {
    return static_cast<std::uint32_t>(u16(at)) | (static_cast<std::uint32_t>(u16(at + 2)) << 16);
}

std::vector<std::uint16_t> StringTableReader::languages() const {
    std::vector<std::uint16_t> codes;
    if (!valid_) {
        return codes;
    }
    for (std::uint16_t i = 0; i < languageCount_; ++i) {
        codes.push_back(u16(kHeaderSize + std::size_t{i} * kLanguageEntrySize));
    }
    return codes;
}

std::vector<std::uint16_t> StringTableReader::languagesWithBlock(std::uint32_t blockNumber) const {
    std::vector<std::uint16_t> codes;
    for (std::uint16_t code : languages()) {
        if (block(code, blockNumber)) {
            codes.push_back(code);
        }
    }
    return codes;
}

std::optional<std::uint16_t> StringTableReader::resolveLanguage(std::uint16_t language) const {
    const std::vector<std::uint16_t> codes = languages();
    for (std::uint16_t code : codes) {
        if (code == language) {
            return code;
        }
    }
    if (codes.empty() || subLanguage(language) != 0) {
        return std::nullopt;
    }
    if (language == 0) {
        for (std::uint16_t code : codes) {
            if (code == 0x0409) {
                return code;
            }
        }
        return codes.front();
    }
    for (std::uint16_t code : codes) {
        if (primaryLanguage(code) == language) {
            return code;
        }
    }
    return std::nullopt;
}

std::optional<StringTableReader::Block> StringTableReader::block(std::uint16_t language,
                                                                 std::uint32_t blockNumber) const {
    if (!valid_) {
        return std::nullopt;
    }
    for (std::uint16_t i = 0; i < languageCount_; ++i) {
        const std::size_t entry = kHeaderSize + std::size_t{i} * kLanguageEntrySize;
        if (u16(entry) != language) {
            continue;
        }
        const std::uint16_t blockCount = u16(entry + 2);
        const std::size_t directory = u32(entry + 4);
        if (directory > table_.size() ||
            (table_.size() - directory) / kDirectoryEntrySize < blockCount) {
            return std::nullopt;
        }
        for (std::uint16_t b = 0; b < blockCount; ++b) {
            const std::size_t at = directory + std::size_t{b} * kDirectoryEntrySize;
            if (u16(at) != blockNumber) {
                continue;
            }
            const Block found{u32(at + 4), u32(at + 8)};
            if (found.offset > table_.size() || table_.size() - found.offset < found.size) {
                return std::nullopt;
            }
            return found;
        }
        return std::nullopt;
    }
    return std::nullopt;
}

std::optional<std::u16string> StringTableReader::find(std::uint32_t id,
                                                      std::uint16_t language) const {
    const std::uint64_t blockNumber = std::uint64_t{id} / kStringsPerBlock + 1;
    if (blockNumber > 0xFFFF) {
        return std::nullopt;
    }
    const auto found = block(language, static_cast<std::uint32_t>(blockNumber));
    if (!found) {
        return std::nullopt;
    }
    std::size_t at = found->offset;
    const std::size_t end = std::size_t{found->offset} + found->size;
    for (std::uint32_t position = 0; position < kStringsPerBlock; ++position) {
        if (end - at < 2) {
            return std::u16string();
        }
        const std::uint16_t count = u16(at);
        at += 2;
        if ((end - at) / 2 < count) {
            return std::u16string();
        }
        if (position == id % kStringsPerBlock) {
            std::u16string text(count, u'\0');
            for (std::uint16_t c = 0; c < count; ++c) {
                text[c] = static_cast<char16_t>(u16(at + 2 * std::size_t{c}));
            }
            return text;
        }
        at += 2 * std::size_t{count};
    }
    return std::u16string();
}

}  // namespace loc
