// The simulated unit's side of the operator's requests, byte by byte: its memory list in both
// forms, the request blocks it acknowledges or refuses, and the simulator's commands for them.
#include <gtest/gtest.h>

#include "comm/dnc/DncFrames.h"
#include "comm/requests/MemoryList.h"
#include "comm/requests/PcRequests.h"
#include "sim/unit/MemoryListing.h"
#include "sim/unit/UnitCommands.h"
#include "sim/unit/UnitSimulator.h"

namespace {

using namespace sim::unit;

std::uint8_t at(const std::string& bytes, std::size_t i) {
    return static_cast<std::uint8_t>(bytes.at(i));
}

TEST(UnitMemoryList, BinaryHeaderAndRecordsHaveTheirPlaces) {
    UnitMemory memory;
    memory.setCapacity(1000);
    memory.selectSection(2);
    memory.store({"123", 1, std::string(3, 'x')});
    memory.store({"PRG1", 1, std::string(300, 'y')});
    memory.store(1, {"ELSE", 1, std::string(40, 'z')});  // counts against free memory only

    const std::string listing = binaryMemoryListing(memory);
    ASSERT_EQ(listing.size(), 16u + 2 * 16u);
    EXPECT_EQ(at(listing, 8) | at(listing, 9) << 8 | at(listing, 10) << 16, 1000 - 343);
    EXPECT_EQ(at(listing, 14), 0xA5);
    EXPECT_EQ(at(listing, 15), 130);

    const std::string numbered = listing.substr(16, 16);
    EXPECT_EQ(numbered.substr(0, 5), std::string("\x03\x02\x01\0\0", 5));
    EXPECT_EQ(at(numbered, 8), 3);
    const std::string named = listing.substr(32, 16);
    EXPECT_EQ(named.substr(0, 5), "1GRP ");
    EXPECT_EQ(named.substr(12, 3), "   ");
    EXPECT_EQ(at(named, 8) | at(named, 9) << 8, 300);

    // The control reads back what the unit wrote.
    const comm::MemoryList list = comm::decodeDncListing(listing, "PPG", true);
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.section, 2);
    EXPECT_EQ(list.freeMemory, 657.0);
    EXPECT_EQ(list.entries, (std::vector<comm::MemoryListEntry>{{"PPG00123", 3}, {"PRG1", 300}}));
}

TEST(UnitMemoryList, JoinedSectionsListEverythingWithoutASection) {
    UnitMemory memory;
    memory.store(1, {"A", 1, "1"});
    memory.store(4, {"B", 1, "22"});
    memory.joinSections();
    memory.store({"B", 0, "333"});  // replaces B where it is kept
    const std::string listing = binaryMemoryListing(memory);
    EXPECT_EQ(at(listing, 14), 0);
    const comm::MemoryList list = comm::decodeDncListing(listing, "", false);
    EXPECT_EQ(list.section, 0);
    EXPECT_EQ(list.entries, (std::vector<comm::MemoryListEntry>{{"A", 1}, {"B", 3}}));
    memory.selectSection(1);
    EXPECT_FALSE(memory.joined());
    EXPECT_EQ(memory.find("B"), nullptr) << "B lives in section 4";
    memory.purge();
    EXPECT_TRUE(memory.files(4).empty());
    EXPECT_EQ(memory.freeBytes(), UnitMemory::kDefaultCapacity);
}

TEST(UnitMemoryList, ShortAnswerAndDirectoryFile) {
    EXPECT_EQ(shortMemoryListing(), "@");
    EXPECT_TRUE(comm::isShortAnswer(shortMemoryListing()));
    UnitMemory memory;
    memory.store({"PRG1", 1, std::string(70000, 'a')});
    memory.store({"LONGNAME", 5, "b"});
    const std::string file = directoryFile(memory);
    ASSERT_EQ(file.size(), 3 * 32u);
    EXPECT_EQ(file.substr(0, 24), "DIR.STX" + std::string(17, ' '));
    EXPECT_EQ(at(file, 24), 96);
    EXPECT_EQ(file.substr(32, 12), "LONGNAME.WMC");
    EXPECT_EQ(file.substr(64 + 24, 4), std::string("\x70\x11\x01\x00", 4)) << "70000";

    comm::MemoryList list{comm::MemoryList::Kind::List, 0, 262144.0, 0, {}};
    comm::addShortAnswerDirectory(file, list);
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.entries, (std::vector<comm::MemoryListEntry>{{"LONGNAME", 1}, {"PRG1", 70000}}));
}

TEST(UnitMemoryList, OnlyOneToFiveDigitsMakeANumberedProgram) {
    EXPECT_TRUE(isNumberedProgram("0"));
    EXPECT_TRUE(isNumberedProgram("99999"));
    EXPECT_FALSE(isNumberedProgram("123456"));
    EXPECT_FALSE(isNumberedProgram("12A"));
    EXPECT_FALSE(isNumberedProgram(""));
}

