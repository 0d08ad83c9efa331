#include "dnc/config/SettingsCheck.h"

#include <algorithm>
#include <cctype>
#include <map>

#include "comm/files/FileIo.h"
#include "dnc/config/IniText.h"
#include "dnc/config/SettingRules.h"

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

std::string SettingProblem::text() const {
    std::string out = file.string();
    if (line > 0) {
        out += ":" + std::to_string(line);
    }
    out += ": ";
    if (!section.empty() || !key.empty()) {
        out += section;
        if (!key.empty()) {
            out += "/" + key;
        }
        out += ": ";
    }
    out += message;
    if (!instead.empty()) {
        out += "; " + instead;
    }
    return out;
}

bool sameSection(const SettingProblem& problem, std::string_view name) {
    return lowered(problem.section) == lowered(name);
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
                p.message = "\"" + p.value + "\" cannot be read: " + line.why;
                p.instead = "the line is skipped";
                problems.push_back(std::move(p));
                break;
            }
            case IniLine::Kind::Section:
                if (!line.ignored.empty()) {
                    auto p = problemAt(file, line, SettingProblem::Kind::IgnoredText);
                    p.value = printable(line.ignored);
                    p.message = "\"" + p.value + "\" behind the section header is not read";
                    p.instead = "it is dropped when the settings are saved";
                    problems.push_back(std::move(p));
                }
                break;
            case IniLine::Kind::Entry: {
                if (line.section.empty()) {
                    auto p = problemAt(file, line, SettingProblem::Kind::OutsideSection);
                    p.message = "the entry stands before the first [section]";
                    p.instead = "it is ignored";
                    problems.push_back(std::move(p));
                    break;
                }
                const IniLine* counted = last.at({lowered(line.section), lowered(line.key)});
                if (counted != &line) {
                    auto p = problemAt(file, line, SettingProblem::Kind::RepeatedKey);
                    p.message = "the key is given again on line " + std::to_string(counted->number);
                    p.instead = "the value of line " + std::to_string(counted->number) +
                                " is used and this line is dropped when the settings are saved";
                    problems.push_back(std::move(p));
                    break;
                }
                const KeyRule* rule = findKeyRule(line.section, line.key);
                if (rule == nullptr) {
                    if (lowered(line.section) == "ports") {
                        auto p = problemAt(file, line, SettingProblem::Kind::NotAPortNumber);
                        p.message =
                            "\"" + printable(line.key) + "\" is not a port number (1 to 32767)";
                        p.instead = "the entry is not used";
                        problems.push_back(std::move(p));
                    }
                    break;
                }
                if (const auto finding = checkValue(*rule, line.value)) {
                    auto p = problemAt(file, line,
                                       finding->adjusted ? SettingProblem::Kind::AdjustedValue
                                                         : SettingProblem::Kind::BadValue);
                    p.message = printable(finding->message);
                    p.instead = printable(finding->instead);
                    problems.push_back(std::move(p));
                }
                break;
            }
        }
    }
    return problems;
}

std::vector<SettingProblem> checkSettingsFile(const std::filesystem::path& file) {
    const auto text = comm::readWholeFile(file);
    if (!text.ok()) {
        return {};
    }
    return checkSettingsText(file, text.value());
}

}  // namespace dnc
