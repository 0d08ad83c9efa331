#include "web/Texts.h"

#include "localizing/lookup/ResourceStrings.h"

namespace web {

std::string tr(std::uint16_t language, int id, std::initializer_list<std::string_view> arguments) {
    const std::string pattern = loc::resString(id, language);
    std::string out;
    out.reserve(pattern.size());
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const char next = i + 1 < pattern.size() ? pattern[i + 1] : '\0';
        const auto index = static_cast<std::size_t>(next - '1');
        if (pattern[i] == '%' && next >= '1' && next <= '9' && index < arguments.size()) {
            out += *(arguments.begin() + index);
            ++i;
        } else {
            out += pattern[i];
        }
    }
    return out;
}

}  // namespace web
