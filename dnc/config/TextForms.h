// The text forms of stored values: booleans "True"/"False", numbers in plain decimal, floating
// point with a "." whatever the locale.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace dnc {

std::string formatBool(bool value);
std::string formatInt(std::int64_t value);
std::string formatDouble(double value);

// "True"/"False" in any letter case, or a number (0 false, any other true).
std::optional<bool> parseBool(std::string_view text);
// Plain decimal with an optional sign, blanks around allowed; nullopt when out of range.
std::optional<std::int64_t> parseInt(std::string_view text, std::int64_t min, std::int64_t max);
std::optional<double> parseDouble(std::string_view text);

// Whether two names are the same for the store: compared without regard to letter case.
bool sameName(std::string_view a, std::string_view b);

}  // namespace dnc
