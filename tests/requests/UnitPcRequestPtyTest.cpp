// The operator's requests end to end: the control on one end of a pseudo-terminal pair with its
// polling loop running, simulated units on the other, in real time. The requests are started
// from the host's message pump, as a window's commands are.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <deque>
#include <filesystem>
#include <fstream>

#include "tests/dnc/PtyUnitsFixture.h"

namespace {

namespace fs = std::filesystem;
using namespace sim::unit;
using Clock = std::chrono::steady_clock;

const std::vector<std::uint8_t> kSectionProgress = {0,  7,  13, 20, 27, 33, 40, 47,
                                                    53, 60, 67, 73, 80, 87, 93, 100};
const std::string kNotDelivered =
    "Error while Transferring Command to Ferix (Block could not be Transferred to Ferix)";

std::string program(std::size_t n) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += static_cast<char>((i * 37 + 16) & 0xFF);  // DLE, FILL, XON and XOFF among them
    }
    return s;
}

class UnitPcRequestsOverPty : public PtyUnitsFixture {
protected:
    UnitPcRequestsOverPty() : PtyUnitsFixture("ferix-pcreq-pty-") {
        units.setEventSink([this](const UnitEvent& e) {
            if (e.kind == UnitEvent::CommandCarriedOut) {
                polls11AtCommand = units.pollsOf(11);  // on the line's thread, units held
            }
        });
        driver.start();
    }
    // The units' thread reports into this class: it stops before our members go.
    ~UnitPcRequestsOverPty() override { driver.stop(); }

    // Switches the line on and runs `operations` one after the other from the host's pump
    // while the control polls; the line goes off after the last one. The site's records start
    // empty for the first operation.
    void whilePolling(std::vector<std::function<void()>> operations) {
        queue.assign(operations.begin(), operations.end());
        started = false;
        deadline = Clock::now() + std::chrono::seconds(120);
        ASSERT_TRUE(control.setActive(true));
        EXPECT_TRUE(queue.empty()) << "time ran out\n" << history();
        EXPECT_EQ(driver.failure(), 0);
    }

    void pump() override {
        if (!control.Active() || running) {
            return;
        }
        if (Clock::now() > deadline || queue.empty()) {
            (void)control.setActive(false);
            return;
        }
        if (!started) {
            site = sim::RecordingSite{};  // drop the loop's start-up events
            started = true;
        }
        auto operation = std::move(queue.front());
        queue.pop_front();
        running = true;
        operation();
        running = false;
    }

    template <typename F>
    decltype(auto) withUnits(F&& f) {
        return driver.withUnits(std::forward<F>(f));
    }
    SimulatedUnit& unit(UnitSimulator& u, std::uint8_t address) { return *u.unit(address); }
    std::size_t count(UnitEvent::Kind kind) {
        return withUnits([&](UnitSimulator& u) { return u.eventsOf(kind).size(); });
    }

    std::atomic<std::size_t> polls11AtCommand{0};

    std::deque<std::function<void()>> queue;
    bool running = false;
    bool started = false;
    Clock::time_point deadline;
};

TEST_F(UnitPcRequestsOverPty, APush) {
    put(1, "PRG1.WTX", program(300));
    whilePolling({[&] { control.DoPcRequestFileToFerix(1, "PRG1.WTX"); }});
    EXPECT_TRUE(site.errors.empty()) << history();
    withUnits([&](UnitSimulator& u) {
        const MemoryFile* file = unit(u, 1).memory().find("PRG1");
        ASSERT_NE(file, nullptr);
        EXPECT_EQ(file->data, program(300));
        EXPECT_EQ(file->kind, 1);
    });
    EXPECT_EQ(site.memChanged, std::vector<std::uint8_t>{1});
    EXPECT_EQ(site.progress.front(), 0);
    EXPECT_EQ(site.progress.back(), 100);
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].startedBy, comm::TransferStarter::Operator);
    EXPECT_EQ(site.transfers[0].way, comm::TransferWay::ToUnit);
    EXPECT_EQ(site.transfers[0].bytes, program(300));
}

