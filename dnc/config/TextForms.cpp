#include "dnc/config/TextForms.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cmath>

namespace dnc {

namespace {

std::string_view trim(std::string_view s) {
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.front()))) {
        s.remove_prefix(1);
    }
    while (!s.empty() && std::isspace(static_cast<unsigned char>(s.back()))) {
        s.remove_suffix(1);
    }
    return s;
}

}  // namespace

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::string formatBool(bool value) {
    return value ? "True" : "False";
}

std::string formatInt(std::int64_t value) {
    return std::to_string(value);
}

std::string formatDouble(double value) {
    char buffer[64];
    const auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value);
    return ec == std::errc() ? std::string(buffer, end) : std::string("0");
}

std::optional<bool> parseBool(std::string_view text) {
    text = trim(text);
    if (sameName(text, "True")) {
        return true;
    }
    if (sameName(text, "False")) {
        return false;
    }
    if (const auto number = parseDouble(text)) {
        return *number != 0.0;
    }
    return std::nullopt;
}

std::optional<std::int64_t> parseInt(std::string_view text, std::int64_t min, std::int64_t max) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    std::int64_t value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() || value < min ||
        value > max) {
        return std::nullopt;
    }
    return value;
}

std::optional<double> parseDouble(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') {
        text.remove_prefix(1);
    }
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || text.empty() ||
        !std::isfinite(value)) {
        return std::nullopt;
    }
    return value;
}

}  // namespace dnc
