#include "localizing/lookup/SystemErrors.h"

#include <locale.h>
#include <string.h>

#include "localizing/lookup/ResourceStrings.h"

namespace loc {

namespace {

// The locale whose message catalogue speaks `language`; none for English, the C library's own.
const char* localeOf(std::uint16_t language) {
    switch (language & 0x3FF) {  // the primary language
        case kGerman & 0x3FF:
            return "de_DE.UTF-8";
        case kCzech & 0x3FF:
            return "cs_CZ.UTF-8";
        default:
            return nullptr;
    }
}

std::string englishText(int error) {
    const locale_t plain = newlocale(LC_ALL_MASK, "C", static_cast<locale_t>(nullptr));
    if (plain == static_cast<locale_t>(nullptr)) {
        return "error " + std::to_string(error);
    }
    std::string text = strerror_l(error, plain);
    freelocale(plain);
    return text;
}

}  // namespace

std::string systemErrorText(int error, std::uint16_t language) {
    const char* name = localeOf(language);
    if (name == nullptr) {
        return englishText(error);
    }
    // The text's characters come with the locale's character set, so that takes UTF-8 too.
    const locale_t chosen =
        newlocale(LC_MESSAGES_MASK | LC_CTYPE_MASK, name, static_cast<locale_t>(nullptr));
    if (chosen == static_cast<locale_t>(nullptr)) {
        return englishText(error);  // the locale is not installed on this machine
    }
    std::string text = strerror_l(error, chosen);
    freelocale(chosen);
    return text;
}

std::string systemErrorText(int error) {
    return systemErrorText(error, currentLanguage());
}

}  // namespace loc
