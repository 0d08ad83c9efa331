// Named values in which a host keeps the saved state of a control. Only values that differ from
// their default are kept; reading an absent name gives the default. Names compare without
// regard to letter case and keep the order in which they were first written.
#pragma once

#include "comm/Export.h"

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace comm {

class FERIXCOMM_API PropertyBag {
public:
    using Value = std::variant<bool, std::int32_t, std::string>;

    // Keeps `value` under `name` unless it equals `defaultValue`, in which case any kept value
    // of that name is dropped.
    void WriteProperty(std::string_view name, const Value& value, const Value& defaultValue);

    // The kept value converted to the default's type, or the default when absent or not
    // convertible.
    Value ReadProperty(std::string_view name, const Value& defaultValue) const;

    std::string readString(std::string_view name, const std::string& defaultValue) const;
    std::int32_t readInt(std::string_view name, std::int32_t defaultValue) const;
    bool readBool(std::string_view name, bool defaultValue) const;

    // Stores a value as it is, for hosts that fill a bag from their own store.
    void set(std::string_view name, const Value& value);
    std::optional<Value> find(std::string_view name) const;
    const std::vector<std::pair<std::string, Value>>& entries() const { return entries_; }

private:
    std::vector<std::pair<std::string, Value>>::iterator locate(std::string_view name);
    std::vector<std::pair<std::string, Value>> entries_;
};

}  // namespace comm
