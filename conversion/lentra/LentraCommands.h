// The user conversion library's command string: "/P", "/Z", "/R\hh\hh...", "/K\hh",
// "/L" and "/H" with a byte list such as "*03\00\0D". Parsed by a small state machine that
// stops at the first error.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace lentra {

// Error codes of the command parser; each has its text in LentraMessages.
enum ParseError : int {
    kNoError = 0,
    kMisplacedSlash = 1,
    kNoSlashBeforeH = 2,
    kMisplacedStar = 3,
    kMisplacedBackslash = 4,
    kMisplacedHexDigit = 5,
    kMisplacedDigit = 6,
    kForbiddenCharacter = 7,
    kBadCommandEnd = 8,
    kNoSlashBeforePOrZ = 9,
    kNoSlashBeforeCommand = 10,
    kTooManyReplacements = 11,
    kUnpairedReplacement = 12,
    kByteListFull = 13,
    kCommandTooLong = 14,
};

// Limits of the command string: the shared leader/trailer byte list, the replacement pairs
// and the cleaned command itself.
inline constexpr std::size_t kMaxListCharacters = 10;
inline constexpr std::size_t kMaxReplacementPairs = 11;
inline constexpr std::size_t kMaxCommandLength = 255;

struct ListCharacter {
    unsigned char character = 0;
    unsigned repeat = 1;
};

struct ReplacementPair {
    unsigned char from = 0;
    unsigned char to = 0;
};

struct Commands {
    bool dropBlankLines = false;     // P
    bool dropControlCodes = false;   // Z
    bool replaceCharacters = false;  // R
    bool dropLinesWith = false;      // K
    bool trailer = false;            // H
    bool leader = false;             // L
    std::vector<ReplacementPair> pairs;
    // Shared by H and L: both write the whole list.
    std::vector<ListCharacter> byteList;
    // The last character given outside R: the one K looks for.
    unsigned char filterCharacter = 0;

    bool anyLineOperation() const {
        return dropBlankLines || replaceCharacters || dropLinesWith || dropControlCodes;
    }
};

struct ParseResult {
    int error = kNoError;
    Commands commands;
};

// Blanks, tabs and line feeds are removed from the whole string before it is read.
std::string cleanCommandString(std::string_view parameters);

ParseResult parseCommands(std::string_view parameters);

}  // namespace lentra
