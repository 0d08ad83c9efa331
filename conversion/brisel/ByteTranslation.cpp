#include "conversion/brisel/ByteTranslation.h"

#include <cstring>

namespace brisel {

namespace {

// Any table: one decision per byte.
std::size_t translateEachByte(std::string_view input, const Translation& translation, char* out,
                              std::size_t& written) {
    char* const start = out;
    const std::int16_t* actions = translation.actions.data();
    const std::string_view endOfBlock = translation.endOfBlock;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const std::int16_t action = actions[static_cast<unsigned char>(input[i])];
        if (action >= 0) {
            *out++ = static_cast<char>(action);
        } else if (action == kEndOfBlock) {
            std::memcpy(out, endOfBlock.data(), endOfBlock.size());
            out += endOfBlock.size();
        } else if (action == kRefuseByte) {
            written = static_cast<std::size_t>(out - start);
            return i;
        }
    }
    written = static_cast<std::size_t>(out - start);
    return std::string_view::npos;
}

// Tables whose end of block is one byte: every byte becomes at most one, so the loop needs
// no branch. A refused byte is only noted; the slow loop then finds where it is.
struct OneByteTables {
    unsigned char mapped[256];
    unsigned char kept[256];
    unsigned char refused[256];
};

OneByteTables oneByteTables(const Translation& translation) {
    OneByteTables tables{};
    for (unsigned b = 0; b < 256; ++b) {
        const std::int16_t action = translation.actions[b];
        tables.kept[b] = action >= 0 || action == kEndOfBlock ? 1 : 0;
        tables.refused[b] = action == kRefuseByte ? 1 : 0;
        tables.mapped[b] = action >= 0 ? static_cast<unsigned char>(action)
                           : action == kEndOfBlock
                               ? static_cast<unsigned char>(translation.endOfBlock[0])
                               : 0;
    }
    return tables;
}

}  // namespace

std::size_t translateBytes(std::string_view input, const Translation& translation, char* out,
                           std::size_t& written) {
    if (translation.endOfBlock.size() != 1) {
        return translateEachByte(input, translation, out, written);
    }
    const OneByteTables tables = oneByteTables(translation);
    const auto* in = reinterpret_cast<const unsigned char*>(input.data());
    std::size_t kept = 0;
    unsigned refused = 0;
    for (std::size_t i = 0; i < input.size(); ++i) {
        const unsigned char b = in[i];
        out[kept] = static_cast<char>(tables.mapped[b]);
        kept += tables.kept[b];
        refused |= tables.refused[b];
    }
    if (refused != 0) {
        return translateEachByte(input, translation, out, written);
    }
    written = kept;
    return std::string_view::npos;
}

}  // namespace brisel
