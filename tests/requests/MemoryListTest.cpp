// The three listing forms of a unit's memory.
#include <gtest/gtest.h>

#include "comm/requests/MemoryList.h"

namespace {

std::string header(std::uint32_t freeMemory, std::uint8_t byte14 = 0, std::uint8_t byte15 = 0) {
    std::string h(16, '\0');
    h[8] = static_cast<char>(freeMemory & 0xFF);
    h[9] = static_cast<char>((freeMemory >> 8) & 0xFF);
    h[10] = static_cast<char>((freeMemory >> 16) & 0xFF);
    h[14] = static_cast<char>(byte14);
    h[15] = static_cast<char>(byte15);
    return h;
}

std::string numbered(std::initializer_list<int> digits, std::uint32_t size) {
    std::string r(16, '\0');
    int i = 0;
    for (int d : digits) {
        r[static_cast<std::size_t>(i++)] = static_cast<char>(d);
    }
    r[8] = static_cast<char>(size & 0xFF);
    r[9] = static_cast<char>((size >> 8) & 0xFF);
    r[10] = static_cast<char>((size >> 16) & 0xFF);
    return r;
}

// A named record holds its 8 characters at bytes 14, 13, 12, 4, 3, 2, 1, 0.
std::string named(const std::string& eight, std::uint32_t size) {
    std::string r = numbered({}, size);
    const std::size_t places[8] = {14, 13, 12, 4, 3, 2, 1, 0};
    for (std::size_t i = 0; i < 8; ++i) {
        r[places[i]] = eight[i];
    }
    return r;
}

TEST(DncListing, HeaderGivesFreeMemoryAndSection) {
    auto list = comm::decodeDncListing(header(0x012345, 0xA5, 130), "PPG", false);
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.freeMemory, 0x012345);
    EXPECT_EQ(list.section, 2);
    EXPECT_EQ(comm::decodeDncListing(header(10, 0xA4, 130), "PPG", false).section, 0);
}

TEST(DncListing, NumberedProgramsWithAndWithoutLeadingZeros) {
    const std::string listing =
        header(1000) + numbered({3, 2, 1, 0, 0}, 0x010203) + numbered({0, 0, 0, 0, 0}, 5);
    auto plain = comm::decodeDncListing(listing, "PPG", false);
    ASSERT_EQ(plain.count, 2);
    EXPECT_EQ(plain.entries[0], (comm::MemoryListEntry{"PPG123", 0x010203}));
    EXPECT_EQ(plain.entries[1].name, "PPG");
    auto zeros = comm::decodeDncListing(listing, "PPG", true);
    EXPECT_EQ(zeros.entries[0].name, "PPG00123");
    EXPECT_EQ(zeros.entries[1].name, "PPG00000");
    // Digits are written as their decimal values, whatever they are.
    EXPECT_EQ(comm::decodeDncListing(header(0) + numbered({9, 0, 7}, 1), "", false).entries[0].name,
              "709");
}

TEST(DncListing, NamedFilesDropLeadingBlanks) {
    auto list = comm::decodeDncListing(header(0) + named("   SHAFT", 77) + named("GEARBOX1", 1),
                                       "PPG", false);
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(list.entries[0], (comm::MemoryListEntry{"SHAFT", 77}));
    EXPECT_EQ(list.entries[1].name, "GEARBOX1");
}

TEST(DncListing, OnlyCompleteRecordsCountAndShortListingsAreUnreadable) {
    const std::string forty = header(0) + numbered({1}, 1) + std::string(8, '\x07');
    EXPECT_EQ(forty.size(), 40u);
    EXPECT_EQ(comm::decodeDncListing(forty, "P", false).count, 1);
    for (std::size_t size : {0u, 5u, 15u}) {
        const auto list = comm::decodeDncListing(std::string(size, '\0'), "P", false);
        EXPECT_EQ(list.count, -1);
        EXPECT_FALSE(list.freeMemory);
        EXPECT_FALSE(list.section);
        const auto cells = list.asArray();
        ASSERT_EQ(cells.size(), 3u);
        EXPECT_EQ(std::get<double>(cells[0]), -1);
        EXPECT_TRUE(std::holds_alternative<std::monostate>(cells[1]));
    }
    EXPECT_TRUE(comm::isShortAnswer(std::string(1, '\x40')));
    EXPECT_FALSE(comm::isShortAnswer(std::string(1, '\x41')));
    EXPECT_FALSE(comm::isShortAnswer(std::string(2, '\x40')));
}

