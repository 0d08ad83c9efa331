// Times of the history: stored and printed in UTC as ISO 8601 with milliseconds
// ("2026-03-04T05:06:07.089Z"), so that text order is time order.
#pragma once

#include <chrono>
#include <optional>
#include <string>
#include <string_view>

namespace dnc::history {

std::string isoUtc(std::chrono::system_clock::time_point time);

// A date as the operator types it, taken as UTC: "2026-03-04", "2026-03-04T05:06",
// "2026-03-04 05:06:07", each optionally ending in "Z". `first` and `last` are the first and
// the last millisecond the text names (the whole day for a date alone), in the stored form.
struct DateRange {
    std::string first;
    std::string last;
};
std::optional<DateRange> parseDate(std::string_view text);

}  // namespace dnc::history
