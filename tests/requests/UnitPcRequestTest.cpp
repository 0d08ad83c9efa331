// The operator's requests against simulated units on virtual time, with the polling loop
// running: the exact progress sequences and their one-second steps, the pause after a delete,
// the purge's polls of address 11, both memory-list forms and the failures of a unit that does
// not acknowledge.
#include <gtest/gtest.h>

#include <deque>

#include "tests/dnc/UnitsFixture.h"

namespace {

using namespace sim::unit;
using Micros = sim::VirtualHost::Micros;

constexpr Micros kSecond = 1'000'000;
const std::string kNotDelivered =
    "Error while Transferring Command to Ferix (Block could not be Transferred to Ferix)";

class UnitPcRequests : public UnitsFixture {
protected:
    UnitPcRequests() {
        units.setEventSink([this](const UnitEvent& e) {
            eventTimes.emplace_back(e.kind, host.nowMicros());
            if (e.kind == UnitEvent::CommandCarriedOut) {
                polls11AtCommand = units.pollsOf(11);
            }
        });
    }

    // Runs `operations` one after the other from the host's message pump while the line
    // polls, as a host's window would; the site's records start empty for them.
    void whilePolling(std::vector<std::function<void()>> operations, Micros limit = 120 * kSecond) {
        std::deque<std::function<void()>> queue(operations.begin(), operations.end());
        bool running = false;
        bool first = true;
        onPump = [&] {
            if (control.Active() && !running && !queue.empty()) {
                if (first) {
                    site = sim::RecordingSite{};  // drop the loop's start-up events
                    first = false;
                }
                auto operation = std::move(queue.front());
                queue.pop_front();
                running = true;
                operation();
                running = false;
            }
            if (observe) {
                observe();
            }
        };
        ASSERT_TRUE(runUntil([&] { return queue.empty() && !running; }, limit));
        onPump = {};
        EXPECT_TRUE(queue.empty()) << "the time limit cut the requests short";
    }

    // When the host first saw each progress value (the control lets it run 10 ms after every
    // value of a command's sequence).
    void watchProgress() {
        observe = [this] {
            while (progressSeen.size() < site.progress.size()) {
                progressSeen.push_back(host.nowMicros());
            }
        };
    }

    Micros timeOf(UnitEvent::Kind kind) const {
        for (const auto& [k, time] : eventTimes) {
            if (k == kind) {
                return time;
            }
        }
        ADD_FAILURE() << "no unit event " << kind;
        return 0;
    }

    std::vector<std::pair<UnitEvent::Kind, Micros>> eventTimes;
    std::size_t polls11AtCommand = 0;
    std::function<void()> observe;
    std::vector<Micros> progressSeen;
};

const std::vector<std::uint8_t> kSectionProgress = {0,  7,  13, 20, 27, 33, 40, 47,
                                                    53, 60, 67, 73, 80, 87, 93, 100};

TEST_F(UnitPcRequests, APushLandsInTheCurrentSectionWithItsKind) {
    unit(2).memory().selectSection(3);
    put(2, "PRG1.WTX", patterned(70));
    put(2, "PRG2.STX", "source");
    put(2, "PRG3.SMC", "macro");
    whilePolling({[&] { control.DoPcRequestFileToFerix(2, "PRG1.wtx"); },
                  [&] { control.DoPcRequestFileToFerix(2, "PRG2.STX"); },
                  [&] { control.DoPcRequestFileToFerix(2, "PRG3.SMC"); }});
    const auto files = unit(2).memory().files(3);
    ASSERT_EQ(files.size(), 2u);
    EXPECT_EQ(files[0].name, "PRG1");
    EXPECT_EQ(files[0].kind, 1);
    EXPECT_EQ(files[0].data, patterned(70));
    EXPECT_EQ(files[1].name, "PRG2");
    EXPECT_EQ(files[1].kind, 0);
    EXPECT_EQ(files[1].data, "source");
    EXPECT_EQ(site.progress, (std::vector<std::uint8_t>{0, 47, 92, 100, 0, 100}));
    EXPECT_EQ(site.memChanged, (std::vector<std::uint8_t>{2, 2}));
    // A macro is matched by its extension, then refused before the unit hears of it.
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description,
              "Error while Processing PC Request (Files of This Type are not Supported)");
    EXPECT_EQ(blockCodesTo(2), (std::vector<int>{0, 128, 129, 130, 0, 0, 128, 0}));
}

