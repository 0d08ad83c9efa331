#include "dnc/config/SettingsCheck.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "comm/files/FileIo.h"
#include "dnc/config/IniText.h"
#include "dnc/config/SettingRules.h"
#include "dnc/config/SettingTexts.h"
#include "dnc/config/SettingsFile.h"
#include "dnc/config/TextForms.h"

namespace dnc {

namespace {

std::string lowered(std::string_view text) {
    std::string low(text);
    std::transform(low.begin(), low.end(), low.begin(),
                   [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return low;
}

// Line text for a report: a NUL would end it early, other control bytes garble a terminal.
std::string printable(std::string_view text) {
    std::string out;
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        if (byte < 0x20 && c != '\t') {
            static constexpr char kHex[] = "0123456789ABCDEF";
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0xF];
        } else {
            out += c;
        }
    }
    return out;
}

int faultText(IniLine::Fault fault) {
    switch (fault) {
        case IniLine::Fault::NulByte:
            return settingtext::NulByte;
        case IniLine::Fault::ByteOrderMark:
            return settingtext::ByteOrderMark;
        case IniLine::Fault::NoClosingBracket:
            return settingtext::NoClosingBracket;
        case IniLine::Fault::NoKey:
            return settingtext::NoKey;
        case IniLine::Fault::NoEquals:
        case IniLine::Fault::None:
            break;
    }
    return settingtext::NoEquals;
}

SettingProblem problemAt(const std::filesystem::path& file, const IniLine& line,
                         SettingProblem::Kind kind) {
    SettingProblem p;
    p.kind = kind;
    p.file = file;
    p.line = line.number;
    p.section = line.section;
    p.key = line.key;
    p.value = printable(line.typed);
    return p;
}

}  // namespace

bool SettingProblem::lostOnWrite() const {
    switch (kind) {
        case Kind::UnreadableLine:
        case Kind::IgnoredText:
        case Kind::RepeatedKey:
        case Kind::BadValue:
        case Kind::AdjustedValue:
            return true;
        case Kind::OutsideSection:
        case Kind::NotAPortNumber:
            return false;
    }
    return true;
}

bool sameSection(const SettingProblem& problem, std::string_view name) {
    return sameName(problem.section, name);
}

std::vector<SettingProblem> checkSettingsText(const std::filesystem::path& file,
                                              std::string_view text) {
    const std::vector<IniLine> lines = scanIniText(text);
    std::vector<SettingProblem> problems;
    // The line of each entry's last occurrence, by section and key: that one counts.
    std::map<std::pair<std::string, std::string>, const IniLine*> last;
    for (const IniLine& line : lines) {
        if (line.kind == IniLine::Kind::Entry) {
            last[{lowered(line.section), lowered(line.key)}] = &line;
        }
    }
    for (const IniLine& line : lines) {
        switch (line.kind) {
            case IniLine::Kind::Blank:
            case IniLine::Kind::Comment:
                break;
            case IniLine::Kind::Unreadable: {
                auto p = problemAt(file, line, SettingProblem::Kind::UnreadableLine);
                p.value = printable(text.substr(line.begin, line.end - line.begin));
                p.messageId = faultText(line.fault);
                p.messageArgs = {p.value};
                p.insteadId = settingtext::LineSkipped;
                problems.push_back(std::move(p));
                break;
            }
            case IniLine::Kind::Section:
                if (!line.ignored.empty()) {
                    auto p = problemAt(file, line, SettingProblem::Kind::IgnoredText);
                    p.value = printable(line.ignored);
                    p.messageId = settingtext::BehindHeader;
                    p.messageArgs = {p.value};
                    p.insteadId = settingtext::DroppedWhenSaved;
                    problems.push_back(std::move(p));
                }
                break;
            case IniLine::Kind::Entry: {
                if (line.section.empty()) {
                    auto p = problemAt(file, line, SettingProblem::Kind::OutsideSection);
                    p.messageId = settingtext::BeforeFirstSection;
                    p.insteadId = settingtext::Ignored;
                    problems.push_back(std::move(p));
                    break;
                }
                const IniLine* counted = last.at({lowered(line.section), lowered(line.key)});
                if (counted != &line) {
                    auto p = problemAt(file, line, SettingProblem::Kind::RepeatedKey);
                    p.messageId = settingtext::GivenAgain;
                    p.messageArgs = {std::to_string(counted->number)};
                    p.insteadId = settingtext::OtherLineCounts;
                    p.insteadArgs = p.messageArgs;
                    problems.push_back(std::move(p));
                    break;
                }
                const KeyRule* rule = findKeyRule(line.section, line.key);
                if (rule == nullptr) {
                    if (sameName(line.section, "Ports")) {
                        auto p = problemAt(file, line, SettingProblem::Kind::NotAPortNumber);
                        p.messageId = settingtext::NotAPortNumber;
                        p.messageArgs = {printable(line.key)};
                        p.insteadId = settingtext::NotUsed;
                        problems.push_back(std::move(p));
                    }
                    break;
                }
                if (const auto finding = checkValue(*rule, line.value)) {
                    auto p = problemAt(file, line,
                                       finding->adjusted ? SettingProblem::Kind::AdjustedValue
                                                         : SettingProblem::Kind::BadValue);
                    p.messageId = finding->message;
                    p.insteadId = finding->instead;
                    for (const auto& arg : finding->messageArgs) {
                        p.messageArgs.push_back(printable(arg));
                    }
                    for (const auto& arg : finding->insteadArgs) {
                        p.insteadArgs.push_back(printable(arg));
                    }
                    problems.push_back(std::move(p));
                }
                break;
            }
        }
    }
    return problems;
}

std::vector<SettingProblem> checkSettingsFile(const std::filesystem::path& file) {
    const auto text = readSettingsText(file);
    if (!text.ok()) {
        return {};
    }
    return checkSettingsText(file, text.value());
}

}  // namespace dnc
