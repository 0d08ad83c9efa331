// The C library's description of a system error number in the current language of this
// thread, where the machine has that language's locale and message catalogue; the English text
// otherwise.
#pragma once

#include <cstdint>
#include <string>

namespace loc {

std::string systemErrorText(int error);

// The same in `language` (a language code of this library).
std::string systemErrorText(int error, std::uint16_t language);

}  // namespace loc
