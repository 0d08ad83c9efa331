#include "dnc/config/SettingRules.h"

#include <algorithm>
#include <cctype>
#include <charconv>
#include <cstdint>
#include <span>

#include "comm/PropertyRules.h"
#include "comm/ProtocolEnum.h"
#include "comm/files/ProgramFiles.h"
#include "comm/link/SerialPort.h"
#include "dnc/config/SettingTexts.h"
#include "dnc/config/TextForms.h"

namespace dnc {

namespace {

constexpr std::int64_t kInt16Min = INT16_MIN;
constexpr std::int64_t kInt16Max = INT16_MAX;

// Section "Common".
constexpr KeyRule kCommonRules[] = {
    {"LangID", 0, ValueRule::Integer, "0", 0, 0xFFFF},
    {"ShowInTaskbar", 0, ValueRule::Boolean, "False"},
    {"HistoryDatabase", 0, ValueRule::History, nullptr},  // nothing: the default file
    {"PlantSite", 0, ValueRule::Text, nullptr},           // nothing: the host name
    {"", 16, ValueRule::Boolean, "False"},                // start-up flags "1" to "16"
};

// Section "Config"N: the sub net's configuration, then the view state of its window.
constexpr KeyRule kSubNetRules[] = {
    {"AutoFerixLst", 0, ValueRule::Boolean, "True"},
    {"AutoFerixLstCont", 0, ValueRule::Boolean, "False"},
    {"Editor", 0, ValueRule::Text, nullptr},
    {"Caption", 0, ValueRule::Text, nullptr},
    {"CommPort", 0, ValueRule::Integer, "1", 1, kInt16Max},
    {"CommSpeed", 0, ValueRule::LineSpeed, "4800"},
    {"CommDataBit", 0, ValueRule::DataBits, "8"},
    {"CommStopBit", 0, ValueRule::StopBits, "2"},
    {"CommParity", 0, ValueRule::Parity, "N"},
    {"CommHandshaking", 0, ValueRule::Integer, "0", comm::kHandshakeNone,
     comm::kHandshakeRtsXonXoff},
    {"CommXOnChar", 0, ValueRule::Integer, "17", 0, 255},
    {"CommXOffChar", 0, ValueRule::Integer, "19", 0, 255},
    {"FerixHomeDir", 0, ValueRule::Text, nullptr},
    {"ZerosInName", 0, ValueRule::Boolean, "False"},
    {"F4COPYTimeout", 0, ValueRule::Integer, "8000", kInt16Min, kInt16Max},
    {"MaxProgramMegabytes", 0, ValueRule::Integer, "64", 1, comm::kMaxProgramMegabytes},
    {"DNCMaxRepeatNo", 0, ValueRule::RepeatCount, "4", kInt16Min, kInt16Max},
    {"Protocol", 0, ValueRule::Protocol, "3", comm::ProtNoneEOF, comm::ProtTavro1},
    {"SourceTextExt", 0, ValueRule::Extension, "STX"},
    {"WorkTextExt", 0, ValueRule::Extension, "WTX"},
    {"ListExt", 0, ValueRule::Extension, "FDI"},
    {"SourceMacroExt", 0, ValueRule::Extension, "SMC"},
    {"WorkMacroExt", 0, ValueRule::Extension, "WMC"},
    {"SourceDiagExt", 0, ValueRule::Extension, "SDG"},
    {"WorkDiagExt", 0, ValueRule::Extension, "WDG"},
    {"FerixDir", 10, ValueRule::Text, nullptr},
    {"Prefix", 10, ValueRule::Prefix, "PPG"},
    {"Connected", 10, ValueRule::Boolean, "False"},
    {"HeidenhainMaster", 0, ValueRule::Boolean, "True"},
    {"HeidenhainCRLF", 0, ValueRule::Boolean, "True"},
    {"HeidenhainFileType", 0, ValueRule::FileType, "N"},
    {"ProtectPrograms", 0, ValueRule::Boolean, "False"},
    {"DirPattern", 0, ValueRule::Text, "*.*"},
    {"FerixDirPattern", 0, ValueRule::Text, "*.*"},
    {"LeftSize", 0, ValueRule::Decimal, "0.334"},
    {"MiddleSize", 0, ValueRule::Decimal, "0.333"},
    {"RightSize", 0, ValueRule::Decimal, "0.333"},
    {"Left", 0, ValueRule::Decimal, nullptr},
    {"Top", 0, ValueRule::Decimal, nullptr},
    {"Width", 0, ValueRule::Decimal, nullptr},
    {"Height", 0, ValueRule::Decimal, nullptr},
    {"listDirPath", 10, ValueRule::Text, nullptr},
    {"SelectedUnit", 0, ValueRule::Integer, "0", 0, 10},  // 0: none
};

// Section "Ports": key N, the device of port N.
constexpr KeyRule kPortRule = {"", 0, ValueRule::PortDevice, nullptr, 1, kInt16Max};

// A number as the readers write it into a name: plain digits, no sign, no leading zero.
std::optional<int> nameNumber(std::string_view digits, int max) {
    if (digits.empty() || digits.front() == '0' ||
        !std::all_of(digits.begin(), digits.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; })) {
        return std::nullopt;
    }
    int value = 0;
    const auto [end, ec] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
    if (ec != std::errc() || end != digits.data() + digits.size() || value > max) {
        return std::nullopt;
    }
    return value;
}

bool matches(const KeyRule& rule, std::string_view key) {
    if (rule.numbered == 0) {
        return sameName(rule.name, key);
    }
    const std::string_view stem = rule.name;
    return key.size() > stem.size() && sameName(stem, key.substr(0, stem.size())) &&
           nameNumber(key.substr(stem.size()), rule.numbered).has_value();
}

const KeyRule* findIn(std::span<const KeyRule> rules, std::string_view key) {
    const auto found = std::find_if(rules.begin(), rules.end(),
                                    [key](const KeyRule& r) { return matches(r, key); });
    return found == rules.end() ? nullptr : &*found;
}

std::string inQuotes(std::string_view text) {
    return "\"" + std::string(text) + "\"";
}

// The default takes the place of a value that does not convert.
Finding useDefault(const KeyRule& rule, int message, std::vector<std::string> args) {
    Finding f;
    f.message = message;
    f.messageArgs = std::move(args);
    if (rule.fallback == nullptr) {
        f.instead = settingtext::DefaultInstead;
        return f;
    }
    f.used = rule.fallback;
    f.instead = settingtext::UsedInstead;
    f.insteadArgs = {std::string(rule.fallback)};
    return f;
}

// The control takes the value but stores it changed.
Finding adjusted(int message, std::vector<std::string> args, std::string used, bool quote) {
    Finding f;
    f.message = message;
    f.messageArgs = std::move(args);
    f.instead = settingtext::UsedInstead;
    f.insteadArgs = {quote ? inQuotes(used) : used};
    f.used = std::move(used);
    f.adjusted = true;
    return f;
}

std::optional<Finding> checkDevice(std::string_view value) {
    if (isNetworkPortName(value) ||
        (value.starts_with("/") && value.size() > 1 && value.back() != '/')) {
        return std::nullopt;
    }
    Finding f;
    f.message = value.starts_with("tcp://") || value.starts_with("rfc2217://")
                    ? settingtext::NotHostAndPort
                    : settingtext::NotADevice;
    f.messageArgs = {std::string(value)};
    f.used = std::string(value);  // kept: the open fails and says so
    f.instead = settingtext::PortCannotOpen;
    return f;
}

}  // namespace

