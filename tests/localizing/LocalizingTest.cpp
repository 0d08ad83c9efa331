// The language library through its exported functions, with this test program as the main
// program (it embeds a small table) and the control library loaded by name.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <string>
#include <thread>

#include "localizing/Localizing.h"
#include "localizing/lookup/ResourceStrings.h"

namespace {

std::string load(void* module, int id, int language, int bufferSize = 1000) {
    std::string buffer(static_cast<std::size_t>(bufferSize), '\0');
    const int n = LoadResString(module, id, language, buffer.data(), bufferSize);
    EXPECT_GE(n, 0);
    EXPECT_LE(n, bufferSize);
    return buffer.substr(0, static_cast<std::size_t>(n));
}

class ControlLibrary : public ::testing::Test {
protected:
    void SetUp() override {
        handle_ = dlopen(FERIXCOMM_LIBRARY, RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(handle_, nullptr) << dlerror();
    }
    void TearDown() override {
        if (handle_ != nullptr) {
            dlclose(handle_);
        }
    }
    void* handle_ = nullptr;
};

TEST(LoadResString, FindsStringsOfTheMainProgramByNumberAndLanguage) {
    EXPECT_EQ(load(nullptr, 15, 0x0409), "fifteen");
    EXPECT_EQ(load(nullptr, 16, 0x0409), "sixteen");
    EXPECT_EQ(load(nullptr, 16, 0x0407), "sechzehn");
    EXPECT_EQ(load(nullptr, 0, 0x0405), " ");
    EXPECT_EQ(load(nullptr, 10, 0x0405), "Česky");
    // Primary-language-only code and code 0 pick a table as the platform would.
    EXPECT_EQ(load(nullptr, 15, 0x0007), "fünfzehn");
    EXPECT_EQ(load(nullptr, 15, 0), "fifteen");
}

TEST(LoadResString, AbsentStringsGiveZeroBytes) {
    EXPECT_EQ(load(nullptr, 20, 0x0409), "only in English");
    EXPECT_EQ(load(nullptr, 20, 0x0407), "");   // count 0 in German
    EXPECT_EQ(load(nullptr, 11, 0x0409), "");   // no text at that position
    EXPECT_EQ(load(nullptr, 999, 0x0409), "");  // no such block
    EXPECT_EQ(load(nullptr, 15, 0x040C), "");   // no French table
    EXPECT_EQ(load(nullptr, -1, 0x0409), "");
    char buffer[4];
    EXPECT_EQ(LoadResString(nullptr, 15, 0x0409, buffer, 0), 0);
    EXPECT_EQ(LoadResString(nullptr, 15, 0x0409, nullptr, 4), 0);
}

TEST(LoadResString, CutsAtTheBufferWithoutSplittingACharacter) {
    // "Grüße": G r ü(2 bytes) ß(2 bytes) e
    EXPECT_EQ(load(nullptr, 30, 0x0407, 3), "Gr");
    EXPECT_EQ(load(nullptr, 30, 0x0407, 4), "Grü");
    EXPECT_EQ(load(nullptr, 30, 0x0407, 5), "Grü");
    EXPECT_EQ(load(nullptr, 30, 0x0407, 7), "Grüße");
    EXPECT_EQ(load(nullptr, 30, 0x0405, 1), "");
}

TEST(GetLanguages, ListsLanguagesInAscendingOrderUpToMaxIndex) {
    std::uint16_t codes[101] = {};
    EXPECT_EQ(GetLanguages(nullptr, codes, 100), 3);
    EXPECT_EQ(codes[0], 0x0405);
    EXPECT_EQ(codes[1], 0x0407);
    EXPECT_EQ(codes[2], 0x0409);
    std::uint16_t two[3] = {0, 0, 0xBEEF};
    EXPECT_EQ(GetLanguages(nullptr, two, 1), 2);
    EXPECT_EQ(two[2], 0xBEEF);  // nothing written past maxIndex
    EXPECT_EQ(GetLanguages(nullptr, codes, -1), 0);
}

TEST(LanguageSelection, ExactThenPrimaryThenNone) {
    EXPECT_EQ(loc::selectLanguage(0x0407), 0x0407);
    EXPECT_EQ(loc::currentLanguage(), 0x0407);
    EXPECT_EQ(loc::resString(15), "fünfzehn");
    EXPECT_EQ(loc::selectLanguage(0x0807), 0x0007);  // Swiss German: German alone
    EXPECT_EQ(loc::resString(16), "sechzehn");
    EXPECT_EQ(loc::selectLanguage(0x040C), 0);  // French is not there
    EXPECT_EQ(loc::selectLanguage(0), 0);
    EXPECT_EQ(loc::languageName(0x0405), "Česky");
    EXPECT_EQ(loc::languageName(0x0409), "English");
}

TEST(LanguageSelection, IsKeptPerThread) {
    loc::selectLanguage(0x0405);
    std::uint16_t other = 0xFFFF;
    std::string otherText;
    std::thread worker([&] {
        other = loc::currentLanguage();
        loc::selectLanguage(0x0407);
        otherText = loc::resString(15);
    });
    worker.join();
    EXPECT_EQ(other, 0);
    EXPECT_EQ(otherText, "fünfzehn");
    EXPECT_EQ(loc::currentLanguage(), 0x0405);
    EXPECT_EQ(loc::resString(15), "patnáct");
}

TEST_F(ControlLibrary, HasItsOwnTableInThreeLanguages) {
    EXPECT_EQ(load(handle_, 428, 0x0407), "Kommunikation ist nicht aktiviert");
    EXPECT_EQ(load(handle_, 428, 0x0405), "Komunikace není aktivována");
    EXPECT_EQ(load(handle_, 428, 0x0409), "Communication is not Activated");
    EXPECT_EQ(load(handle_, 425, 0x0407), "Ferix ist nicht an das DNC-Netz angeschlossen");
    EXPECT_EQ(load(handle_, 425, 0x0405), "Ferix není zapojen do sítě DNC");
    EXPECT_EQ(load(handle_, 10, 0x0405), "Česky");
    // The main program's table is not the library's, and the library's is not the main's.
    EXPECT_EQ(load(handle_, 15, 0x0409), "");
    EXPECT_EQ(load(nullptr, 428, 0x0409), "");
    std::uint16_t codes[4] = {};
    EXPECT_EQ(GetLanguages(handle_, codes, 3), 3);
}

TEST_F(ControlLibrary, EveryMessageExistsInEveryLanguage) {
    std::vector<int> numbers;
    for (int n = 410; n <= 440; ++n) {
        numbers.push_back(n);
    }
    numbers.push_back(500);
    for (int language : {0x0409, 0x0407, 0x0405}) {
        for (int n : numbers) {
            EXPECT_FALSE(load(handle_, n, language).empty()) << n << " in " << language;
        }
    }
    EXPECT_EQ(load(handle_, 411, 0x0409), "Error at Start-up or while Communicating");
    EXPECT_EQ(load(handle_, 430, 0x0409), "Cannot change protocol while communication is active.");
    EXPECT_EQ(load(handle_, 440, 0x0409), "Timeout while waiting for block.");
    EXPECT_EQ(load(handle_, 500, 0x0409), "Get Ferix ready for file receive...");
}

}  // namespace
