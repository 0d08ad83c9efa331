#include <gtest/gtest.h>

#include <clocale>

#include "dnc/config/TextForms.h"

namespace {

TEST(TextForms, BooleansReadInAnyCaseAndAsNumbers) {
    EXPECT_EQ(dnc::formatBool(true), "True");
    EXPECT_EQ(dnc::formatBool(false), "False");
    EXPECT_EQ(dnc::parseBool("True"), true);
    EXPECT_EQ(dnc::parseBool("true"), true);
    EXPECT_EQ(dnc::parseBool(" FALSE "), false);
    EXPECT_EQ(dnc::parseBool("-1"), true);
    EXPECT_EQ(dnc::parseBool("0"), false);
    EXPECT_EQ(dnc::parseBool("2.5"), true);
    EXPECT_EQ(dnc::parseBool("yes"), std::nullopt);
    EXPECT_EQ(dnc::parseBool(""), std::nullopt);
}

TEST(TextForms, IntegersArePlainDecimalWithinTheirType) {
    EXPECT_EQ(dnc::formatInt(-42), "-42");
    EXPECT_EQ(dnc::parseInt("8000", INT16_MIN, INT16_MAX), 8000);
    EXPECT_EQ(dnc::parseInt(" -3 ", -10, 10), -3);
    EXPECT_EQ(dnc::parseInt("+7", 0, 10), 7);
    EXPECT_EQ(dnc::parseInt("40000", INT16_MIN, INT16_MAX), std::nullopt);
    EXPECT_EQ(dnc::parseInt("256", 0, 255), std::nullopt);
    EXPECT_EQ(dnc::parseInt("three", 0, 255), std::nullopt);
    EXPECT_EQ(dnc::parseInt("1 000", 0, 5000), std::nullopt);
    EXPECT_EQ(dnc::parseInt("", 0, 5), std::nullopt);
}

TEST(TextForms, FloatsUseAPointWhateverTheLocale) {
    std::setlocale(LC_ALL, "de_DE.UTF-8");  // where it exists, "," would be the separator
    EXPECT_EQ(dnc::formatDouble(0.334), "0.334");
    EXPECT_EQ(dnc::parseDouble("0.333"), 0.333);
    EXPECT_EQ(dnc::parseDouble("0,333"), std::nullopt);
    EXPECT_EQ(dnc::parseDouble("nan"), std::nullopt);
    std::setlocale(LC_ALL, "C");
}

}  // namespace
