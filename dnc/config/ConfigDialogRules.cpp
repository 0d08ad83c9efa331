#include "dnc/config/ConfigDialogRules.h"

#include <cctype>

namespace dnc::configdialog {

const std::vector<ListItem>& protocolItems() {
    static const std::vector<ListItem> items = {
        {"Bez protokolu", comm::ProtNone},
        {"Bez protokolu, s koncovým znakem  EOF", comm::ProtNoneEOF},
        {"Protokol Heidenhain", comm::ProtHeidenhain},
        {"protokol Tavro1", comm::ProtTavro1},
        {"Protokol DNC", comm::ProtDNC},
    };
    return items;
}

const std::vector<const char*>& speedItems() {
    static const std::vector<const char*> items = {"110",   "300",    "1200",  "2400",
                                                   "4800",  "9600",   "14400", "19200",
                                                   "28800", "38400 ", "57600", "115200"};
    return items;
}

const std::vector<const char*>& dataBitItems() {
    static const std::vector<const char*> items = {"7", "8"};
    return items;
}

const std::vector<const char*>& stopBitItems() {
    static const std::vector<const char*> items = {"1", "2"};
    return items;
}

const std::vector<ListItem>& parityItems() {
    static const std::vector<ListItem> items = {
        {"N - není", 'N'},          {"E - Sudá ( Even)", 'E'},   {"O - Lichá (Odd)", 'O'},
        {"M - Značka (Mark)", 'M'}, {"S - Mezera (Space)", 'S'},
    };
    return items;
}

const std::vector<const char*>& handshakingItems() {
    static const std::vector<const char*> items = {"Není", "XON/XOFF", "RTS/CTS",
                                                   "RTS/CTS a XON/XOFF"};
    return items;
}

int indexOfData(const std::vector<ListItem>& items, int data) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].data == data) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

int parityIndex(const std::string& parity) {
    if (parity.empty()) {
        return -1;
    }
    return indexOfData(parityItems(), std::toupper(static_cast<unsigned char>(parity.front())));
}

ProtocolChange protocolChange(comm::ProtocolEnum protocol) {
    ProtocolChange change;
    switch (protocol) {
        case comm::ProtHeidenhain:
            change.dataBits = "7";
            change.parity = 'E';
            change.stopBits = "2";
            change.handshaking = 0;
            break;
        case comm::ProtDNC:
            change.dataBits = "8";
            change.parity = 'N';
            change.stopBits = "2";
            change.handshaking = 0;
            change.oneUnit = false;
            break;
        case comm::ProtTavro1:
            change.dataBits = "8";
            change.parity = 'N';
            change.stopBits = "2";
            change.fileTypeList = true;
            break;
        case comm::ProtNone:
        case comm::ProtNoneEOF:
        case comm::ProtFerix:
            break;
    }
    return change;
}

std::array<UnitAvailability, comm::kUnitCount> unitRules(
    comm::ProtocolEnum protocol, const std::array<bool, comm::kUnitCount>& connected) {
    std::array<UnitAvailability, comm::kUnitCount> units{};
    if (protocol == comm::ProtDNC) {
        for (std::size_t i = 0; i < units.size(); ++i) {
            units[i] = {true, connected[i]};
        }
    } else {
        // One unit on the line: unit 1, always connected.
        units[0] = {false, true};
    }
    return units;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

std::string firstCharacter(const std::string& text) {
    const std::string t = trimmed(text);
    return t.empty() ? std::string() : t.substr(0, 1);
}

int fileTypeIndex(const std::vector<std::string>& items, const std::string& remembered) {
    if (remembered.empty()) {
        return -1;
    }
    for (std::size_t i = 0; i < items.size(); ++i) {
        if (items[i].compare(0, remembered.size(), remembered) == 0) {
            return static_cast<int>(i);
        }
    }
    return -1;
}

}  // namespace dnc::configdialog