TEST_F(UnitPcRequestsOverPty, APullWithALength) {
    withUnits([&](UnitSimulator& u) { unit(u, 2).memory().store({"PRG2", 1, program(200)}); });
    whilePolling({[&] { control.DoPcRequestFileFromFerix(2, "PRG2", 200); }});
    EXPECT_TRUE(site.errors.empty()) << history();
    EXPECT_EQ(read(2, "PRG2.WTX"), program(200));
    EXPECT_EQ(site.progress, (std::vector<std::uint8_t>{0, 0, 16, 32, 48, 64, 80, 96, 100}));
    EXPECT_EQ(site.dirChanged, std::vector<std::uint8_t>{2});
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].startedBy, comm::TransferStarter::Operator);
    EXPECT_EQ(site.transfers[0].way, comm::TransferWay::FromUnit);
    EXPECT_EQ(site.transfers[0].bytes, program(200));
}

TEST_F(UnitPcRequestsOverPty, ADelete) {
    withUnits([&](UnitSimulator& u) {
        unit(u, 3).memory().store({"OLD", 1, "x"});
        unit(u, 3).memory().store({"KEEP", 1, "y"});
    });
    whilePolling({[&] { control.DoPCRequestRemoveFile(3, "OLD"); }});
    EXPECT_TRUE(site.errors.empty()) << history();
    withUnits([&](UnitSimulator& u) {
        EXPECT_EQ(unit(u, 3).memory().find("OLD"), nullptr);
        EXPECT_NE(unit(u, 3).memory().find("KEEP"), nullptr);
    });
    EXPECT_EQ(site.memChanged, std::vector<std::uint8_t>{3});
}

TEST_F(UnitPcRequestsOverPty, SelectAndTheTapeCommands) {
    withUnits([&](UnitSimulator& u) { unit(u, 1).memory().store({"PRG1", 1, "x"}); });
    const auto activity = [&] {
        return withUnits([&](UnitSimulator& u) { return unit(u, 1).activity(); });
    };
    whilePolling({[&] { control.DoPCRequestFerixSEL(1, "PRG1"); },
                  [&] {
                      control.DoPCRequestFerixSTR(1);
                      EXPECT_EQ(activity(), Activity::ReaderSimulation);
                  },
                  [&] {
                      control.DoPCRequestFerixSTP(1);
                      EXPECT_EQ(activity(), Activity::PuncherSimulation);
                  },
                  [&] {
                      control.DoPCRequestFerixTR(1);
                      EXPECT_EQ(activity(), Activity::ReaderReading);
                  }});
    EXPECT_TRUE(site.errors.empty()) << history();
    EXPECT_EQ(withUnits([&](UnitSimulator& u) { return unit(u, 1).selectedProgram(); }), "PRG1");
    EXPECT_EQ(count(UnitEvent::CommandCarriedOut), 4u);
    EXPECT_TRUE(site.progress.empty());
    EXPECT_TRUE(site.memChanged.empty());
}

class SectionCommandsOverPty : public UnitPcRequestsOverPty,
                               public ::testing::WithParamInterface<std::uint8_t> {};

TEST_P(SectionCommandsOverPty, ShowFifteenStepsAndChangeTheMemory) {
    const std::uint8_t command = GetParam();
    whilePolling({[&] { control.DoPCRequest(2, 4, 0, command, ""); }});
    EXPECT_TRUE(site.errors.empty()) << history();
    EXPECT_EQ(site.progress, kSectionProgress);
    EXPECT_EQ(site.memChanged, std::vector<std::uint8_t>{2});
    withUnits([&](UnitSimulator& u) {
        const UnitMemory& memory = unit(u, 2).memory();
        if (command <= 7) {
            EXPECT_EQ(memory.currentSection(), command - 3);
        }
        EXPECT_EQ(memory.joined(), command == 8);
        const auto done = u.eventsOf(UnitEvent::CommandCarriedOut);
        ASSERT_EQ(done.size(), 1u);
        EXPECT_EQ(done[0].value, command);
    });
}

// Each takes its fifteen seconds of real time: over the pseudo-terminal a section select and
// the join suffice; every command runs on virtual time in the request tests.
INSTANTIATE_TEST_SUITE_P(SectionsJoinAndReset, SectionCommandsOverPty, ::testing::Values(5, 8));

TEST_F(UnitPcRequestsOverPty, APurge) {
    withUnits([&](UnitSimulator& u) {
        unit(u, 1).memory().store(2, {"P", 1, "x"});
        unit(u, 1).memory().joinSections();
    });
    std::size_t polls11AtEnd = 0;
    whilePolling({[&] {
        control.DoPCRequestFerixNul(1);
        polls11AtEnd = withUnits([](UnitSimulator& u) { return u.pollsOf(11); });
    }});
    EXPECT_TRUE(site.errors.empty()) << history();
    EXPECT_EQ(site.progress, (std::vector<std::uint8_t>{0, 20, 40, 60, 80, 100}));
    EXPECT_EQ(polls11AtEnd - polls11AtCommand, 5u);
    EXPECT_EQ(site.memChanged, std::vector<std::uint8_t>{1});
    withUnits([&](UnitSimulator& u) {
        EXPECT_TRUE(unit(u, 1).memory().files(2).empty());
        EXPECT_FALSE(unit(u, 1).memory().joined());
    });
}

