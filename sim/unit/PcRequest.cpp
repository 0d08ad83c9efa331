#include "sim/unit/PcRequest.h"

namespace sim::unit {

std::optional<PcRequest> parsePcRequest(std::string_view data) {
    if (data.size() != pc::kRequestLength) {
        return std::nullopt;
    }
    PcRequest request;
    request.action = static_cast<std::uint8_t>(data[0]);
    request.direction = static_cast<std::uint8_t>(data[1]);
    request.code = static_cast<std::uint8_t>(data[2]);
    const std::string_view field = data.substr(3);
    const std::size_t start = field.find_first_not_of('/');
    request.name =
        start == std::string_view::npos ? std::string() : std::string(field.substr(start));
    return request;
}

std::string commandName(std::uint8_t code) {
    switch (code) {
        case pc::kSelect:
            return "select";
        case pc::kReaderSimulation:
            return "STR";
        case pc::kPuncherSimulation:
            return "STP";
        case pc::kReaderReading:
            return "TR";
        case pc::kJoinSections:
            return "join sections";
        case pc::kPurge:
            return "purge";
        case pc::kReset:
            return "reset";
        default:
            break;
    }
    if (code >= pc::kSection1 && code <= pc::kSection4) {
        return "section " + std::to_string(code - pc::kSection1 + 1);
    }
    return "command " + std::to_string(code);
}

}  // namespace sim::unit
