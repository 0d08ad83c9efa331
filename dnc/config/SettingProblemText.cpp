// The texts of a settings problem, from the program's string table in the calling thread's
// language.
#include "dnc/config/SettingsCheck.h"
#include "localizing/lookup/ResourceStrings.h"

namespace dnc {

namespace {

// The text `id` with %1 to %9 replaced by the values; a value is never read for markers.
std::string filled(int id, const std::vector<std::string>& args) {
    const std::string pattern = loc::resString(id);
    std::string out;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        if (pattern[i] == '%' && next >= '1' && next <= '9') {
            const auto index = static_cast<std::size_t>(next - '1');
            if (index < args.size()) {
                out += args[index];
            }
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

}  // namespace

std::string SettingProblem::message() const {
    return filled(messageId, messageArgs);
}

std::string SettingProblem::instead() const {
    return insteadId == 0 ? std::string() : filled(insteadId, insteadArgs);
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
    out += message();
    const std::string then = instead();
    if (!then.empty()) {
        out += "; " + then;
    }
    return out;
}

}  // namespace dnc
