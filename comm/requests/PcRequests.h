// The operator's requests at the PC: send or fetch a file, delete a file in the unit's memory,
// unit commands, and the unit's memory list, on every protocol. Every failure ends in one
// OnError event; nothing is returned to the caller.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "comm/ComError.h"
#include "comm/requests/MemoryList.h"

namespace comm {

class ctrlFerixComm;

namespace request {
// Actions.
inline constexpr std::uint8_t kFileTransfer = 0;
inline constexpr std::uint8_t kDelete = 3;
inline constexpr std::uint8_t kCommand = 4;
// Directions.
inline constexpr std::uint8_t kToUnit = 0;
inline constexpr std::uint8_t kFromUnit = 1;
// File kinds of a transfer.
inline constexpr std::uint8_t kSourceText = 0;
inline constexpr std::uint8_t kWorkText = 1;
inline constexpr std::uint8_t kList = 2;
inline constexpr std::uint8_t kNameAsIs = 3;
// Command codes.
inline constexpr std::uint8_t kSelect = 0;
inline constexpr std::uint8_t kStr = 1;
inline constexpr std::uint8_t kStp = 2;
inline constexpr std::uint8_t kTr = 3;
inline constexpr std::uint8_t kSection1 = 4;
inline constexpr std::uint8_t kJoinSections = 8;
inline constexpr std::uint8_t kPurge = 9;
inline constexpr std::uint8_t kReset = 20;
// The name under which a unit's memory list is fetched.
inline constexpr const char* kListingName = "$$$$$DIR";
// The directory file of a unit that gives the short answer.
inline constexpr const char* kShortAnswerDirectory = "DIR";
}  // namespace request

// The 11-byte request block: action, direction, kind or command, and the name right-aligned in
// 8 characters, filled on the left with "/".
std::string requestBlock(std::uint8_t action, std::uint8_t direction, std::uint8_t extension,
                         const std::string& name);

// The request header of the Heidenhain family: SOH, type letter, name, command letter, ETB and
// the exclusive or of all bytes before it.
std::string requestHeader(char typeLetter, const std::string& name, char command);

// The progress values of a command that takes `steps` seconds: i * 100 / steps, rounded.
int commandProgress(int i, int steps);

class PcRequests {
public:
    explicit PcRequests(ctrlFerixComm& control) : control_(control) {}

    void DoPCRequest(std::uint8_t FerixAdr, std::uint8_t Action, std::uint8_t Direction,
                     std::uint8_t Extension, const std::string& FileName,
                     std::int32_t LenOfFile = 0);
    void DoPcRequestFileToFerix(std::uint8_t FerixAdr, const std::string& FileName);
    MemoryList FerixLst(std::uint8_t FerixAdr);

private:
    // Where a fetched file goes: into the unit directory, or into memory (listings).
    struct Target {
        std::string* memory = nullptr;
    };

    bool request(std::uint8_t FerixAdr, std::uint8_t Action, std::uint8_t Direction,
                 std::uint8_t Extension, const std::string& FileName, std::int32_t LenOfFile,
                 Target target);
    bool dncRequest(std::uint8_t FerixAdr, std::uint8_t Action, std::uint8_t Direction,
                    std::uint8_t Extension, const std::string& FileName, std::int32_t LenOfFile,
                    Target target);
    void dncAfterCommand(std::uint8_t FerixAdr, std::uint8_t command);
    bool plainRequest(std::uint8_t Action, std::uint8_t Direction, const std::string& FileName);
    bool heidenhainRequest(std::uint8_t FerixAdr, std::uint8_t Action, std::uint8_t Direction,
                           std::uint8_t Extension, const std::string& FileName,
                           std::int32_t LenOfFile, Target target);
    enum class HeaderAnswer { Accepted, Refused, Stopped, Failed };
    HeaderAnswer sendHeader(const std::string& header, bool memoryList);

    MemoryList dncMemoryList(std::uint8_t FerixAdr);
    MemoryList tavroMemoryList();

    void error(bool reqSidePC, const std::string& description, const std::string& helpFile = "",
               std::int32_t context = 0);
    // Waits while letting the host's messages run.
    void pause(int milliseconds);

    ctrlFerixComm& control_;
};

}  // namespace comm
