#include "conversion/brisel/Converted.h"

#include <algorithm>
#include <cstdio>

namespace brisel {

Converted::Converted(std::size_t capacity)
    : data_(std::make_unique_for_overwrite<char[]>(capacity == 0 ? 1 : capacity)) {}

Converted Converted::failure(std::string error) {
    Converted result(0);
    result.error_ = std::move(error);
    return result;
}

std::string describeCharacter(unsigned char c) {
    char text[16];
    if (c > 0x20 && c < 0x7F) {
        std::snprintf(text, sizeof text, "\"%c\" (0x%02X)", c, c);
    } else {
        std::snprintf(text, sizeof text, "0x%02X", c);
    }
    return text;
}

std::size_t lineOfOffset(std::string_view text, std::size_t offset) {
    return 1 + static_cast<std::size_t>(std::count(
                   text.begin(), text.begin() + static_cast<std::ptrdiff_t>(offset), '\n'));
}

}  // namespace brisel