// A unit on a bare simulator, fed the PC's frames as the control builds them.
class UnitAtTheFrameLevel : public ::testing::Test {
protected:
    UnitAtTheFrameLevel() : unit(units.addUnit(5)) {
        units.setOutput([this](const std::string& bytes) { answer += bytes; });
    }
    // Sends a request block; returns what the unit answered.
    std::string request(std::uint8_t action, std::uint8_t direction, std::uint8_t code,
                        const std::string& name) {
        answer.clear();
        units.receive(
            comm::dnc::dataFrame(5, 0, comm::requestBlock(action, direction, code, name)));
        return answer;
    }
    std::size_t count(UnitEvent::Kind kind) const { return units.eventsOf(kind).size(); }

    const std::string ack = std::string("\x10\x01", 2);
    UnitSimulator units;
    SimulatedUnit& unit;
    std::string answer;
};

TEST_F(UnitAtTheFrameLevel, CommandsChangeTheUnitsState) {
    unit.memory().store({"P1", 1, "data"});
    EXPECT_EQ(request(4, 0, 0, "P1"), ack);
    EXPECT_EQ(unit.selectedProgram(), "P1");
    EXPECT_EQ(request(4, 0, 2, ""), ack);
    EXPECT_EQ(unit.activity(), Activity::PuncherSimulation);
    EXPECT_EQ(request(4, 0, 6, ""), ack);
    EXPECT_EQ(unit.memory().currentSection(), 3);
    EXPECT_EQ(request(4, 0, 8, ""), ack);
    EXPECT_TRUE(unit.memory().joined());
    EXPECT_EQ(request(4, 0, 20, ""), ack);
    EXPECT_EQ(unit.activity(), Activity::None);
    EXPECT_TRUE(unit.selectedProgram().empty());
    EXPECT_TRUE(unit.memory().joined()) << "a reset keeps the memory as it is";
    EXPECT_EQ(request(4, 0, 9, ""), ack);
    EXPECT_EQ(unit.memory().find("P1"), nullptr);
    EXPECT_FALSE(unit.memory().joined());
    const auto done = units.eventsOf(UnitEvent::CommandCarriedOut);
    ASSERT_EQ(done.size(), 6u);
    EXPECT_EQ(done[0].name, "P1");
    EXPECT_EQ(done[0].describe(), "unit 5: command select P1 carried out");
    EXPECT_EQ(done[2].describe(), "unit 5: command section 3 carried out");
}

TEST_F(UnitAtTheFrameLevel, WhatTheUnitCannotDoIsLeftUnacknowledged) {
    EXPECT_EQ(request(4, 0, 0, "NONE"), "") << "select of a missing program";
    EXPECT_EQ(request(4, 0, 10, ""), "") << "unknown command";
    EXPECT_EQ(request(3, 0, 0, "NONE"), "") << "delete of a missing program";
    EXPECT_EQ(request(0, 1, 1, "NONE"), "") << "fetch of a missing program";
    EXPECT_EQ(request(0, 1, 0, "DIR"), "") << "no directory file before STR";
    EXPECT_EQ(request(0, 0, 1, ""), "") << "a program without a name";
    EXPECT_EQ(request(6, 0, 0, "X"), "") << "unknown action";
    unit.setRefuseCommands(true);
    EXPECT_EQ(request(4, 0, 1, ""), "");
    EXPECT_EQ(unit.activity(), Activity::None);
    const auto refused = units.eventsOf(UnitEvent::PcRequestRefused);
    ASSERT_EQ(refused.size(), 8u);
    EXPECT_EQ(refused.back().describe(), "unit 5: request from the PC refused (commands refused)");
    EXPECT_EQ(count(UnitEvent::CommandCarriedOut), 0u);
}

TEST_F(UnitAtTheFrameLevel, ARepeatedRequestIsAcknowledgedButCarriedOutOnce) {
    unit.memory().store({"P1", 1, "x"});
    unit.memory().store({"P2", 1, "y"});
    EXPECT_EQ(request(3, 0, 0, "P1"), ack);
    EXPECT_EQ(request(3, 0, 0, "P1"), ack) << "the PC missed the acknowledgement";
    EXPECT_EQ(count(UnitEvent::ProgramDeleted), 1u);
    EXPECT_EQ(count(UnitEvent::PcRequestRefused), 0u);
    EXPECT_NE(unit.memory().find("P2"), nullptr);

    // After any other frame the same block is a new request.
    units.receive(comm::dnc::dataFrame(5, 0, "\x01", 12));
    EXPECT_EQ(request(3, 0, 0, "P1"), "");
    EXPECT_EQ(count(UnitEvent::PcRequestRefused), 1u);
}

