// The libraries as a caller sees them: loaded by path, called through Convert alone.
#include <dlfcn.h>
#include <gtest/gtest.h>

#include <cstring>

#include "conversion/shared/ConvertEntry.h"
#include "tests/conversion/TempDirectory.h"

namespace {

using testing_support::readFile;
using testing_support::TempDirectory;
using testing_support::writeFile;

class ConvertEntry : public ::testing::TestWithParam<const char*> {
protected:
    void SetUp() override {
        library_ = ::dlopen(GetParam(), RTLD_NOW | RTLD_LOCAL);
        ASSERT_NE(library_, nullptr) << ::dlerror();
        convert_ = reinterpret_cast<ConvertFunction>(::dlsym(library_, "Convert"));
        ASSERT_NE(convert_, nullptr);
    }
    void TearDown() override {
        if (library_ != nullptr) {
            ::dlclose(library_);
        }
    }

    void* library_ = nullptr;
    ConvertFunction convert_ = nullptr;
    TempDirectory directory_;
};

TEST_P(ConvertEntry, LongErrorTextIsCutToFitTheBufferWithItsNul) {
    const std::string input = directory_.file(std::string(150, 'N') + ".TXT");
    char errorText[kConvertTextCapacity + 1 + 8];
    char helpFile[kConvertTextCapacity + 1];
    std::memset(errorText, '#', sizeof errorText);
    std::memset(helpFile, '#', sizeof helpFile);
    std::int32_t helpContext = 77;
    // Lentra reads this as a valid command, Brisel as TXT>TXT: both fail at opening the input.
    const char* parameters = std::strstr(GetParam(), "Lentra") != nullptr ? "/P" : "TXT>TXT";
    EXPECT_EQ(convert_(input.c_str(), input.c_str(), parameters, errorText, helpFile, &helpContext),
              0);
    EXPECT_EQ(std::strlen(errorText), static_cast<std::size_t>(kConvertTextCapacity));
    for (std::size_t i = kConvertTextCapacity + 1; i < sizeof errorText; ++i) {
        EXPECT_EQ(errorText[i], '#') << "written beyond the buffer at " << i;
    }
    EXPECT_EQ(helpFile[0], '\0');
    EXPECT_EQ(helpContext, 0);
}

TEST_P(ConvertEntry, SuccessLeavesEmptyOutputs) {
    const std::string program = directory_.file("P.TXT");
    writeFile(program, "A\r\n");
    char errorText[kConvertTextCapacity + 1] = "stale";
    char helpFile[kConvertTextCapacity + 1] = "stale";
    std::int32_t helpContext = 5;
    const char* parameters = std::strstr(GetParam(), "Lentra") != nullptr ? "/P" : "TXT>TXT";
    EXPECT_NE(
        convert_(program.c_str(), program.c_str(), parameters, errorText, helpFile, &helpContext),
        0);
    EXPECT_STREQ(errorText, "");
    EXPECT_STREQ(helpFile, "");
    EXPECT_EQ(helpContext, 0);
    EXPECT_EQ(readFile(program), "A\r\n");
}

TEST_P(ConvertEntry, NullArgumentsAreAnsweredNotFollowed) {
    char errorText[kConvertTextCapacity + 1] = {};
    EXPECT_EQ(convert_(nullptr, nullptr, "", errorText, nullptr, nullptr) == 0,
              std::strstr(GetParam(), "Brisel") != nullptr);  // Brisel needs a name
    EXPECT_EQ(convert_(nullptr, nullptr, nullptr, nullptr, nullptr, nullptr) == 0,
              std::strstr(GetParam(), "Brisel") != nullptr);
}

INSTANTIATE_TEST_SUITE_P(BothLibraries, ConvertEntry,
                         ::testing::Values(LENTRA_LIBRARY, BRISEL_LIBRARY));

}  // namespace
