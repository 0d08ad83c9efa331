#include "sim/unit/UnitEvent.h"

#include <cstdio>

#include "sim/unit/PcRequest.h"

namespace sim::unit {

namespace {

std::uint32_t little(const std::string& s, std::size_t at, int bytes) {
    std::uint32_t v = 0;
    for (int i = bytes - 1; i >= 0; --i) {
        const std::size_t index = at + static_cast<std::size_t>(i);
        v = v * 256 + (index < s.size() ? static_cast<std::uint8_t>(s[index]) : 0u);
    }
    return v;
}

std::string dosStamp(std::uint16_t date, std::uint16_t time) {
    char text[32];
    std::snprintf(text, sizeof text, "%04d-%02d-%02d %02d:%02d:%02d", 1980 + (date >> 9),
                  (date >> 5) & 0x0F, date & 0x1F, time >> 11, (time >> 5) & 0x3F,
                  (time & 0x1F) * 2);
    return text;
}

}  // namespace

std::vector<ListingRecord> parseListing(const std::vector<std::string>& records) {
    std::vector<ListingRecord> out;
    for (const std::string& r : records) {
        ListingRecord record;
        record.dosTime = static_cast<std::uint16_t>(little(r, 1, 2));
        record.dosDate = static_cast<std::uint16_t>(little(r, 3, 2));
        record.size = little(r, 5, 4);
        if (r.size() > 9) {
            const std::size_t end = r.find('\0', 9);
            record.name = r.substr(9, end == std::string::npos ? std::string::npos : end - 9);
        }
        out.push_back(record);
    }
    return out;
}

std::string UnitEvent::describe() const {
    std::string text = "unit " + std::to_string(unit) + ": ";
    switch (kind) {
        case Announced:
            text += "request waiting, announced to the poll";
            break;
        case RequestSent:
            text += "request sent";
            break;
        case ProgramReceived:
            text += "program " + name + " received, " + std::to_string(data.size()) +
                    " bytes; closing value " + std::to_string(value) + ", status " +
                    std::to_string(status);
            break;
        case ProgramSent:
            text += "program " + name + " sent, " + std::to_string(data.size()) +
                    " bytes; closing value " + std::to_string(value) + ", status " +
                    std::to_string(status);
            break;
        case ListingReceived:
            text += "listing received, " + std::to_string(listing.size()) + " files; status " +
                    std::to_string(status);
            for (const ListingRecord& r : listing) {
                text += "\n    " + r.name + "  " + std::to_string(r.size) + " bytes  " +
                        dosStamp(r.dosDate, r.dosTime);
            }
            break;
        case NotServed:
            text += "request not served (polled again)";
            break;
        case BlockRefused:
            text += "block refused (check byte or final byte wrong)";
            break;
        case UnexpectedBlock:
            text += "unexpected block";
            break;
        case FaultPlayed:
            text += "fault played";
            break;
        case CommandCarriedOut:
            text += "command " + commandName(static_cast<std::uint8_t>(value)) +
                    (name.empty() ? "" : " " + name) + " carried out";
            break;
        case ProgramDeleted:
            text += "program " + name + " deleted";
            break;
        case PcRequestRefused:
            text += "request from the PC refused";
            break;
    }
    if (!detail.empty()) {
        text += " (" + detail + ")";
    }
    return text;
}

}  // namespace sim::unit
