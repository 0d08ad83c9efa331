#include "conversion/lentra/CharacterOperations.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace lentra {

namespace {

// What becomes of each character: mapped[c] is written in its place (a line feed as CR LF)
// unless kept[c] is 0.
struct CharacterTable {
    std::array<unsigned char, 256> mapped{};
    std::array<unsigned char, 256> kept{};

    // CR and LF stay themselves and nothing else becomes one: line ends pass unchanged, and
    // only a line feed without its CR needs one added.
    bool keepsLineEnds() const {
        for (unsigned c = 0; c < 256; ++c) {
            const bool lineEnd = c == '\r' || c == '\n';
            if (lineEnd ? (mapped[c] != c || kept[c] == 0)
                        : (kept[c] != 0 && (mapped[c] == '\r' || mapped[c] == '\n'))) {
                return false;
            }
        }
        return true;
    }
};

CharacterTable identityTable() {
    CharacterTable table;
    for (unsigned c = 0; c < 256; ++c) {
        table.mapped[c] = static_cast<unsigned char>(c);
        table.kept[c] = 1;
    }
    return table;
}

// Maps `size` characters without a branch; returns how many were kept.
std::size_t mapRun(const CharacterTable& table, const unsigned char* in, std::size_t size,
                   char* out) {
    std::size_t kept = 0;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = in[i];
        out[kept] = static_cast<char>(table.mapped[c]);
        kept += table.kept[c];
    }
    return kept;
}

// The common case: line ends are left alone, so runs between line feeds that lack their CR
// are mapped as they are, and such a line feed gets its CR.
std::size_t translateKeepingLineEnds(const CharacterTable& table, const unsigned char* in,
                                     std::size_t size, char* out) {
    char* const start = out;
    std::size_t runStart = 0;
    std::size_t searchFrom = 0;
    while (true) {
        const void* found = std::memchr(in + searchFrom, '\n', size - searchFrom);
        if (found == nullptr) {
            out += mapRun(table, in + runStart, size - runStart, out);
            return static_cast<std::size_t>(out - start);
        }
        const std::size_t at =
            static_cast<std::size_t>(static_cast<const unsigned char*>(found) - in);
        searchFrom = at + 1;
        if (at > 0 && in[at - 1] == '\r') {
            continue;
        }
        out += mapRun(table, in + runStart, at - runStart, out);
        *out++ = '\r';
        *out++ = '\n';
        runStart = at + 1;
    }
}

// Any table: the CR of a CR LF pair is skipped, the pair reads as one line feed, which the
// table then maps; every line feed that comes out is written as CR LF, including one a
// replacement produced.
std::size_t translateAny(const CharacterTable& table, const unsigned char* in, std::size_t size,
                         char* out) {
    char* const start = out;
    for (std::size_t i = 0; i < size; ++i) {
        const unsigned char c = in[i];
        if ((c == '\r' && i + 1 < size && in[i + 1] == '\n') || table.kept[c] == 0) {
            continue;
        }
        const unsigned char mapped = table.mapped[c];
        if (mapped == '\n') {
            *out++ = '\r';
        }
        *out++ = static_cast<char>(mapped);
    }
    return static_cast<std::size_t>(out - start);
}

void translateCharacters(const CharacterTable& table, TextLineReader& reader, TextWriter& writer) {
    const bool keepsLineEnds = table.keepsLineEnds();
    TextLine block;
    while (reader.nextLines(block)) {
        char* out = writer.space(block.size * 2);
        if (out == nullptr) {
            return;
        }
        const auto* in = reinterpret_cast<const unsigned char*>(block.data);
        writer.commit(keepsLineEnds ? translateKeepingLineEnds(table, in, block.size, out)
                                    : translateAny(table, in, block.size, out));
    }
}

}  // namespace

void replaceCharacters(const std::vector<ReplacementPair>& pairs, TextLineReader& reader,
                       TextWriter& writer) {
    // The pairs apply one after the other, so together they are one table: a later pair also
    // acts on characters an earlier pair produced.
    CharacterTable table = identityTable();
    for (unsigned c = 0; c < 256; ++c) {
        for (const ReplacementPair& pair : pairs) {
            if (table.mapped[c] == pair.from) {
                table.mapped[c] = pair.to;
            }
        }
    }
    translateCharacters(table, reader, writer);
}

void dropControlCodes(TextLineReader& reader, TextWriter& writer) {
    CharacterTable table = identityTable();
    table.kept[18] = 0;  // DC2
    table.kept[20] = 0;  // DC4
    translateCharacters(table, reader, writer);
}

}  // namespace lentra
