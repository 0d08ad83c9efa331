// One ended program transfer as the history records it, and the journal that takes such
// records. The journal is called on the sub nets' threads and must never wait there: the
// database work happens elsewhere.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace dnc::history {

enum class Direction { ToUnit, FromUnit, Include, Exclude };
enum class StartedBy { Unit, Operator, Window };
enum class Outcome { Done, Failed, Stopped };

struct TransferRecord {
    std::chrono::system_clock::time_point time;
    int subNet = 0;
    std::string caption;
    int unit = 0;
    Direction direction = Direction::ToUnit;
    StartedBy startedBy = StartedBy::Unit;
    // Who asked: the login name (or number) of the operator's user, or "unit N".
    std::string user;
    std::string name;  // the program's file name
    std::string path;  // its full path on the PC
    // The bytes that went over the line or were stored (size and hash are taken from them);
    // none when the transfer ended before any program bytes were at hand.
    std::optional<std::string> content;
    bool stored = false;  // the content is what the file at `path` holds now
    bool held = false;    // the content waits for approval; the file at `path` is untouched
    // Not a transfer: the program at `path` was removed (held: a removal waits for approval and
    // the file is untouched). `content` is what the file held, when it could be read. Only a
    // revision is written for it.
    bool deletion = false;
    Outcome outcome = Outcome::Done;
    std::string error;
};

class TransferJournal {
public:
    virtual ~TransferJournal() = default;
    // Takes the record for writing later; returns at once, whatever the database does.
    virtual void record(TransferRecord record) = 0;
};

// The texts under which the values are stored and printed.
std::string_view toText(Direction direction);
std::string_view toText(StartedBy startedBy);
std::string_view toText(Outcome outcome);
std::optional<Direction> directionFromText(std::string_view text);
std::optional<StartedBy> startedByFromText(std::string_view text);
std::optional<Outcome> outcomeFromText(std::string_view text);

}  // namespace dnc::history