TEST_F(UnitPcRequests, APullWithALengthReportsItsProgress) {
    unit(1).memory().store({"PRG2", 1, patterned(100)});
    whilePolling({[&] { control.DoPcRequestFileFromFerix(1, "PRG2", 100); }});
    EXPECT_EQ(read(1, "PRG2.WTX"), patterned(100));
    EXPECT_EQ(site.progress, (std::vector<std::uint8_t>{0, 0, 32, 64, 96, 100}));
    EXPECT_EQ(site.dirChanged, std::vector<std::uint8_t>{1});
    EXPECT_EQ(site.stops, (std::vector<std::pair<bool, std::uint8_t>>{{true, 1}, {false, 1}}));
    EXPECT_EQ(last(UnitEvent::ProgramSent).status, comm::dnc::kStatusComplete);
    EXPECT_EQ(last(UnitEvent::ProgramSent).value, 100u);
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(UnitPcRequests, ADeleteIsFollowedByHalfASecondBeforeTheMemoryEvent) {
    unit(3).memory().store({"OLD", 1, "x"});
    Micros lastQuiet = 0;
    observe = [&] {
        if (control.TransferBusy() && site.memChanged.empty()) {
            lastQuiet = host.nowMicros();
        }
    };
    whilePolling({[&] { control.DoPCRequestRemoveFile(3, "OLD"); }});
    EXPECT_EQ(unit(3).memory().find("OLD"), nullptr);
    EXPECT_EQ(last(UnitEvent::ProgramDeleted, 3).name, "OLD");
    EXPECT_EQ(site.memChanged, std::vector<std::uint8_t>{3});
    EXPECT_GE(lastQuiet - timeOf(UnitEvent::ProgramDeleted), kSecond / 2);
    EXPECT_TRUE(site.errors.empty());
}

class SectionCommands : public UnitPcRequests,
                        public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(SectionCommands, RaiseFifteenStepsOneSecondApart) {
    const std::uint8_t command = GetParam();
    unit(1).memory().store({"P", 1, "x"});
    unit(1).memory().selectSection(1);
    watchProgress();
    whilePolling({[&] { control.DoPCRequest(1, 4, 0, command, ""); }});
    EXPECT_EQ(site.progress, kSectionProgress);
    ASSERT_EQ(progressSeen.size(), kSectionProgress.size());
    for (std::size_t i = 1; i + 1 < progressSeen.size(); ++i) {
        EXPECT_EQ(progressSeen[i] - progressSeen[i - 1], kSecond) << "step " << i;
    }
    EXPECT_EQ(site.memChanged, std::vector<std::uint8_t>{1});
    EXPECT_EQ(last(UnitEvent::CommandCarriedOut).value, command);
    if (command >= 4 && command <= 7) {
        EXPECT_EQ(unit(1).memory().currentSection(), command - 3);
        EXPECT_FALSE(unit(1).memory().joined());
    } else if (command == 8) {
        EXPECT_TRUE(unit(1).memory().joined());
    }
    EXPECT_EQ(unit(1).memory().files(1).size(), 1u) << "only a purge erases";
    EXPECT_TRUE(site.errors.empty());
}

INSTANTIATE_TEST_SUITE_P(SectionsJoinAndReset, SectionCommands,
                         ::testing::Values(4, 5, 6, 7, 8, 20));

TEST_F(UnitPcRequests, APurgePollsAddressElevenFiveTimesOneSecondApart) {
    unit(2).memory().store({"P", 1, "x"});
    std::size_t polls11AtEnd = 0;
    watchProgress();
    whilePolling({[&] {
        control.DoPCRequestFerixNul(2);
        polls11AtEnd = units.pollsOf(11);
    }});
    EXPECT_EQ(site.progress, (std::vector<std::uint8_t>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(polls11AtEnd - polls11AtCommand, 5u);
    const Micros pollTime = 26 * line.charTime();  // the poll frame and one fill byte
    ASSERT_EQ(progressSeen.size(), 6u);
    for (std::size_t i = 1; i < 5; ++i) {
        // A second's wait and the poll of address 11.
        EXPECT_EQ(progressSeen[i] - progressSeen[i - 1], kSecond + pollTime) << "step " << i;
    }
    EXPECT_EQ(unit(2).memory().find("P"), nullptr);
    EXPECT_EQ(site.memChanged, std::vector<std::uint8_t>{2});
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(UnitPcRequests, SelectAndTheTapeCommandsNeedNoWait) {
    unit(1).memory().store({"PRG1", 1, "x"});
    Micros start = 0;
    Micros end = 0;
    whilePolling({[&] { start = host.nowMicros(); },
                  [&] { control.DoPCRequestFerixSEL(1, "PRG1"); },
                  [&] { control.DoPCRequestFerixSTR(1); },
                  [&] {
                      EXPECT_EQ(unit(1).activity(), Activity::ReaderSimulation);
                      control.DoPCRequestFerixSTP(1);
                  },
                  [&] {
                      EXPECT_EQ(unit(1).activity(), Activity::PuncherSimulation);
                      control.DoPCRequestFerixTR(1);
                      end = host.nowMicros();
                  }});
    EXPECT_EQ(unit(1).selectedProgram(), "PRG1");
    EXPECT_EQ(unit(1).activity(), Activity::ReaderReading);
    EXPECT_EQ(units.eventsOf(UnitEvent::CommandCarriedOut).size(), 4u);
    EXPECT_LT(end - start, kSecond / 2) << "four blocks, no pauses";
    EXPECT_TRUE(site.progress.empty());
    EXPECT_TRUE(site.memChanged.empty());
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(UnitPcRequests, TheBinaryMemoryList) {
    unit(3).memory().setCapacity(100000);
    unit(3).memory().selectSection(4);
    unit(3).memory().store({"123", 1, std::string(10, '1')});
    unit(3).memory().store({"7", 1, std::string(5, '7')});
    unit(3).memory().store({"PRG1", 1, std::string(20, 'p')});
    ASSERT_TRUE(control.setPrefix(3, "PPG"));
    put(3, "$$$$$DIR.LST", "a program of the listing's name");
    comm::MemoryList plain;
    comm::MemoryList zeros;
    whilePolling({[&] { plain = control.FerixLst(3); },
                  [&] {
                      control.setZerosInName(true);
                      zeros = control.FerixLst(3);
                  }});
    EXPECT_EQ(plain.count, 3);
    EXPECT_EQ(plain.freeMemory, 100000.0 - 35);
    EXPECT_EQ(plain.section, 4);
    EXPECT_EQ(plain.entries,
              (std::vector<comm::MemoryListEntry>{{"PPG123", 10}, {"PPG7", 5}, {"PRG1", 20}}));
    EXPECT_EQ(zeros.entries[0].name, "PPG00123");
    EXPECT_EQ(zeros.entries[1].name, "PPG00007");
    EXPECT_EQ(read(3, "$$$$$DIR.LST"), "a program of the listing's name");
    EXPECT_TRUE(site.dirChanged.empty());
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(UnitPcRequests, TheShortAnswerWaitsBeforeFetchingTheDirectory) {
    unit(1).setListingForm(ListingForm::ShortAnswer);
    unit(1).memory().store({"PRG1", 1, std::string(20, 'p')});
    unit(1).memory().store({"SUB", 0, std::string(7, 's')});
    control.setF4COPYTimeout(3000);
    comm::MemoryList list;
    whilePolling({[&] { list = control.FerixLst(1); }});
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.freeMemory, 262144.0);
    EXPECT_EQ(list.section, 0);
    EXPECT_EQ(list.entries, (std::vector<comm::MemoryListEntry>{{"PRG1", 20}, {"SUB", 7}}));
    const auto sent = units.eventsOf(UnitEvent::ProgramSent);
    ASSERT_EQ(sent.size(), 2u);
    EXPECT_EQ(sent[0].data, "@");
    EXPECT_EQ(sent[1].name, "DIR");
    Micros dirSent = 0;
    for (const auto& [kind, time] : eventTimes) {
        if (kind == UnitEvent::ProgramSent) {
            dirSent = time;
        }
    }
    EXPECT_GE(dirSent - timeOf(UnitEvent::CommandCarriedOut), 3 * kSecond);
    EXPECT_FALSE(exists(1, "DIR.STX"));
    EXPECT_TRUE(site.dirChanged.empty());
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(UnitPcRequests, AShortAnswerUnitThatRefusesCommandsGivesAnEmptyList) {
    unit(1).setListingForm(ListingForm::ShortAnswer);
    unit(1).setRefuseCommands(true);
    unit(1).memory().store({"PRG1", 1, "p"});
    comm::MemoryList list;
    whilePolling({[&] { list = control.FerixLst(1); }});
    EXPECT_EQ(list.count, 0);
    EXPECT_EQ(list.freeMemory, 262144.0);
    EXPECT_TRUE(list.entries.empty());
    // STR not delivered, then the directory file not there: both the operator's commands.
    ASSERT_EQ(site.errors.size(), 2u);
    for (const auto& e : site.errors) {
        EXPECT_EQ(e.description, kNotDelivered);
        EXPECT_TRUE(e.reqSidePC);
    }
}

TEST_F(UnitPcRequests, AMemoryListRequestThatIsNotAcknowledged) {
    unit(2).injectFault(Fault::Silence, kUntilCleared);
    comm::MemoryList list;
    whilePolling({[&] { list = control.FerixLst(2); }});
    EXPECT_EQ(list.count, -1);
    EXPECT_FALSE(list.freeMemory.has_value());
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description, kNotDelivered);
    EXPECT_FALSE(site.errors[0].reqSidePC) << "the memory-list request";
    EXPECT_EQ(site.errors[0].helpFile, "");
    EXPECT_EQ(site.errors[0].context, 0);
    EXPECT_EQ(blockCodesTo(2), (std::vector<int>{0, 0, 0, 0})) << "four tries";
}

TEST_F(UnitPcRequests, ARefusedCommandInEnglishAndGerman) {
    unit(1).setRefuseCommands(true);
    whilePolling({[&] { control.DoPCRequestFerixSek2(1); },
                  [&] {
                      control.setLangID(0x0407);
                      control.DoPCRequestFerixReset(1);
                  }});
    ASSERT_EQ(site.errors.size(), 2u);
    EXPECT_EQ(site.errors[0].description, kNotDelivered);
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_EQ(site.errors[1].description,
              "Fehler bei der Übertragung des Befehls zum Ferix (Block konnte nicht zum Ferix "
              "übertragen werden)");
    EXPECT_TRUE(site.progress.empty()) << "no progress for a command the unit never took";
    EXPECT_TRUE(site.memChanged.empty());
    EXPECT_EQ(unit(1).memory().currentSection(), 1);
    EXPECT_EQ(units.eventsOf(UnitEvent::PcRequestRefused).size(), 8u) << "four tries each";
}

TEST_F(UnitPcRequests, APullThatBreaksOffWritesNothing) {
    unit(1).memory().store({"PRG3", 1, patterned(90)});
    unit(1).injectFault(Fault::WrongCheckByte, kUntilCleared);
    put(1, "PRG3.WTX", "the PC's own copy");
    whilePolling({[&] { control.DoPcRequestFileFromFerix(1, "PRG3", 90); }});
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description,
              "Error while Processing PC Request: Error while Transferring File from Ferix "
              "(Block could not be Transferred from Ferix)");
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_EQ(read(1, "PRG3.WTX"), "the PC's own copy");
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_F(UnitPcRequests, APullOfAProgramTheUnitDoesNotHave) {
    whilePolling({[&] { control.DoPcRequestFileFromFerix(1, "NONE", 0); }});
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description, kNotDelivered);
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_FALSE(exists(1, "NONE.WTX"));
    EXPECT_EQ(last(UnitEvent::PcRequestRefused).detail, "no program NONE in the memory");
}

}  // namespace