TEST_F(UnitAtTheFrameLevel, TheUnitsOwnRequestWaitsForThePCs) {
    unit.memory().store({"P1", 1, "x"});
    unit.raise(RequestSpec::download("WANTED", 1));
    const std::string poll = comm::dnc::dataFrame(5, 0, "\x01", 12);
    answer.clear();
    units.receive(poll);
    EXPECT_EQ(answer, ack) << "announced";
    EXPECT_EQ(request(0, 1, 1, "P1"), ack) << "the PC's fetch comes first";
    EXPECT_EQ(unit.requestsOutstanding(), 2u);
    answer.clear();
    units.receive(comm::dnc::requestFrame(5));
    EXPECT_EQ(answer.substr(0, 4), std::string("\x10\x02\x80x", 4)) << "P1, not the request";
    units.receive(comm::dnc::ackFrame());
    units.receive(comm::dnc::requestFrame(5));
    units.receive(comm::dnc::ackFrame());
    units.receive(comm::dnc::dataFrame(5, 0, comm::dnc::closingBlockData(1, 0)));
    EXPECT_EQ(count(UnitEvent::ProgramSent), 1u);
    answer.clear();
    units.receive(poll);
    EXPECT_EQ(answer, ack) << "announced again";
    EXPECT_EQ(count(UnitEvent::Announced), 2u);
    EXPECT_EQ(unit.requestsOutstanding(), 1u);
}

TEST_F(UnitAtTheFrameLevel, TheMemoryListIsFetchedLikeAProgram) {
    unit.memory().store({"7", 1, "abc"});
    EXPECT_EQ(request(0, 1, 2, "$$$$$DIR"), ack);
    answer.clear();
    units.receive(comm::dnc::requestFrame(5));
    // One block of 32 bytes: the header and one record; an empty block ends the file.
    ASSERT_GE(answer.size(), 3u);
    EXPECT_EQ(answer.substr(0, 3), std::string("\x10\x02\x80", 3));
    units.receive(comm::dnc::ackFrame());
    answer.clear();
    units.receive(comm::dnc::requestFrame(5));
    EXPECT_EQ(answer, std::string("\x10\x02\x81\x10\x83\x81\x00", 7));
    units.receive(comm::dnc::ackFrame());
    units.receive(comm::dnc::dataFrame(5, 0, comm::dnc::closingBlockData(32, 0)));
    const auto sent = units.eventsOf(UnitEvent::ProgramSent);
    ASSERT_EQ(sent.size(), 1u);
    EXPECT_EQ(sent[0].name, "$$$$$DIR");
    EXPECT_EQ(sent[0].data.size(), 32u);
}

TEST(UnitPolls, EveryPollIsCountedByAddress) {
    UnitSimulator units;
    units.addUnit(1);
    for (std::uint8_t address : {1, 11, 11, 4}) {
        units.receive(comm::dnc::dataFrame(address, 0, "\x01", 12));
    }
    units.receive(comm::dnc::dataFrame(11, 0, "\x02", 12));  // a block, not a poll
    EXPECT_EQ(units.pollsOf(1), 1u);
    EXPECT_EQ(units.pollsOf(11), 2u);
    EXPECT_EQ(units.pollsOf(4), 1u);
    EXPECT_EQ(units.pollsOf(2), 0u);
}

TEST(UnitCommandLine, SetsHowTheUnitAnswersThePC) {
    UnitSimulator units;
    units.addUnit(3);
    UnitCommands commands([&](const std::function<void(UnitSimulator&)>& f) { f(units); });
    SimulatedUnit& unit = *units.unit(3);
    EXPECT_EQ(commands.execute("listing 3 short"),
              "unit 3: short memory-list answer, directory after STR");
    EXPECT_EQ(unit.listingForm(), ListingForm::ShortAnswer);
    EXPECT_EQ(commands.execute("commands 3 refuse"), "unit 3: commands refused");
    EXPECT_TRUE(unit.refusesCommands());
    EXPECT_EQ(commands.execute("capacity 3 5000"), "unit 3: capacity 5000 bytes, 5000 free");
    unit.memory().store({"P", 1, std::string(100, 'p')});
    EXPECT_EQ(commands.execute("join 3"), "unit 3: sections joined");
    EXPECT_EQ(commands.execute("units"),
              "unit 3: sections joined, 4900 bytes free, idle, short memory-list answer, "
              "refuses commands, 0 requests open\n");
    EXPECT_EQ(commands.execute("purge 3"), "unit 3: memory purged");
    EXPECT_EQ(unit.memory().freeBytes(), 5000u);
    EXPECT_EQ(commands.execute("commands 3 accept"), "unit 3: commands accepted");
    EXPECT_EQ(commands.execute("listing 3 binary"), "unit 3: binary memory list");
    for (const char* bad : {"listing 3 text", "commands 3 maybe", "capacity 3 -1",
                            "capacity 3 99999999", "join 4", "purge", "listing 3"}) {
        EXPECT_EQ(commands.execute(bad).rfind("error: ", 0), 0u) << bad;
    }
    EXPECT_FALSE(unit.refusesCommands());
}

}  // namespace
