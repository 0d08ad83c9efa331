// The user conversion library's own texts. They are Czech without diacritics and are kept
// exactly as the library has always written them.
#pragma once

#include <string_view>

namespace lentra {

// The text for a parse error code; unknown codes get the "unknown error" text.
std::string_view parseErrorText(int code);

// File errors: each text is followed by the name of the file concerned.
inline constexpr std::string_view kOpenFailedText = "Chyba pri otvirani souboru ";
inline constexpr std::string_view kDeleteFailedText = "Nejde vymazat soubor  ";
inline constexpr std::string_view kRenameFailedText = "Chyba pri prejmenovani souboru ";
inline constexpr std::string_view kReadFailedText = "Chyba pri cteni souboru ";
inline constexpr std::string_view kWriteFailedText = "Chyba pri zapisu souboru ";
inline constexpr std::string_view kUnknownErrorText = "Lentra:Neznama chyba";

}  // namespace lentra
