#include "conversion/lentra/LentraCommands.h"

#include <optional>

namespace lentra {

namespace {

// States of the parser: what the next character may be.
enum State : int {
    kExpectSlash = 0,       // start, or after P and Z
    kExpectCommand = 1,     // after "/"
    kExpectListItem = 2,    // after H or L
    kExpectCountTens = 3,   // after "*"
    kExpectCountUnits = 4,  // after the first count digit
    kAfterCount = 5,        // a count waits for its character
    kExpectHexHigh = 6,     // after a backslash
    kExpectHexLow = 7,      // after the first hex digit
    kAfterCharacter = 8,    // a character was stored
    kExpectCharacter = 9,   // after R or K
};

class Parser {
public:
    ParseResult run(std::string_view text) {
        for (const char c : text) {
            step(static_cast<unsigned char>(c));
            if (result_.error != kNoError) {
                return result_;
            }
        }
        if (state_ != kExpectSlash && state_ != kAfterCharacter) {
            result_.error = kBadCommandEnd;
        } else if (result_.commands.replaceCharacters && pendingFrom_) {
            result_.error = kUnpairedReplacement;
        }
        return result_;
    }

private:
    void step(unsigned char c) {
        Commands& commands = result_.commands;
        switch (c) {
            case '/':
                accept(state_ == kExpectSlash || state_ == kAfterCharacter, kExpectCommand,
                       kMisplacedSlash);
                return;
            case 'H':
                if (accept(state_ == kExpectCommand, kExpectListItem, kNoSlashBeforeH)) {
                    commands.trailer = true;
                }
                return;
            case 'L':
                if (accept(state_ == kExpectCommand, kExpectListItem, kNoSlashBeforeCommand)) {
                    commands.leader = true;
                }
                return;
            case 'P':
            case 'Z':
                if (accept(state_ == kExpectCommand, kExpectSlash, kNoSlashBeforePOrZ)) {
                    (c == 'P' ? commands.dropBlankLines : commands.dropControlCodes) = true;
                }
                return;
            case 'R':
                if (accept(state_ == kExpectCommand, kExpectCharacter, kNoSlashBeforeCommand)) {
                    // A second R goes on collecting pairs; an unfinished pair of the first
                    // would otherwise be paired with a character meant for the new one.
                    if (pendingFrom_) {
                        result_.error = kUnpairedReplacement;
                        return;
                    }
                    commands.replaceCharacters = true;
                }
                return;
            case 'K':
                if (accept(state_ == kExpectCommand, kExpectCharacter, kNoSlashBeforeCommand)) {
                    commands.dropLinesWith = true;
                }
                return;
            case '*':
                accept(
                    state_ == kExpectListItem || state_ == kAfterCount || state_ == kAfterCharacter,
                    kExpectCountTens, kMisplacedStar);
                return;
            case '\\':
                accept(state_ == kExpectListItem || state_ == kAfterCount ||
                           state_ == kAfterCharacter || state_ == kExpectCharacter,
                       kExpectHexHigh, kMisplacedBackslash);
                return;
            default:
                break;
        }
        if (c >= '0' && c <= '9') {
            digit(static_cast<unsigned char>(c - '0'));
        } else if (c >= 'A' && c <= 'F') {
            hexLetter(static_cast<unsigned char>(c - 55));
        } else {
            result_.error = kForbiddenCharacter;
        }
    }

    bool accept(bool allowed, State next, ParseError otherwise) {
        if (!allowed) {
            result_.error = otherwise;
            return false;
        }
        state_ = next;
        return true;
    }

    void digit(unsigned char d) {
        switch (state_) {
            case kExpectCountTens:
                count_ = static_cast<unsigned char>(d * 10);
                state_ = kExpectCountUnits;
                return;
            case kExpectCountUnits:
                count_ = static_cast<unsigned char>(count_ + d);
                nextRepeat_ = count_;
                state_ = kAfterCount;
                return;
            case kExpectHexHigh:
            case kExpectHexLow:
                hexDigit(d);
                return;
            default:
                result_.error = kMisplacedDigit;
                return;
        }
    }

    void hexLetter(unsigned char d) {
        if (state_ != kExpectHexHigh && state_ != kExpectHexLow) {
            result_.error = kMisplacedHexDigit;
            return;
        }
        hexDigit(d);
    }

    void hexDigit(unsigned char d) {
        if (state_ == kExpectHexHigh) {
            value_ = static_cast<unsigned char>(d * 16);
            state_ = kExpectHexLow;
            return;
        }
        value_ = static_cast<unsigned char>(value_ + d);
        state_ = kAfterCharacter;
        store(value_);
    }

    void store(unsigned char c) {
        Commands& commands = result_.commands;
        if (commands.replaceCharacters) {
            if (pendingFrom_) {
                commands.pairs.push_back(ReplacementPair{*pendingFrom_, c});
                pendingFrom_.reset();
            } else if (commands.pairs.size() >= kMaxReplacementPairs) {
                result_.error = kTooManyReplacements;
            } else {
                pendingFrom_ = c;
            }
            return;
        }
        if (commands.byteList.size() >= kMaxListCharacters) {
            result_.error = kByteListFull;
            return;
        }
        commands.byteList.push_back(ListCharacter{c, nextRepeat_});
        nextRepeat_ = 1;
        commands.filterCharacter = c;
    }

    ParseResult result_;
    State state_ = kExpectSlash;
    unsigned char count_ = 0;
    unsigned char value_ = 0;
    unsigned nextRepeat_ = 1;
    std::optional<unsigned char> pendingFrom_;
};

}  // namespace

std::string cleanCommandString(std::string_view parameters) {
    std::string cleaned;
    cleaned.reserve(parameters.size());
    for (const char c : parameters) {
        if (c != ' ' && c != '\t' && c != '\n') {
            cleaned.push_back(c);
        }
    }
    return cleaned;
}

ParseResult parseCommands(std::string_view parameters) {
    const std::string cleaned = cleanCommandString(parameters);
    if (cleaned.size() > kMaxCommandLength) {
        ParseResult tooLong;
        tooLong.error = kCommandTooLong;
        return tooLong;
    }
    return Parser().run(cleaned);
}

}  // namespace lentra
