// Small text rules of the control's setters.
#pragma once

#include <string>
#include <string_view>

namespace comm {

// Leading and trailing blanks removed.
std::string trimBlanks(std::string_view text);

// The first `count` characters of UTF-8 text (never half a character).
std::string firstCharacters(std::string_view text, std::size_t count);

}  // namespace comm
