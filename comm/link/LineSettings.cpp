#include "comm/link/LineSettings.h"

#include <cctype>
#include <charconv>
#include <vector>

namespace comm {

namespace {

std::vector<std::string_view> splitFields(std::string_view text) {
    std::vector<std::string_view> fields;
    while (true) {
        const auto comma = text.find(',');
        std::string_view field = text.substr(0, comma);
        while (!field.empty() && field.front() == ' ') {
            field.remove_prefix(1);
        }
        while (!field.empty() && field.back() == ' ') {
            field.remove_suffix(1);
        }
        fields.push_back(field);
        if (comma == std::string_view::npos) {
            return fields;
        }
        text.remove_prefix(comma + 1);
    }
}

}  // namespace

double LineSettings::bitsPerCharacter() const {
    const double stop = stopBits == StopBits::One ? 1.0 : stopBits == StopBits::Two ? 2.0 : 1.5;
    return 1.0 + dataBits + (parity == Parity::None ? 0 : 1) + stop;
}

std::chrono::nanoseconds LineSettings::characterTime() const {
    if (speed <= 0) {
        return std::chrono::nanoseconds(0);
    }
    return std::chrono::nanoseconds(static_cast<std::int64_t>(bitsPerCharacter() * 1e9 / speed));
}

std::int32_t leadingNumber(std::string_view text) {
    while (!text.empty() && text.front() == ' ') {
        text.remove_prefix(1);
    }
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    return ec == std::errc() ? value : 0;
}

std::optional<LineSettings> parseLineSettings(std::string_view text) {
    const auto fields = splitFields(text);
    if (fields.size() != 4 || fields[1].size() != 1) {
        return std::nullopt;
    }
    LineSettings s;
    const auto [end, ec] =
        std::from_chars(fields[0].data(), fields[0].data() + fields[0].size(), s.speed);
    if (ec != std::errc() || end != fields[0].data() + fields[0].size() || s.speed <= 0) {
        return std::nullopt;
    }
    switch (std::tolower(static_cast<unsigned char>(fields[1][0]))) {
        case 'n':
            s.parity = Parity::None;
            break;
        case 'e':
            s.parity = Parity::Even;
            break;
        case 'o':
            s.parity = Parity::Odd;
            break;
        case 'm':
            s.parity = Parity::Mark;
            break;
        case 's':
            s.parity = Parity::Space;
            break;
        default:
            return std::nullopt;
    }
    if (fields[2].size() != 1 || fields[2][0] < '4' || fields[2][0] > '8') {
        return std::nullopt;
    }
    s.dataBits = fields[2][0] - '0';
    if (fields[3] == "1") {
        s.stopBits = StopBits::One;
    } else if (fields[3] == "1.5") {
        s.stopBits = StopBits::OneAndHalf;
    } else if (fields[3] == "2") {
        s.stopBits = StopBits::Two;
    } else {
        return std::nullopt;
    }
    return s;
}

std::string joinLineSettings(std::string_view speed, std::string_view parity,
                             std::string_view dataBits, std::string_view stopBits) {
    std::string joined;
    joined.append(speed).append(",").append(parity).append(",").append(dataBits).append(",");
    joined.append(stopBits);
    return joined;
}

}  // namespace comm
