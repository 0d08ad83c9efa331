// Qt's own texts (standard buttons, file dialogs) and the number and date formats in the
// language of the program's texts. Qt keeps one translator for the whole program: every window
// that opens takes the language chosen last.
#pragma once

#include <cstdint>

namespace dnc::window {

// Installs Qt's translation for `language` (a Windows language code) in place of the previous
// one and sets the default locale to match; any other language than German and Czech: Qt's
// built-in English and the locale of the environment.
void applyQtLanguage(std::uint16_t language);

}  // namespace dnc::window
