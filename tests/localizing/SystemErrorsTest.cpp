// System error texts in the chosen language: English where the machine lacks the language's
// locale, the C library's translation where it has it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "localizing/lookup/ResourceStrings.h"
#include "localizing/lookup/SystemErrors.h"

namespace fs = std::filesystem;

namespace {

constexpr char kEnglishNoEntry[] = "No such file or directory";

// Locales are looked for in `folder` only while this lives.
class LocaleFolder {
public:
    LocaleFolder()
        // A folder of its own each time: the C library remembers the locales it did not find.
        : path_(fs::temp_directory_path() /
                ("ferix-locales-" + std::to_string(getpid()) + "-" + std::to_string(++count_))) {
        fs::remove_all(path_);
        fs::create_directories(path_);
        setenv("LOCPATH", path_.c_str(), 1);
    }
    ~LocaleFolder() {
        unsetenv("LOCPATH");
        fs::remove_all(path_);
    }
    // Compiles the locale `name` (as "de_DE.UTF-8") from the C library's sources; false where
    // the machine has no compiler or no sources for it.
    bool make(const std::string& name) const {
        const std::string source = name.substr(0, name.find('.'));
        if (!fs::exists("/usr/share/i18n/locales/" + source)) {
            return false;
        }
        const std::string command = "localedef -i " + source + " -f UTF-8 '" +
                                    (path_ / name).string() + "' >/dev/null 2>&1";
        // Warnings give a non-zero status too: what was made tells, once a shell ran it.
        if (std::system(command.c_str()) == -1) {
            return false;
        }
        return fs::exists(path_ / name / "LC_MESSAGES");
    }

private:
    static inline int count_ = 0;
    fs::path path_;
};

bool hasCatalogue(const char* language) {
    return fs::exists(std::string("/usr/share/locale/") + language + "/LC_MESSAGES/libc.mo");
}

}  // namespace

TEST(SystemErrors, WithoutTheLanguagesLocaleTheTextIsEnglish) {
    const LocaleFolder empty;  // no locale at all
    EXPECT_EQ(loc::systemErrorText(ENOENT, loc::kGerman), kEnglishNoEntry);
    EXPECT_EQ(loc::systemErrorText(ENOENT, loc::kCzech), kEnglishNoEntry);
    EXPECT_EQ(loc::systemErrorText(ENOENT, loc::kEnglish), kEnglishNoEntry);
    EXPECT_EQ(loc::systemErrorText(ENOENT, 0), kEnglishNoEntry);
}

// Runs only where the machine can make the German and Czech locales (localedef and the
// sources of the "locales" package) and has the C library's catalogues ("libc-l10n"); it says
// so when it is skipped.
TEST(SystemErrors, GermanAndCzechTextsWhereTheMachineHasTheirLocales) {
    const LocaleFolder folder;
    if (!hasCatalogue("de") || !hasCatalogue("cs") || !folder.make("de_DE.UTF-8") ||
        !folder.make("cs_CZ.UTF-8")) {
        GTEST_SKIP() << "the German and Czech locales or the C library's catalogues are missing";
    }
    EXPECT_EQ(loc::systemErrorText(ENOENT, loc::kGerman), "Datei oder Verzeichnis nicht gefunden");
    EXPECT_EQ(loc::systemErrorText(ENOENT, loc::kCzech), "Adresář nebo soubor neexistuje");
    EXPECT_EQ(loc::systemErrorText(ENOENT, loc::kEnglish), kEnglishNoEntry);
}
