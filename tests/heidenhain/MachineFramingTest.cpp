// The simulated machine's own framing must agree with the control's, byte for byte.
#include <gtest/gtest.h>

#include "comm/heidenhain/BlockFrames.h"
#include "sim/heidenhain/MachineFraming.h"

namespace {

namespace m = sim::machine;

TEST(MachineFraming, FramesAgreeWithTheControls) {
    for (const std::string& text :
         std::vector<std::string>{"", "G1 X10", "M30", std::string(199, '\xE4')}) {
        EXPECT_EQ(m::frameBlock(text), comm::heidenhain::dataBlock(text));
    }
    EXPECT_EQ(m::frameHeader('n', "$$$$$DIR", 'A'),
              comm::heidenhain::requestHeader('n', "$$$$$DIR", 'A'));
}

TEST(MachineFraming, LinesArePerBlockWithoutTheirEnds) {
    EXPECT_EQ(m::programBlocks("G1\r\nM30\r\n", false, 199),
              (std::vector<std::string>{"G1", "M30"}));
    EXPECT_EQ(m::programBlocks("G1\nM30", false, 199), (std::vector<std::string>{"G1", "M30"}));
    EXPECT_EQ(m::programBlocks("A\r\n\r\nB\r\n", false, 199),
              (std::vector<std::string>{"A", "", "B"}));
}

TEST(MachineFraming, PiecesKeepLineEnds) {
    EXPECT_EQ(m::programBlocks("ABCDE\r\n", true, 3),
              (std::vector<std::string>{"ABC", "DE\r", "\n"}));
}

}  // namespace
