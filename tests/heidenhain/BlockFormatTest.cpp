// Cutting programs into blocks, the frames on the line, and reading request headers.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "comm/heidenhain/BlockCutter.h"
#include "comm/heidenhain/BlockFrames.h"
#include "comm/heidenhain/HeaderReceiver.h"

namespace {

using comm::heidenhain::BlockCutter;
using comm::heidenhain::CutMode;

// Every block, or "<too long>" where the cutter refused.
std::vector<std::string> cutAll(const std::string& text, CutMode mode) {
    BlockCutter cutter(text, mode);
    std::vector<std::string> blocks;
    while (!cutter.done()) {
        auto block = cutter.next();
        if (!block) {
            blocks.push_back("<too long>");
            break;
        }
        blocks.push_back(*block);
    }
    return blocks;
}

TEST(BlockCutting, TwoLinesWithCrLfGiveTwoBlocksWithoutLineEnds) {
    EXPECT_EQ(cutAll("G1 X10\r\nM30\r\n", CutMode::Lines),
              (std::vector<std::string>{"G1 X10", "M30"}));
}

TEST(BlockCutting, LineModeKeepsTabAndHighBytesAndDropsOtherControlCharacters) {
    EXPECT_EQ(cutAll("A\tB\x01\x7F\xE4\r\nC", CutMode::Lines),
              (std::vector<std::string>{"A\tB\x7F\xE4", "C"}));
}

TEST(BlockCutting, ALoneCrClosesABlockAndALoneLfIsDropped) {
    EXPECT_EQ(cutAll("A\rB\nC\r\r\nD", CutMode::Lines),
              (std::vector<std::string>{"A", "BC", "", "D"}));
}

TEST(BlockCutting, ADroppedCharacterAfterMoreThan1000IsRefused) {
    const std::string line(1001, 'X');
    EXPECT_EQ(cutAll(line + "\n", CutMode::Lines), (std::vector<std::string>{"<too long>"}));
    EXPECT_EQ(cutAll(line + "\r", CutMode::Lines), (std::vector<std::string>{line}));
    // Exactly 1000 characters may still drop one.
    const std::string thousand(1000, 'Y');
    EXPECT_EQ(cutAll(thousand + "\nZ", CutMode::Lines), (std::vector<std::string>{thousand + "Z"}));
}

TEST(BlockCutting, Tavro1With450BytesGivesBlocksOf199_199_52) {
    std::string text;
    while (text.size() < 450) {
        text += "N10 G01 X1.5\r\n";
    }
    text.resize(450);
    const auto blocks = cutAll(text, CutMode::Chunks);
    ASSERT_EQ(blocks.size(), 3u);
    EXPECT_EQ(blocks[0].size(), 199u);
    EXPECT_EQ(blocks[1].size(), 199u);
    EXPECT_EQ(blocks[2].size(), 52u);
    EXPECT_EQ(blocks[0] + blocks[1] + blocks[2], text) << "CR and LF are carried as they are";
}

TEST(BlockCutting, ChunksDropControlCharactersButKeepTabCrLf) {
    EXPECT_EQ(cutAll("A\x01\t\x02\r\n\x1A", CutMode::Chunks),
              (std::vector<std::string>{"A\t\r\n"}));
}

TEST(BlockCutting, ModeFollowsProtocolAndCrLfOption) {
    EXPECT_EQ(comm::heidenhain::cutModeFor(comm::ProtTavro1, true), CutMode::Chunks);
    EXPECT_EQ(comm::heidenhain::cutModeFor(comm::ProtTavro1, false), CutMode::Lines);
    EXPECT_EQ(comm::heidenhain::cutModeFor(comm::ProtHeidenhain, true), CutMode::Lines);
}

TEST(BlockFrames, CheckByteIsTheXorFromStxThroughEtb) {
    EXPECT_EQ(comm::heidenhain::dataBlock("G1 X10"), std::string("\x02G1 X10\x17\x1A"));
    EXPECT_EQ(comm::heidenhain::dataBlock("M30"), std::string("\x02M30\x17\x5B"));
    EXPECT_EQ(comm::heidenhain::dataBlock(""), std::string("\x02\x17\x15"));
    EXPECT_EQ(comm::heidenhain::requestHeader('N', "P1.H", 'E'), std::string("\x01NP1.HE\x17\x1A"));
}

std::vector<comm::heidenhain::RequestHeader> feedAll(comm::heidenhain::HeaderReceiver& receiver,
                                                     const std::string& bytes) {
    std::vector<comm::heidenhain::RequestHeader> headers;
    for (char c : bytes) {
        if (auto header = receiver.feed(static_cast<std::uint8_t>(c))) {
            headers.push_back(*header);
        }
    }
    return headers;
}

TEST(HeaderReading, AGoodHeaderGivesTypeNameAndCommand) {
    comm::heidenhain::HeaderReceiver receiver;
    const auto headers =
        feedAll(receiver, "noise" + comm::heidenhain::requestHeader('n', "$$$$$DIR", 'E'));
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_TRUE(headers[0].checkOk);
    EXPECT_EQ(headers[0].fileType, 'n');
    EXPECT_EQ(headers[0].name, "$$$$$DIR");
    EXPECT_EQ(headers[0].command, 'E');
    EXPECT_FALSE(receiver.inHeader());
}

TEST(HeaderReading, AWrongCheckByteIsReported) {
    comm::heidenhain::HeaderReceiver receiver;
    std::string header = comm::heidenhain::requestHeader('N', "P1", 'A');
    header.back() ^= 0x01;
    const auto headers = feedAll(receiver, header);
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_FALSE(headers[0].checkOk);
}

TEST(HeaderReading, TextOf260IsTakenAndLongerIsNotAHeader) {
    comm::heidenhain::HeaderReceiver receiver;
    const std::string name259(259, 'A');
    auto headers = feedAll(receiver, comm::heidenhain::requestHeader('N', name259, 'E'));
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_TRUE(headers[0].checkOk);
    EXPECT_EQ(headers[0].name, name259);

    headers = feedAll(receiver, comm::heidenhain::requestHeader('N', name259 + "B", 'E'));
    EXPECT_TRUE(headers.empty());
    // The receiver listens afresh afterwards.
    headers = feedAll(receiver, comm::heidenhain::requestHeader('N', "OK", 'D'));
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_EQ(headers[0].name, "OK");
}

TEST(HeaderReading, AnEmptyTextHasNoCommand) {
    comm::heidenhain::HeaderReceiver receiver;
    const std::string bare = "\x01N\x17" + std::string(1, '\x01' ^ 'N' ^ '\x17');
    const auto headers = feedAll(receiver, bare);
    ASSERT_EQ(headers.size(), 1u);
    EXPECT_TRUE(headers[0].checkOk);
    EXPECT_EQ(headers[0].command, 0);
}

}  // namespace