TEST(ShortAnswerDirectory, RecordsOfThirtyTwoBytesSkippingItsOwnFile) {
    const auto record = [](std::string name, std::uint32_t size) {
        name.resize(24, ' ');
        std::string r = name;
        for (int i = 0; i < 4; ++i) {
            r += static_cast<char>((size >> (8 * i)) & 0xFF);
        }
        return r + std::string(4, '\0');
    };
    comm::MemoryList list{comm::MemoryList::Kind::List, 0, 262144, 0, {}};
    comm::addShortAnswerDirectory(record("DIR.STX", 9) + record("PROG1.WTX", 0x01000000) +
                                      record("dir.old", 1) + record("NODOT", 3) +
                                      std::string(31, 'x'),
                                  list);
    ASSERT_EQ(list.count, 2);
    EXPECT_EQ(list.entries[0], (comm::MemoryListEntry{"PROG1", 16777216.0}));
    EXPECT_EQ(list.entries[1], (comm::MemoryListEntry{"NODOT", 3}));
}

TEST(TavroListing, OneProgramPerLine) {
    auto list =
        comm::decodeTavroListing("P1 120\r\nLONGNAME.H   77 bytes\r\nNOBLANK\r\n\r\nX -3\n");
    ASSERT_EQ(list.count, 5);
    EXPECT_EQ(list.entries[0], (comm::MemoryListEntry{"P1", 120}));
    EXPECT_EQ(list.entries[1], (comm::MemoryListEntry{"LONGNAME.H", 77}));
    EXPECT_EQ(list.entries[2], (comm::MemoryListEntry{"NOBLANK", 0}));
    EXPECT_EQ(list.entries[3], (comm::MemoryListEntry{"", 0}));  // an empty line counts
    EXPECT_EQ(list.entries[4], (comm::MemoryListEntry{"X", -3}));
    EXPECT_EQ(comm::decodeTavroListing("").count, 0);
    EXPECT_EQ(comm::decodeTavroListing("A 1").count, 1) << "no line end after the last line";
}

TEST(MemoryListArray, TheFlatFormKeepsItsIndexLayout) {
    comm::MemoryList list{comm::MemoryList::Kind::List, 1, 512, 3, {{"PPG1", 40}}};
    const auto cells = list.asArray();
    ASSERT_EQ(cells.size(), 5u);
    EXPECT_EQ(std::get<double>(cells[0]), 1);
    EXPECT_EQ(std::get<double>(cells[1]), 512);
    EXPECT_EQ(std::get<double>(cells[2]), 3);
    EXPECT_EQ(std::get<std::string>(cells[3]), "PPG1");
    EXPECT_EQ(std::get<double>(cells[4]), 40);
    EXPECT_EQ(comm::MemoryList::notSupported().asArray().size(), 1u);
    EXPECT_EQ(std::get<double>(comm::MemoryList::notSupported().asArray()[0]), -2);
    EXPECT_TRUE(comm::MemoryList::noValue().asArray().empty());
}

TEST(LeadingValue, ReadsTheNumberAtTheStart) {
    EXPECT_EQ(comm::leadingValue(" 120"), 120);
    EXPECT_EQ(comm::leadingValue("77 bytes"), 77);
    EXPECT_EQ(comm::leadingValue("1.5x"), 1.5);
    EXPECT_EQ(comm::leadingValue("abc"), 0);
    EXPECT_EQ(comm::leadingValue(""), 0);
    EXPECT_EQ(comm::leadingValue("+4"), 4);
}

}  // namespace
