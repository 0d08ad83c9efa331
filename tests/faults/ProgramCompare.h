// Comparing a program that went over a faulty line with the one that was sent: a short
// description of the difference for failure messages (programs are never printed whole), and
// the changes that a block's check byte cannot see, which the fault runs count instead of
// failing on them.
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
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
// changed by one bit, matches. Read in blocks of `blockSize` bytes, `got` is `wanted` with one
// block so changed; a block that came out short ends a program coming from a unit, so `got` may
// also end with it.
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

namespace program_compare {

// Characters changed, inserted or deleted to turn `a` into `b`, counted up to `limit`: any
// number above it comes back as limit + 1.
inline std::size_t editDistanceUpTo(const std::string& a, const std::string& b, std::size_t limit) {
    const std::size_t over = limit + 1;
    if ((a.size() > b.size() ? a.size() - b.size() : b.size() - a.size()) > limit) {
        return over;
    }
    // Only cells within `limit` of the diagonal can stay within it.
    std::vector<std::size_t> row(b.size() + 1, over);
    for (std::size_t j = 0; j <= std::min(b.size(), limit); ++j) {
        row[j] = j;
    }
    for (std::size_t i = 1; i <= a.size(); ++i) {
        const std::size_t from = i > limit ? i - limit : 1;
        const std::size_t to = std::min(b.size(), i + limit);
        std::size_t diagonal = row[from - 1];
        row[from - 1] = from == 1 && i <= limit ? i : over;
        bool within = row[from - 1] <= limit;
        for (std::size_t j = from; j <= to; ++j) {
            const std::size_t above = row[j];
            row[j] = std::min(
                {over, above + 1, row[j - 1] + 1, diagonal + (a[i - 1] == b[j - 1] ? 0u : 1u)});
            diagonal = above;
            within = within || row[j] <= limit;
        }
        if (to < b.size()) {
            row[to + 1] = over;
        }
        if (!within) {
            return over;
        }
    }
    return std::min(row[b.size()], over);
}

}  // namespace program_compare

// Blocks changed in ways that an exclusive-or check byte (the Heidenhain family's BCC) cannot
// see: faults in one block whose effects on the xor cancel. Either the block's characters were
// changed, lost or doubled with the same xor in all (a bit flipped twice, two equal characters
// lost, one lost and an equal one doubled, three changes whose bits cancel, ...), or the check
// byte was flipped by the one bit that the changes left. At most kMostBlindChanges changes to a
// block are taken: at the fault runs' rates more in one block are beyond reason, and a block the
// receiver mangled itself (another block's text, a line end lost) differs by far more.
inline constexpr std::size_t kMostBlindChanges = 6;

inline bool blindToXorCheck(const std::string& changed, const std::string& sent) {
    const std::size_t changes = program_compare::editDistanceUpTo(changed, sent, kMostBlindChanges);
    const std::uint8_t xorChange = program_compare::xorOf(changed) ^ program_compare::xorOf(sent);
    if (changes == 0 || changes > kMostBlindChanges) {
        return false;
    }
    // Unchanged xor: at least two changes cancelled. One bit left: the check byte took it.
    return xorChange == 0 ? changes >= 2 : (xorChange & (xorChange - 1)) == 0;
}

// How the blocks may follow each other in `got`.
enum class BlockOrder {
    AsSent,
    // The sender ran ahead of the receiver's answers: each refused block is lost, the block
    // the sender had reached arrives twice. A block follows the one before, repeats it or
    // skips some, but none comes back from before.
    OutOfStep,
};

// `got` read as the `blocks` as sent, each followed by `separator` (what the receiver adds to
// every block), each one as sent or changed so that the xor check cannot see it. Returns how
// many blocks are changed, or nothing when `got` cannot be read so.
inline std::optional<std::size_t> blocksBlindToXorCheck(const std::string& got,
                                                        const std::vector<std::string>& blocks,
                                                        const std::string& separator,
                                                        BlockOrder order = BlockOrder::AsSent) {
    // The blocks that may come after block `block` (blocks.size(): the end of the program).
    const auto following = [&](std::size_t block) {
        std::vector<std::size_t> next{block + 1};
        if (order == BlockOrder::OutOfStep) {
            next.push_back(block);
            for (std::size_t later = block + 2; later <= blocks.size(); ++later) {
                next.push_back(later);
            }
        }
        return next;
    };
    // The reading with the fewest changed blocks, found depth first; what a position of `got`
    // leads to from a block is kept, so that no reading of it is tried twice.
    std::map<std::pair<std::size_t, std::size_t>, std::optional<std::size_t>> known;
    std::function<std::optional<std::size_t>(std::size_t, std::size_t)> read =
        [&](std::size_t at, std::size_t block) -> std::optional<std::size_t> {
        if (block >= blocks.size()) {
            return at == got.size() ? std::optional<std::size_t>(0) : std::nullopt;
        }
        if (const auto it = known.find({at, block}); it != known.end()) {
            return it->second;
        }
        std::optional<std::size_t> fewest;
        const auto readOn = [&](std::size_t after, std::size_t changed) {
            for (std::size_t next : following(block)) {
                if (fewest == std::optional<std::size_t>(0)) {
                    return;
                }
                if (const auto rest = read(after, next);
                    rest && (!fewest || *rest + changed < *fewest)) {
                    fewest = *rest + changed;
                }
            }
        };
        const std::string& sent = blocks[block];
        if (got.compare(at, sent.size(), sent) == 0 &&
            got.compare(at + sent.size(), separator.size(), separator) == 0) {
            readOn(at + sent.size() + separator.size(), 0);
        }
        const std::size_t shortest =
            sent.size() >= kMostBlindChanges ? sent.size() - kMostBlindChanges : 0;
        for (std::size_t length = shortest; length <= sent.size() + kMostBlindChanges &&
                                            at + length + separator.size() <= got.size() &&
                                            fewest != std::optional<std::size_t>(0);
             ++length) {
            if (got.compare(at + length, separator.size(), separator) != 0) {
                continue;
            }
            const std::string changed = got.substr(at, length);
            if (changed != sent && blindToXorCheck(changed, sent)) {
                readOn(at + length + separator.size(), 1);
            }
        }
        known[{at, block}] = fewest;
        return fewest;
    };
    if (order == BlockOrder::OutOfStep) {
        // The first blocks may be among those lost.
        std::optional<std::size_t> fewest;
        for (std::size_t first = 0; first < blocks.size(); ++first) {
            if (const auto blind = read(0, first); blind && (!fewest || *blind < *fewest)) {
                fewest = blind;
            }
        }
        return fewest;
    }
    return read(0, 0);
}
