#include <gtest/gtest.h>

#include "comm/link/LineSettings.h"

namespace {

TEST(LineSettings, ParsesTheFourFields) {
    const auto s = comm::parseLineSettings("9600,e,7,1");
    ASSERT_TRUE(s);
    EXPECT_EQ(s->speed, 9600);
    EXPECT_EQ(s->parity, comm::Parity::Even);
    EXPECT_EQ(s->dataBits, 7);
    EXPECT_EQ(s->stopBits, comm::StopBits::One);
    EXPECT_DOUBLE_EQ(s->bitsPerCharacter(), 10.0);
    EXPECT_DOUBLE_EQ(comm::parseLineSettings("4800,n,8,2")->bitsPerCharacter(), 11.0);
    EXPECT_EQ(comm::parseLineSettings("300,O,5,1.5")->stopBits, comm::StopBits::OneAndHalf);
}

TEST(LineSettings, RefusesMalformedStrings) {
    for (const char* bad :
         {"", "9600", "9600,n,8", "9600,n,8,2,1", "fast,n,8,2", "0,n,8,2", "-9600,n,8,2",
          "9600,x,8,2", "9600,n,9,2", "9600,n,3,2", "9600,n,8,3", "9600,,8,2", "9600,ne,8,2"}) {
        EXPECT_FALSE(comm::parseLineSettings(bad)) << bad;
    }
}

TEST(LineSettings, LeadingNumberOfASpeedText) {
    EXPECT_EQ(comm::leadingNumber("9600"), 9600);
    EXPECT_EQ(comm::leadingNumber(" 19200 baud"), 19200);
    EXPECT_EQ(comm::leadingNumber("abc"), 0);
    EXPECT_EQ(comm::joinLineSettings("9600", "e", "7", "1"), "9600,e,7,1");
}

}  // namespace
