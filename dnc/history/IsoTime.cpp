#include "dnc/history/IsoTime.h"

#include <cstdio>
#include <ctime>

namespace dnc::history {

namespace {

using Milliseconds = std::chrono::milliseconds;

// Reads exactly `digits` decimal digits at `pos`.
std::optional<int> number(std::string_view text, std::size_t pos, std::size_t digits) {
    if (pos + digits > text.size()) {
        return std::nullopt;
    }
    int value = 0;
    for (std::size_t i = pos; i < pos + digits; ++i) {
        if (text[i] < '0' || text[i] > '9') {
            return std::nullopt;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}

bool expect(std::string_view text, std::size_t pos, char c) {
    return pos < text.size() && text[pos] == c;
}

}  // namespace

std::string isoUtc(std::chrono::system_clock::time_point time) {
    const auto sinceEpoch = std::chrono::duration_cast<Milliseconds>(time.time_since_epoch());
    auto seconds = sinceEpoch.count() / 1000;
    auto millis = sinceEpoch.count() % 1000;
    if (millis < 0) {
        millis += 1000;
        --seconds;
    }
    const std::time_t t = static_cast<std::time_t>(seconds);
    std::tm utc{};
    gmtime_r(&t, &utc);
    char text[64];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", utc.tm_year + 1900,
                  utc.tm_mon + 1, utc.tm_mday, utc.tm_hour, utc.tm_min, utc.tm_sec,
                  static_cast<int>(millis));
    return text;
}

std::optional<DateRange> parseDate(std::string_view text) {
    if (!text.empty() && (text.back() == 'Z' || text.back() == 'z')) {
        text.remove_suffix(1);
    }
    const auto year = number(text, 0, 4);
    const auto month = number(text, 5, 2);
    const auto day = number(text, 8, 2);
    if (!year || !month || !day || !expect(text, 4, '-') || !expect(text, 7, '-')) {
        return std::nullopt;
    }
    std::tm parts{};
    parts.tm_year = *year - 1900;
    parts.tm_mon = *month - 1;
    parts.tm_mday = *day;
    Milliseconds span = std::chrono::hours(24);
    if (text.size() > 10) {
        const auto hour = number(text, 11, 2);
        const auto minute = number(text, 14, 2);
        if ((text[10] != 'T' && text[10] != 't' && text[10] != ' ') || !hour || !minute ||
            !expect(text, 13, ':') || *hour > 23 || *minute > 59) {
            return std::nullopt;
        }
        parts.tm_hour = *hour;
        parts.tm_min = *minute;
        span = std::chrono::minutes(1);
        if (text.size() > 16) {
            const auto second = number(text, 17, 2);
            if (!expect(text, 16, ':') || !second || *second > 59 || text.size() != 19) {
                return std::nullopt;
            }
            parts.tm_sec = *second;
            span = std::chrono::seconds(1);
        } else if (text.size() != 16) {
            return std::nullopt;
        }
    } else if (text.size() != 10) {
        return std::nullopt;
    }
    const std::tm asked = parts;
    const std::time_t t = timegm(&parts);
    // timegm moves an impossible date (February 30) to another one: such a text is refused.
    if (parts.tm_year != asked.tm_year || parts.tm_mon != asked.tm_mon ||
        parts.tm_mday != asked.tm_mday) {
        return std::nullopt;
    }
    const auto first = std::chrono::system_clock::from_time_t(t);
    return DateRange{isoUtc(first), isoUtc(first + span - Milliseconds(1))};
}

}  // namespace dnc::history
