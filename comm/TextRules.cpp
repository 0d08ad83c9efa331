#include "comm/TextRules.h"

namespace comm {

std::string trimBlanks(std::string_view text) {
    const auto first = text.find_first_not_of(' ');
    if (first == std::string_view::npos) {
        return {};
    }
    const auto last = text.find_last_not_of(' ');
    return std::string(text.substr(first, last - first + 1));
}

std::string firstCharacters(std::string_view text, std::size_t count) {
    std::size_t end = 0;
    for (std::size_t taken = 0; end < text.size() && taken < count; ++taken) {
        ++end;
        // Continuation bytes belong to the character before them.
        while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) {
            ++end;
        }
    }
    return std::string(text.substr(0, end));
}

}  // namespace comm