bool historyLocationHolds(std::string_view value) {
    // Another scheme would be taken for a file name, and a folder "mysql:" made for it.
    return value.find("://") == std::string_view::npos || value.starts_with("postgresql://") ||
           value.starts_with("postgres://");
}

namespace {

// A value that holds when `holds` says so, else the key's default with `message`.
std::optional<Finding> unless(bool holds, const KeyRule& rule, int message,
                              std::string_view value) {
    if (holds) {
        return std::nullopt;
    }
    return useDefault(rule, message, {std::string(value)});
}

}  // namespace

int subNetOfSection(std::string_view section) {
    constexpr std::string_view kStem = "Config";
    if (section.size() <= kStem.size() || !sameName(kStem, section.substr(0, kStem.size()))) {
        return 0;
    }
    return nameNumber(section.substr(kStem.size()), 16).value_or(0);
}

bool isNetworkPortName(std::string_view device) {
    for (std::string_view scheme : {"tcp://", "rfc2217://"}) {
        if (!device.starts_with(scheme)) {
            continue;
        }
        std::string_view rest = device.substr(scheme.size());
        const auto colon = rest.rfind(':');
        if (colon == std::string_view::npos || colon == 0) {
            return false;
        }
        std::string_view host = rest.substr(0, colon);
        if (host.front() == '[') {  // an IPv6 address in brackets
            if (host.size() < 3 || host.back() != ']') {
                return false;
            }
            host = host.substr(1, host.size() - 2);
        }
        const bool hostShape = std::all_of(host.begin(), host.end(), [](char c) {
            return std::isalnum(static_cast<unsigned char>(c)) != 0 || c == '.' || c == '-' ||
                   c == ':' || c == '_';
        });
        const auto port = parseInt(rest.substr(colon + 1), 1, 65535);
        const std::string_view portText = rest.substr(colon + 1);
        return hostShape && port.has_value() &&
               std::all_of(portText.begin(), portText.end(),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
    }
    return false;
}

const KeyRule* findKeyRule(std::string_view section, std::string_view key) {
    if (sameName(section, "Common")) {
        return findIn(kCommonRules, key);
    }
    if (subNetOfSection(section) != 0) {
        return findIn(kSubNetRules, key);
    }
    if (sameName(section, "Ports")) {
        return parseInt(key, kPortRule.min, kPortRule.max) ? &kPortRule : nullptr;
    }
    return nullptr;
}

std::optional<Finding> checkValue(const KeyRule& rule, std::string_view value) {
    namespace t = settingtext;
    const std::string typed(value);
    switch (rule.rule) {
        case ValueRule::Text:
            return std::nullopt;
        case ValueRule::Boolean:
            return unless(parseBool(value).has_value(), rule, t::NotABoolean, value);
        case ValueRule::Integer:
            if (parseInt(value, rule.min, rule.max)) {
                return std::nullopt;
            }
            return useDefault(rule, t::NotAWholeNumber,
                              {typed, std::to_string(rule.min), std::to_string(rule.max)});
        case ValueRule::Decimal:
            return unless(parseDouble(value).has_value(), rule, t::NotANumber, value);
        case ValueRule::LineSpeed:
            return unless(comm::lineFieldHolds(comm::LineField::Speed, value), rule,
                          t::NotALineSpeed, value);
        case ValueRule::Parity:
            return unless(comm::lineFieldHolds(comm::LineField::Parity, value), rule, t::NotAParity,
                          value);
        case ValueRule::DataBits:
            return unless(comm::lineFieldHolds(comm::LineField::DataBits, value), rule,
                          t::NotDataBits, value);
        case ValueRule::StopBits:
            return unless(comm::lineFieldHolds(comm::LineField::StopBits, value), rule,
                          t::NotStopBits, value);
        case ValueRule::RepeatCount: {
            const auto number = parseInt(value, rule.min, rule.max);
            if (!number) {
                return useDefault(rule, t::NotAWholeNumber,
                                  {typed, std::to_string(rule.min), std::to_string(rule.max)});
            }
            const auto raised = comm::repeatNoRule(static_cast<std::int16_t>(*number));
            if (raised == *number) {
                return std::nullopt;
            }
            return adjusted(t::BelowLeastRepeats, {typed, std::to_string(raised)},
                            std::to_string(raised), false);
        }
        case ValueRule::Protocol: {
            const auto number = parseInt(value, INT32_MIN, INT32_MAX);
            return unless(number && comm::protocolHolds(static_cast<std::int32_t>(*number)), rule,
                          t::NotAProtocol, value);
        }
        case ValueRule::Prefix: {
            std::string cut = comm::prefixRule(value);
            if (cut == value) {
                return std::nullopt;
            }
            return adjusted(t::LongerThan, {typed, std::to_string(comm::kPrefixLength)},
                            std::move(cut), true);
        }
        case ValueRule::FileType: {
            std::string type = comm::heidenhainFileTypeRule(value);
            if (type == value) {
                return std::nullopt;
            }
            return adjusted(value.empty() ? t::EmptyFileType : t::LongerThanOne, {typed},
                            std::move(type), true);
        }
        case ValueRule::Extension: {
            std::string trimmed = comm::extensionRule(value);
            if (trimmed == value) {
                return std::nullopt;
            }
            return adjusted(t::BlanksAround, {typed}, std::move(trimmed), true);
        }
        case ValueRule::PortDevice:
            return checkDevice(value);
        case ValueRule::History:
            return unless(historyLocationHolds(value), rule, t::NotAHistoryLocation, value);
    }
    return std::nullopt;
}

CheckedSection::CheckedSection(std::string name, StoreSection values)
    : name_(std::move(name)), values_(std::move(values)) {}

std::string CheckedSection::text(const std::string& key, const std::string& otherwise) const {
    const KeyRule* rule = findKeyRule(name_, key);
    const std::string byDefault =
        rule != nullptr && rule->fallback != nullptr ? std::string(rule->fallback) : otherwise;
    const auto stored = values_.find(key);
    if (!stored) {
        return byDefault;
    }
    if (rule == nullptr) {
        return *stored;
    }
    const auto finding = checkValue(*rule, *stored);
    if (!finding) {
        return *stored;
    }
    return finding->used.value_or(byDefault);
}

bool CheckedSection::boolean(const std::string& key) const {
    return parseBool(text(key, "False")).value_or(false);
}

std::int64_t CheckedSection::integer(const std::string& key) const {
    return parseInt(text(key, "0"), INT64_MIN, INT64_MAX).value_or(0);
}

}  // namespace dnc
