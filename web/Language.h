// The language of a page: the first of English, German and Czech in the order of the browser's
// Accept-Language header (q-values honoured), else the program's default.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace web {

std::uint16_t chooseLanguage(std::string_view acceptLanguage, std::uint16_t fallback);

// "en", "de" or "cs" as a language code; nullopt for any other.
std::optional<std::uint16_t> languageCode(std::string_view tag);

// The tag of a language code for the page's lang attribute.
std::string_view languageTag(std::uint16_t language);

}  // namespace web
