#include "comm/PropertyBag.h"

#include <algorithm>
#include <cctype>
#include <charconv>

namespace comm {

namespace {

bool sameName(std::string_view a, std::string_view b) {
    return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
               return std::tolower(static_cast<unsigned char>(x)) ==
                      std::tolower(static_cast<unsigned char>(y));
           });
}

std::optional<std::int32_t> toInt(const PropertyBag::Value& v) {
    if (const auto* i = std::get_if<std::int32_t>(&v)) {
        return *i;
    }
    if (const auto* b = std::get_if<bool>(&v)) {
        return *b ? -1 : 0;
    }
    const std::string& s = std::get<std::string>(v);
    std::int32_t value = 0;
    const auto [ptr, ec] = std::from_chars(s.data(), s.data() + s.size(), value);
    if (ec != std::errc() || ptr != s.data() + s.size()) {
        return std::nullopt;
    }
    return value;
}

std::optional<bool> toBool(const PropertyBag::Value& v) {
    if (const auto* b = std::get_if<bool>(&v)) {
        return *b;
    }
    if (const auto* i = std::get_if<std::int32_t>(&v)) {
        return *i != 0;
    }
    const std::string& s = std::get<std::string>(v);
    if (sameName(s, "True")) {
        return true;
    }
    if (sameName(s, "False")) {
        return false;
    }
    if (const auto i = toInt(v)) {
        return *i != 0;
    }
    return std::nullopt;
}

std::string toText(const PropertyBag::Value& v) {
    if (const auto* b = std::get_if<bool>(&v)) {
        return *b ? "True" : "False";
    }
    if (const auto* i = std::get_if<std::int32_t>(&v)) {
        return std::to_string(*i);
    }
    return std::get<std::string>(v);
}

}  // namespace

std::vector<std::pair<std::string, PropertyBag::Value>>::iterator PropertyBag::locate(
    std::string_view name) {
    return std::find_if(entries_.begin(), entries_.end(),
                        [&](const auto& e) { return sameName(e.first, name); });
}

void PropertyBag::set(std::string_view name, const Value& value) {
    const auto it = locate(name);
    if (it != entries_.end()) {
        it->second = value;
    } else {
        entries_.emplace_back(std::string(name), value);
    }
}

void PropertyBag::WriteProperty(std::string_view name, const Value& value,
                                const Value& defaultValue) {
    if (value == defaultValue) {
        const auto it = locate(name);
        if (it != entries_.end()) {
            entries_.erase(it);
        }
        return;
    }
    set(name, value);
}

std::optional<PropertyBag::Value> PropertyBag::find(std::string_view name) const {
    const auto it = std::find_if(entries_.begin(), entries_.end(),
                                 [&](const auto& e) { return sameName(e.first, name); });
    if (it == entries_.end()) {
        return std::nullopt;
    }
    return it->second;
}

PropertyBag::Value PropertyBag::ReadProperty(std::string_view name,
                                             const Value& defaultValue) const {
    const auto kept = find(name);
    if (!kept) {
        return defaultValue;
    }
    if (std::holds_alternative<bool>(defaultValue)) {
        const auto b = toBool(*kept);
        return b ? Value(*b) : defaultValue;
    }
    if (std::holds_alternative<std::int32_t>(defaultValue)) {
        const auto i = toInt(*kept);
        return i ? Value(*i) : defaultValue;
    }
    return toText(*kept);
}

std::string PropertyBag::readString(std::string_view name, const std::string& defaultValue) const {
    return std::get<std::string>(ReadProperty(name, defaultValue));
}

std::int32_t PropertyBag::readInt(std::string_view name, std::int32_t defaultValue) const {
    return std::get<std::int32_t>(ReadProperty(name, defaultValue));
}

bool PropertyBag::readBool(std::string_view name, bool defaultValue) const {
    return std::get<bool>(ReadProperty(name, defaultValue));
}

}  // namespace comm
