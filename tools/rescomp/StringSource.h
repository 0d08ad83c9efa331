// Reads the text source of one language of a string table:
//
//   # comment
//   language 0x0407
//   10 "Deutsch"
//   428 "Kommunikation ist nicht aktiviert"
//
// Texts are UTF-8 in double quotes with the escapes \" \\ \n \r \t.
#pragma once

#include <cstdint>
#include <map>
#include <stdexcept>
#include <string>
#include <string_view>

namespace rescomp {

struct LanguageSource {
    std::uint16_t language = 0;
    std::map<std::uint32_t, std::u16string> strings;
};

class SourceError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// Throws SourceError naming `origin` and the line for anything it cannot read.
LanguageSource parseLanguageSource(std::string_view text, const std::string& origin);

}  // namespace rescomp
