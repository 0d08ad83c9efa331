// The configuration dialog's rules that need no window: the contents of its lists, what a
// change of protocol does to the serial settings and the file-type list, and which unit fields
// can be used.
#pragma once

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "comm/FerixComm.h"

namespace dnc::configdialog {

// An item of a list: its text as shown (not translated) and its item data.
struct ListItem {
    const char* text;
    int data;
};

const std::vector<ListItem>& protocolItems();        // data: the ProtocolEnum value
const std::vector<const char*>& speedItems();        // "38400 " keeps its trailing blank
const std::vector<const char*>& dataBitItems();      // 7, 8
const std::vector<const char*>& stopBitItems();      // 1, 2
const std::vector<ListItem>& parityItems();          // data: the character code of N, E, O, M, S
const std::vector<const char*>& handshakingItems();  // index = CommHandshaking

inline constexpr int kPortCount = 16;
inline constexpr int kFileTypeFirst = 733;  // strings 733 to 741
inline constexpr int kFileTypeLast = 741;

// The index of the item whose data is `data`, or -1.
int indexOfData(const std::vector<ListItem>& items, int data);
// The parity item of a stored parity: the upper-cased first letter's code; -1 when none fits.
int parityIndex(const std::string& parity);

// What selecting a protocol does to the other fields (nullopt: unchanged).
struct ProtocolChange {
    std::optional<std::string> dataBits;
    std::optional<char> parity;
    std::optional<std::string> stopBits;
    std::optional<int> handshaking;
    bool fileTypeList = false;  // the list holds strings 733 to 741 (else it is emptied)
    bool oneUnit = true;        // unit 1 connected, units 2 to 10 not
};
ProtocolChange protocolChange(comm::ProtocolEnum protocol);

// Which of a unit's fields can be used.
struct UnitAvailability {
    bool connectedBox = false;  // the connected tick box
    bool fields = false;        // directory, browse button, prefix, In and Out buttons
};
std::array<UnitAvailability, comm::kUnitCount> unitRules(
    comm::ProtocolEnum protocol, const std::array<bool, comm::kUnitCount>& connected);

// The file-type box after a change: the item of `items` that begins with `remembered` (the
// first character of the trimmed text before), or -1 when the text stands as typed.
int fileTypeIndex(const std::vector<std::string>& items, const std::string& remembered);

// The first character of the trimmed text ("" when blank).
std::string firstCharacter(const std::string& text);

// Blanks at both ends removed.
std::string trimmed(const std::string& text);

}  // namespace dnc::configdialog
