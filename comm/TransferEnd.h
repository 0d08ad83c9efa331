// How a program transfer between the PC and a unit ended, as the control tells its host once per
// transfer (for the program history). Listings and memory lists are not programs and are never
// told.
#pragma once

#include <cstdint>
#include <string>

namespace comm {

enum class TransferWay { ToUnit, FromUnit };
enum class TransferStarter { Unit, Operator };
enum class TransferOutcome { Done, Failed, Stopped };

struct TransferEnd {
    std::uint8_t unit = 1;
    TransferWay way = TransferWay::ToUnit;
    TransferStarter startedBy = TransferStarter::Unit;
    std::string name;  // the program's file name in the unit directory
    std::string path;  // its full path on the PC; empty when the name could not become one
    // To the unit: the program bytes that went over the line (all of them when done, those the
    // unit had taken when stopped or failed). From the unit: the bytes that arrived.
    std::string bytes;
    bool hasBytes = false;  // false: the transfer ended before any program bytes were at hand
    bool stored = false;    // from the unit: `bytes` replaced the file at `path`
    bool held = false;      // from the unit: `bytes` wait for approval, the file is untouched
    TransferOutcome outcome = TransferOutcome::Done;
    std::string error;  // the failure's description; empty when done
};

// A program removed from a unit directory, or (held) whose removal waits for approval while the
// file stays. Told once, on the control's thread.
struct ProgramRemoval {
    std::uint8_t unit = 1;
    TransferStarter startedBy = TransferStarter::Unit;
    std::string name;
    std::string path;
    std::string bytes;  // what the file held, when it could be read
    bool hasBytes = false;
    bool held = false;
};

}  // namespace comm