TEST_F(UnitPcRequestsOverPty, TheBinaryMemoryList) {
    withUnits([&](UnitSimulator& u) {
        UnitMemory& memory = unit(u, 2).memory();
        memory.setCapacity(50000);
        memory.selectSection(3);
        memory.store({"42", 1, std::string(40, '4')});
        memory.store({"SHAFT", 1, std::string(1000, 's')});
    });
    ASSERT_TRUE(control.setPrefix(2, "PPG"));
    comm::MemoryList list;
    whilePolling({[&] { list = control.FerixLst(2); }});
    EXPECT_TRUE(site.errors.empty()) << history();
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.freeMemory, 50000.0 - 1040);
    EXPECT_EQ(list.section, 3);
    EXPECT_EQ(list.entries, (std::vector<comm::MemoryListEntry>{{"PPG42", 40}, {"SHAFT", 1000}}));
    EXPECT_FALSE(fs::exists(home / "Ferix2" / "$$$$$DIR.LST"));
}

TEST_F(UnitPcRequestsOverPty, TheShortAnswer) {
    withUnits([&](UnitSimulator& u) {
        unit(u, 3).setListingForm(ListingForm::ShortAnswer);
        unit(u, 3).memory().store({"GEAR", 1, std::string(321, 'g')});
        unit(u, 3).memory().store({"FLANGE", 0, std::string(54, 'f')});
    });
    control.setF4COPYTimeout(500);
    comm::MemoryList list;
    whilePolling({[&] { list = control.FerixLst(3); }});
    EXPECT_TRUE(site.errors.empty()) << history();
    EXPECT_EQ(list.count, 2);
    EXPECT_EQ(list.freeMemory, 262144.0);
    EXPECT_EQ(list.section, 0);
    EXPECT_EQ(list.entries, (std::vector<comm::MemoryListEntry>{{"FLANGE", 54}, {"GEAR", 321}}));
    EXPECT_EQ(withUnits([&](UnitSimulator& u) { return unit(u, 3).activity(); }),
              Activity::ReaderSimulation)
        << "the unit was sent STR";
    EXPECT_FALSE(fs::exists(home / "Ferix3" / "DIR.STX"));
}

TEST_F(UnitPcRequestsOverPty, AUnitThatIsNotConnected) {
    withUnits([](UnitSimulator& u) { u.addUnit(4).memory().store({"P", 1, "x"}); });
    comm::MemoryList list;
    whilePolling({[&] { list = control.FerixLst(4); }, [&] { control.DoPCRequestFerixSTR(4); }});
    EXPECT_EQ(list.count, -1);
    ASSERT_EQ(site.errors.size(), 2u) << history();
    EXPECT_EQ(site.errors[0].description,
              "Ferix Memory List Request Processing Error (Ferix is not Connected to DNC "
              "Network)");
    EXPECT_FALSE(site.errors[0].reqSidePC);
    EXPECT_EQ(site.errors[1].description,
              "Error while Transferring Command to Ferix (Block could not be Transferred to "
              "Ferix (Ferix is not Connected to DNC Network))");
    EXPECT_TRUE(site.errors[1].reqSidePC);
    EXPECT_EQ(withUnits([](UnitSimulator& u) { return u.events().size(); }), 0u)
        << "nothing but polls reached the unit";
}

TEST_F(UnitPcRequestsOverPty, ARefusedCommand) {
    withUnits([&](UnitSimulator& u) { unit(u, 2).setRefuseCommands(true); });
    whilePolling({[&] { control.DoPCRequestFerixSek4(2); }});
    ASSERT_EQ(site.errors.size(), 1u) << history();
    EXPECT_EQ(site.errors[0].description, kNotDelivered);
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_TRUE(site.progress.empty());
    EXPECT_TRUE(site.memChanged.empty());
    EXPECT_EQ(withUnits([&](UnitSimulator& u) { return unit(u, 2).memory().currentSection(); }), 1);
    EXPECT_EQ(count(UnitEvent::PcRequestRefused), 4u) << "one refusal per try";
}

}  // namespace
