// The keys of the settings store with their types, ranges and defaults, in one table, and
// what a stored text gives under a key's rule. Readers take their values through these rules
// and the settings check reports by them, so what is reported is what the program does.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "dnc/config/ConfigStore.h"

namespace dnc {

enum class ValueRule {
    Text,         // any text
    Boolean,      // "True"/"False" in any letter case, or a number (0 false)
    Integer,      // plain decimal within [min, max]
    Decimal,      // a number with a "."
    LineSpeed,    // the control's speed rule
    Parity,       // the control's parity rule
    DataBits,     // the control's data-bits rule
    StopBits,     // the control's stop-bits rule
    RepeatCount,  // a 16-bit integer, raised to the control's least repeat count
    Protocol,     // a ProtocolEnum value
    Prefix,       // text, cut to the control's prefix length
    FileType,     // one character, "N" when empty
    Extension,    // text, blanks around it off
    PortDevice,   // a device path, tcp://HOST:PORT or rfc2217://HOST:PORT
    History,      // a file, or a postgresql:// or postgres:// URI
};

// Whether a HistoryDatabase= value names a file or a PostgreSQL server.
bool historyLocationHolds(std::string_view value);

struct KeyRule {
    const char* name;  // the key, or the stem of numbered keys
    int numbered;      // 0: the name alone; N: the name followed by 1 to N
    ValueRule rule;
    const char* fallback;  // the default where it is a fixed text, else nullptr
    std::int64_t min = 0;
    std::int64_t max = 0;
};

// The rule of a key in a section ("Common", "Config1" to "Config16", "Ports"), names compared
// without regard to letter case; nullptr for keys that the program does not read.
const KeyRule* findKeyRule(std::string_view section, std::string_view key);

// Why a stored text is not used as it stands, and what is used in its place, as numbers of
// the settings check's texts (SettingTexts.h) with their values.
struct Finding {
    int message = 0;
    std::vector<std::string> messageArgs;  // the first is the value as typed
    int instead = 0;
    std::vector<std::string> insteadArgs;
    std::optional<std::string> used;  // the text read in its place; nullopt: the key's default
    bool adjusted = false;            // the text converts, but the control stores it changed
};

// nullopt when `value` holds as it stands.
std::optional<Finding> checkValue(const KeyRule& rule, std::string_view value);

// The sub net of a section name "Config1" to "Config16" (any letter case), else 0.
int subNetOfSection(std::string_view section);

// Whether a port name has the shape of a network port: tcp:// or rfc2217:// with HOST:PORT.
bool isNetworkPortName(std::string_view device);

// A section read through the rules: values that do not hold give what the rules put in their
// place, absent keys their default.
class CheckedSection {
public:
    CheckedSection(std::string name, StoreSection values);

    // `otherwise` is the default of keys whose default is not a fixed text.
    std::string text(const std::string& key, const std::string& otherwise = {}) const;
    bool boolean(const std::string& key) const;
    std::int64_t integer(const std::string& key) const;

    const StoreSection& values() const { return values_; }

private:
    std::string name_;
    StoreSection values_;
};

}  // namespace dnc
