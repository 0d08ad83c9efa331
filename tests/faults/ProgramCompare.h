// Comparing a program that went over a faulty line with the one that was sent: a short
// description of the difference for failure messages (programs are never printed whole), and
// the changes that a block's check byte cannot see, which the fault runs count instead of
// failing on them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <utility>
#include <vector>

// Where and how `got` differs from `wanted`, or "equal".
inline std::string difference(const std::string& got, const std::string& wanted) {
    if (got == wanted) {
        return "equal";
    }
    std::string text = std::to_string(got.size()) + " bytes instead of " +
                       std::to_string(wanted.size()) + ", differing at";
    int shown = 0;
    for (std::size_t i = 0; i < std::min(got.size(), wanted.size()) && shown < 8; ++i) {
        if (got[i] != wanted[i]) {
            text += " " + std::to_string(i) + " (" +
                    std::to_string(static_cast<std::uint8_t>(got[i])) + " for " +
                    std::to_string(static_cast<std::uint8_t>(wanted[i])) + ")";
            ++shown;
        }
    }
    return text;
}

namespace program_compare {

// Characters changed, inserted or deleted to turn `a` into `b`.
inline std::size_t editDistance(const std::string& a, const std::string& b) {
    std::vector<std::size_t> row(b.size() + 1);
    for (std::size_t j = 0; j <= b.size(); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        std::size_t diagonal = row[0];
        row[0] = i;
        for (std::size_t j = 1; j <= b.size(); ++j) {
            const std::size_t above = row[j];
            row[j] =
                std::min({row[j] + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
            diagonal = above;
        }
    }
    return row[b.size()];
}

inline std::uint8_t sumOf(const std::string& text) {
    std::uint8_t sum = 0;
    for (char c : text) {
        sum = static_cast<std::uint8_t>(sum + static_cast<std::uint8_t>(c));
    }
    return sum;
}

inline std::uint8_t xorOf(const std::string& text) {
    std::uint8_t x = 0;
    for (char c : text) {
        x ^= static_cast<std::uint8_t>(c);
    }
    return x;
}

}  // namespace program_compare

// Changes that a check byte summing its block cannot see: faults in one block whose effects on
// the sum cancel (a bit up here and the same bit down there, two characters lost whose values
// add up to 256, a character lost and an equal one doubled) or whose effect the check byte,
// changed by one bit, matches. Read in blocks of `blockSize` bytes, `got` is `wanted` with one block so
// changed; a block that came out short ends a program coming from a unit, so `got` may also end
// with it.
inline bool blindToSumCheck(const std::string& got, const std::string& wanted,
                            std::size_t blockSize) {
    if (got == wanted) {
        return false;
    }
    const auto firstDifference = static_cast<std::size_t>(
        std::mismatch(
            got.begin(),
            got.begin() + static_cast<std::ptrdiff_t>(std::min(got.size(), wanted.size())),
            wanted.begin())
            .first -
        got.begin());
    const std::size_t start = firstDifference / blockSize * blockSize;
    const std::string sent = wanted.substr(std::min(start, wanted.size()), blockSize);
    const auto blind = [&](const std::string& arrived) {
        const std::size_t changes = program_compare::editDistance(arrived, sent);
        const auto sumChange = static_cast<std::uint8_t>(program_compare::sumOf(arrived) -
                                                         program_compare::sumOf(sent));
        const auto checkFlip = [](std::uint8_t d) { return d != 0 && (d & (d - 1)) == 0; };
        return changes > 0 && (sumChange == 0 || checkFlip(sumChange) ||
                               checkFlip(static_cast<std::uint8_t>(-sumChange)));
    };
    // The blocks after the changed one arrived as sent.
    const std::string rest = wanted.substr(std::min(start + blockSize, wanted.size()));
    if (got.size() >= start + rest.size() &&
        got.compare(got.size() - rest.size(), rest.size(), rest) == 0 &&
        blind(got.substr(start, got.size() - rest.size() - start))) {
        return true;
    }
    // The changed block came out short and was taken for the last.
    const std::string tail = got.substr(std::min(start, got.size()));
    return sent.size() == blockSize && tail.size() < blockSize && blind(tail);
}

// Blocks changed in ways that an exclusive-or check byte (the Heidenhain family's BCC) cannot
// see: two faults in one block whose effects on the xor cancel. Either two characters of the
// block changed, lost or doubled with the same xor (a bit flipped twice, two equal characters
// lost, one lost and an equal one doubled, ...), or one such change and the check byte flipped
// by the same single bit. `got` is read as the `blocks` as sent, each followed by `separator`
// (what the receiver adds to every block), each one as sent or changed so. Returns how many
// blocks are changed, or nothing when `got` cannot be read so.
inline std::optional<std::size_t> blocksBlindToXorCheck(const std::string& got,
                                                        const std::vector<std::string>& blocks,
                                                        const std::string& separator) {
    const auto blind = [](const std::string& changed, const std::string& sent) {
        const std::size_t changes = program_compare::editDistance(changed, sent);
        const std::uint8_t xorChange =
            program_compare::xorOf(changed) ^ program_compare::xorOf(sent);
        if (changes == 2) {
            return xorChange == 0;
        }
        return changes == 1 && xorChange != 0 && (xorChange & (xorChange - 1)) == 0;
    };
    // Depth first over the blocks, the unchanged reading of a block tried first; positions of
    // `got` already found to lead nowhere for a block are not tried again.
    std::set<std::pair<std::size_t, std::size_t>> deadEnds;
    std::function<std::optional<std::size_t>(std::size_t, std::size_t)> read =
        [&](std::size_t at, std::size_t block) -> std::optional<std::size_t> {
        if (block == blocks.size()) {
            return at == got.size() ? std::optional<std::size_t>(0) : std::nullopt;
        }
        if (deadEnds.contains({at, block})) {
            return std::nullopt;
        }
        const std::string& sent = blocks[block];
        if (got.compare(at, sent.size(), sent) == 0 &&
            got.compare(at + sent.size(), separator.size(), separator) == 0) {
            if (auto rest = read(at + sent.size() + separator.size(), block + 1)) {
                return rest;
            }
        }
        for (std::size_t length = sent.size() >= 2 ? sent.size() - 2 : 0;
             length <= sent.size() + 2 && at + length + separator.size() <= got.size(); ++length) {
            const std::string changed = got.substr(at, length);
            if (changed != sent && got.compare(at + length, separator.size(), separator) == 0 &&
                blind(changed, sent)) {
                if (auto rest = read(at + length + separator.size(), block + 1)) {
                    return *rest + 1;
                }
            }
        }
        deadEnds.insert({at, block});
        return std::nullopt;
    };
    return read(0, 0);
}
