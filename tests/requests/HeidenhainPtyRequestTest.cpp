// The operator's requests on Heidenhain and Tavro1 lines, end to end over a pseudo-terminal
// pair: the control with wall-clock time on the terminal end, the simulated machine control on
// the master end in a thread of its own. Each request runs as a host runs it: queued on the
// host's thread and taken up by the pump of the control's running service loop.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <deque>
#include <filesystem>
#include <functional>
#include <set>
#include <thread>

#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/heidenhain/HeidenhainMachine.h"
#include "sim/heidenhain/link/FdPeerLink.h"
#include "sim/pty/PtyPair.h"
#include "tests/heidenhain/UnitDirectory.h"

namespace {

using namespace std::chrono_literals;
using Stops = std::vector<std::pair<bool, std::uint8_t>>;

constexpr const char* kSpeed = "9600";
constexpr const char* kNotAcknowledged = "Request receipt not acknowledged.";
constexpr const char* kNotAccepted = "Request not accepted (timeout).";

// A program of about `size` bytes in numbered lines, each ended by CR LF.
std::string program(std::size_t size, char axis = 'X') {
    std::string text;
    for (int i = 0; text.size() < size; ++i) {
        text +=
            "N" + std::to_string(i * 10) + " G01 " + axis + std::to_string(i % 97) + ".25 F150\r\n";
    }
    return text;
}

std::set<std::string> filesIn(const std::filesystem::path& directory) {
    std::set<std::string> names;
    for (const auto& entry : std::filesystem::directory_iterator(directory)) {
        names.insert(entry.path().filename().string());
    }
    return names;
}

struct LineCase {
    comm::ProtocolEnum protocol;
    bool master;  // HeidenhainMaster of the PC, and the machine's matching setting
};

void PrintTo(const LineCase& line, std::ostream* out) {
    *out << (line.protocol == comm::ProtTavro1 ? "Tavro1" : "Heidenhain")
         << (line.master ? " master" : " not master");
}

std::string caseName(const ::testing::TestParamInfo<LineCase>& info) {
    return std::string(info.param.protocol == comm::ProtTavro1 ? "Tavro1" : "Heidenhain") +
           (info.param.master ? "Master" : "NotMaster");
}

class HeidenhainPtyRequest : public ::testing::TestWithParam<LineCase> {
protected:
    HeidenhainPtyRequest() {
        loc::selectLanguage(loc::kEnglish);
        control.setPortDevices([this](int) { return pty.devicePath(); });
        control.setFerixHomeDir(dir.homeDir());
        EXPECT_TRUE(control.setFerixDir(1, UnitDirectory::unitDir()));
        EXPECT_TRUE(control.setCommSpeed(kSpeed));
        EXPECT_TRUE(control.setProtocol(GetParam().protocol));
        control.setHeidenhainMaster(GetParam().master);
    }
    ~HeidenhainPtyRequest() override {
        if (machineThread.joinable()) {
            peer.requestStop();
            machineThread.join();
        }
    }

    bool tavro1() const { return GetParam().protocol == comm::ProtTavro1; }
    // The command letters of the PC's headers: data towards the machine, towards the PC.
    char towardsMachine() const { return GetParam().master ? 'E' : 'A'; }
    char towardsPc() const { return GetParam().master ? 'A' : 'E'; }

    sim::MachineSettings machineSettings() const {
        sim::MachineSettings settings;
        settings.pcIsMaster = GetParam().master;
        // Tavro1 with HeidenhainCRLF (the default) carries the program's bytes as they are.
        settings.keepLineEnds = tavro1();
        return settings;
    }

    // The machine answers on its own thread from here on; set its memory and faults before.
    void startMachine() {
        machineThread = std::thread([this] {
            peer.runUntil(
                [this] {
                    headersHeard = machine.pcHeaders().size();
                    bytesHeard = machine.heard().size();
                    return finishing && !machine.busy();
                },
                120s);
        });
    }
    // Lets the machine end what it is doing; its state may be read afterwards.
    void stopMachine() {
        finishing = true;
        machineThread.join();
    }

    // Switches the line on and runs `request` from inside the service loop, then switches off.
    void runInServiceLoop(std::function<void()> request) {
        bool ran = false;
        queued.push_back([this, &ran, request = std::move(request)] {
            // A Tavro1 loop tells of the machine's memory as it starts; that is not the request's.
            site.memChanged.clear();
            request();
            ran = true;
            EXPECT_TRUE(control.setActive(false));
        });
        ASSERT_TRUE(control.setActive(true));
        EXPECT_TRUE(ran);
        stopMachine();
    }

    // The host's message loop: runs what is queued, each operation once, even when an
    // operation pumps again while it runs.
    void pump() {
        if (onPump) {
            onPump();
        }
        if (!queued.empty()) {
            std::function<void()> next = std::move(queued.front());
            queued.pop_front();
            next();
        }
    }

    std::vector<std::string> errorTexts() const {
        std::vector<std::string> texts;
        for (const auto& e : site.errors) {
            texts.push_back(e.description);
        }
        return texts;
    }
    std::string machineHistory() const {
        std::string text;
        for (const auto& r : machine.records()) {
            text += r.action + " " + r.name + (r.ok ? " ok" : " failed: " + r.detail) + "\n";
        }
        return text;
    }

    sim::PtyPair pty;
    UnitDirectory dir;
    sim::RecordingSite site;
    std::deque<std::function<void()>> queued;
    std::function<void()> onPump;
    comm::RealHost host{[this] { pump(); }};
    comm::ctrlFerixComm control{host, site};
    sim::FdPeerLink peer{pty.masterFd()};
    sim::HeidenhainMachine machine{peer, machineSettings()};
    std::atomic<std::size_t> headersHeard = 0;
    std::atomic<std::size_t> bytesHeard = 0;
    std::atomic<bool> finishing = false;
    std::thread machineThread;
};

// Transfers.

TEST_P(HeidenhainPtyRequest, APushedProgramArrivesWhole) {
    const std::string text = program(1200);
    dir.write("P1.H", text);
    startMachine();
    runInServiceLoop([&] { control.DoPcRequestFileToFerix(1, "P1.H"); });

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(machine.programs()["P1.H"], text) << machineHistory();
    EXPECT_EQ(machine.pcHeaders(),
              (std::vector<sim::PcHeader>{{'N', "P1.H", towardsMachine(), true}}));
    EXPECT_EQ(site.stops, (Stops{{true, 0}, {false, 0}}));
    ASSERT_FALSE(site.progress.empty());
    EXPECT_EQ(site.progress.back(), 100);
    // Only Tavro1 tells the host that the machine's memory changed.
    EXPECT_EQ(site.memChanged,
              tavro1() ? std::vector<std::uint8_t>{1} : std::vector<std::uint8_t>{});
    EXPECT_EQ(dir.read("P1.H"), text) << "the PC's file is left as it was";
}

TEST_P(HeidenhainPtyRequest, APulledProgramReplacesTheOldFileWithProgress) {
    const std::string text = program(1500, 'Z');
    machine.programs()["P2.H"] = text;
    dir.write("P2.H", "an older version\r\n");
    startMachine();
    runInServiceLoop([&] {
        control.DoPcRequestFileFromFerix(1, "P2.H", static_cast<std::int32_t>(text.size()));
    });

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(dir.read("P2.H"), text);
    EXPECT_EQ(machine.pcHeaders(), (std::vector<sim::PcHeader>{{'N', "P2.H", towardsPc(), true}}));
    ASSERT_FALSE(machine.records().empty());
    EXPECT_TRUE(machine.records().back().ok) << machineHistory();
    EXPECT_EQ(site.dirChanged, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(site.stops, (Stops{{true, 1}, {false, 1}}));
    // With the length given, progress runs from 0 to 100 without going back.
    ASSERT_GE(site.progress.size(), 3u);
    EXPECT_EQ(site.progress.front(), 0);
    EXPECT_EQ(site.progress.back(), 100);
    EXPECT_TRUE(std::is_sorted(site.progress.begin(), site.progress.end()));
    EXPECT_TRUE(std::any_of(site.progress.begin(), site.progress.end(),
                            [](std::uint8_t p) { return p > 0 && p < 100; }));
}

TEST_P(HeidenhainPtyRequest, AProgramTheMachineLacksLeavesTheOldFile) {
    dir.write("GONE.H", "kept\r\n");
    startMachine();
    runInServiceLoop([&] { control.DoPcRequestFileFromFerix(1, "GONE.H", 0); });

    EXPECT_EQ(errorTexts(), (std::vector<std::string>{"Transfer interrupted."}));
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_EQ(dir.read("GONE.H"), "kept\r\n");
    EXPECT_TRUE(site.dirChanged.empty());
    EXPECT_EQ(site.stops, (Stops{{true, 1}, {false, 1}}));
}

TEST_P(HeidenhainPtyRequest, AStoppedPullKeepsTheOldFile) {
    machine.programs()["P2.H"] = program(3000);
    dir.write("P2.H", "the old version\r\n");
    // Stop once the PC has taken a block. Judged on the PC's side: the machine's thread may
    // lag behind on a busy machine, and the whole program would be in before it told.
    onPump = [this] {
        if (control.TransferBusy() && !site.progress.empty() && site.progress.back() > 0) {
            control.StopTransfer();
        }
    };
    startMachine();
    runInServiceLoop([&] { control.DoPcRequestFileFromFerix(1, "P2.H", 3000); });

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(dir.read("P2.H"), "the old version\r\n");
    EXPECT_EQ(filesIn(dir.home() / "Ferix1"), std::set<std::string>{"P2.H"}) << "no part file";
    EXPECT_EQ(site.stops, (Stops{{true, 1}, {false, 1}}));
    ASSERT_FALSE(machine.records().empty());
    EXPECT_FALSE(machine.records().back().ok) << "the machine learns that the PC broke off";
}

TEST_P(HeidenhainPtyRequest, AStoppedPushLeavesNoProgramAtTheMachine) {
    dir.write("P1.H", program(3000));
    onPump = [this] {
        if (control.TransferBusy() && bytesHeard > 200) {
            control.StopTransfer();
        }
    };
    startMachine();
    runInServiceLoop([&] { control.DoPcRequestFileToFerix(1, "P1.H"); });

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_FALSE(machine.programs().contains("P1.H"));
    ASSERT_FALSE(machine.records().empty());
    EXPECT_EQ(machine.records().back().detail, "the PC interrupted the transfer");
    EXPECT_EQ(site.stops, (Stops{{true, 0}, {false, 0}}));
}

// The header exchange.

TEST_P(HeidenhainPtyRequest, AHeaderRefusedFourTimesIsReported) {
    machine.faults().refusePcHeaders = sim::MachineFaults::kRefuseAlways;
    dir.write("P1.H", program(300));
    startMachine();
    runInServiceLoop([&] { control.DoPcRequestFileToFerix(1, "P1.H"); });

    EXPECT_EQ(errorTexts(), (std::vector<std::string>{kNotAcknowledged}));
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_EQ(machine.pcHeaders().size(), 4u) << "four tries, no fifth";
    EXPECT_FALSE(machine.programs().contains("P1.H"));
    EXPECT_EQ(site.stops, (Stops{{true, 0}, {false, 0}}));
    EXPECT_TRUE(site.memChanged.empty());
}

TEST_P(HeidenhainPtyRequest, AHeaderRefusedTwiceGoesThroughOnTheThirdTry) {
    machine.faults().refusePcHeaders = 2;
    const std::string text = program(400);
    dir.write("P3.H", text);
    startMachine();
    runInServiceLoop([&] { control.DoPcRequestFileToFerix(1, "P3.H"); });

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(machine.pcHeaders().size(), 3u);
    EXPECT_EQ(machine.programs()["P3.H"], text) << machineHistory();
}

TEST_P(HeidenhainPtyRequest, AStrangeAnswerToTheHeaderIsReported) {
    machine.faults().pcHeaderAnswer = '?';
    machine.programs()["P4.H"] = program(300);
    dir.write("P4.H", "kept\r\n");
    startMachine();
    runInServiceLoop([&] { control.DoPcRequestFileFromFerix(1, "P4.H", 0); });

    EXPECT_EQ(errorTexts(), (std::vector<std::string>{kNotAcknowledged}));
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_EQ(machine.pcHeaders().size(), 1u) << "no second try after a strange answer";
    EXPECT_EQ(dir.read("P4.H"), "kept\r\n");
    EXPECT_EQ(site.stops, (Stops{{true, 1}, {false, 1}}));
}

TEST_P(HeidenhainPtyRequest, AStopDuringTheHeaderWaitEndsQuietly) {
    machine.faults().silentToPcHeaders = true;
    dir.write("P1.H", program(300));
    // The operator presses stop once the machine has the header and keeps silent.
    onPump = [this] {
        if (control.TransferBusy() && headersHeard > 0) {
            control.StopTransfer();
        }
    };
    startMachine();
    runInServiceLoop([&] { control.DoPcRequestFileToFerix(1, "P1.H"); });

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(machine.pcHeaders().size(), 1u) << "a stop is no reason to send again";
    EXPECT_EQ(site.stops, (Stops{{true, 0}, {false, 0}}));
    EXPECT_TRUE(site.memChanged.empty());
    EXPECT_FALSE(machine.programs().contains("P1.H"));
}

TEST_P(HeidenhainPtyRequest, RequestsOfTheFamilyRunOneAtATime) {
    const std::string text = program(600);
    dir.write("P1.H", text);
    dir.write("P9.H", "never asked for\r\n");
    // A second request arrives while the first is running: it is dropped without notice.
    bool secondTried = false;
    onPump = [&] {
        if (control.TransferBusy() && !secondTried && headersHeard > 0) {
            secondTried = true;
            control.DoPcRequestFileToFerix(1, "P9.H");
        }
    };
    startMachine();
    runInServiceLoop([&] { control.DoPcRequestFileToFerix(1, "P1.H"); });

    EXPECT_TRUE(secondTried);
    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(machine.pcHeaders().size(), 1u);
    EXPECT_EQ(machine.programs()["P1.H"], text);
    EXPECT_FALSE(machine.programs().contains("P9.H"));
}

INSTANTIATE_TEST_SUITE_P(Lines, HeidenhainPtyRequest,
                         ::testing::Values(LineCase{comm::ProtHeidenhain, true},
                                           LineCase{comm::ProtHeidenhain, false},
                                           LineCase{comm::ProtTavro1, true},
                                           LineCase{comm::ProtTavro1, false}),
                         caseName);

// A machine that never answers: the PC gives up after its wait. Each run waits ten seconds, so
// one case per protocol, with the master setting changed between them.
using SilentMachine = HeidenhainPtyRequest;

TEST_P(SilentMachine, TheRequestIsNotAcceptedAfterTheWait) {
    machine.faults().silentToPcHeaders = true;
    machine.programs()["P5.H"] = program(300);
    startMachine();
    runInServiceLoop([&] { control.DoPcRequestFileFromFerix(1, "P5.H", 0); });

    EXPECT_EQ(errorTexts(), (std::vector<std::string>{kNotAccepted}));
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_EQ(machine.pcHeaders().size(), 1u) << "silence is not answered by a second try";
    EXPECT_FALSE(dir.exists("P5.H"));
    EXPECT_EQ(site.stops, (Stops{{true, 1}, {false, 1}}));
}

INSTANTIATE_TEST_SUITE_P(Lines, SilentMachine,
                         ::testing::Values(LineCase{comm::ProtHeidenhain, true},
                                           LineCase{comm::ProtTavro1, false}),
                         caseName);

// Delete and memory list: Tavro1 only.
using Tavro1PtyRequest = HeidenhainPtyRequest;

TEST_P(Tavro1PtyRequest, DeleteRemovesTheProgramFromTheMachine) {
    machine.programs()["OLD.T"] = "M30\r\n";
    machine.programs()["KEEP.T"] = "M30\r\n";
    dir.write("OLD.T", "the PC's copy\r\n");
    startMachine();
    runInServiceLoop([&] { control.DoPCRequestRemoveFile(1, "OLD.T"); });

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(machine.pcHeaders(), (std::vector<sim::PcHeader>{{'N', "OLD.T", 'D', true}}));
    EXPECT_FALSE(machine.programs().contains("OLD.T"));
    EXPECT_TRUE(machine.programs().contains("KEEP.T"));
    EXPECT_EQ(site.memChanged, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(site.stops, (Stops{{true, 0}, {false, 0}}));
    EXPECT_EQ(dir.read("OLD.T"), "the PC's copy\r\n") << "only the machine's program goes";
}

TEST_P(Tavro1PtyRequest, MemoryListGivesCountNamesAndSizes) {
    const std::string big = program(700);
    machine.programs()["A.T"] = "12345";
    machine.programs()["B.T"] = big;
    machine.programs()["C.T"] = "";
    // A program of the unit directory that happens to bear the listing's name, and others.
    dir.write("$$$$$DIR", "a program, not a listing\r\n");
    dir.write("P1.T", "M30\r\n");
    const std::set<std::string> before = filesIn(dir.home() / "Ferix1");
    startMachine();
    comm::MemoryList list;
    runInServiceLoop([&] { list = control.FerixLst(7); });  // the unit given is not used

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(machine.pcHeaders(),
              (std::vector<sim::PcHeader>{{'n', "$$$$$DIR", towardsPc(), true}}));
    EXPECT_EQ(list.kind, comm::MemoryList::Kind::List);
    EXPECT_EQ(list.count, 3);
    EXPECT_EQ(list.freeMemory, 0.0);
    EXPECT_EQ(list.section, 0);
    const std::vector<comm::MemoryListEntry> expected = {
        {"A.T", 5}, {"B.T", static_cast<double>(big.size())}, {"C.T", 0}};
    EXPECT_EQ(list.entries, expected);
    // The listing never lands in the unit directory.
    EXPECT_EQ(filesIn(dir.home() / "Ferix1"), before);
    EXPECT_EQ(dir.read("$$$$$DIR"), "a program, not a listing\r\n");
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_P(Tavro1PtyRequest, MemoryListOfAnEmptyMachine) {
    startMachine();
    comm::MemoryList list;
    runInServiceLoop([&] { list = control.FerixLst(1); });

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(list.count, 0);
    EXPECT_TRUE(list.entries.empty());
    EXPECT_TRUE(filesIn(dir.home() / "Ferix1").empty());
}

TEST_P(Tavro1PtyRequest, ARefusedMemoryListIsUnreadableAndReportedAsTheListsFailure) {
    machine.faults().refusePcHeaders = sim::MachineFaults::kRefuseAlways;
    machine.programs()["A.T"] = "12345";
    startMachine();
    comm::MemoryList list;
    runInServiceLoop([&] { list = control.FerixLst(1); });

    EXPECT_EQ(errorTexts(), (std::vector<std::string>{kNotAcknowledged}));
    EXPECT_FALSE(site.errors[0].reqSidePC) << "the memory list is no operator's transfer";
    EXPECT_EQ(list.count, -1);
    EXPECT_TRUE(list.entries.empty());
    EXPECT_EQ(machine.pcHeaders().size(), 4u);
}

TEST_P(Tavro1PtyRequest, AStoppedMemoryListIsUnreadableNotEmpty) {
    for (int i = 0; i < 200; ++i) {
        machine.programs()["PROGRAM" + std::to_string(i) + ".T"] = program(50 + i);
    }
    // The operator stops once the PC has answered the first block of the listing: the
    // machine then has heard more than the 13 bytes of the header. The machine's pause before
    // each block lets the PC's loop run in between (an instant machine keeps it reading), and
    // the machine counts what it heard before it sends on.
    machine.settings().blockPause = 20ms;
    onPump = [this] {
        if (control.TransferBusy() && bytesHeard > 13) {
            control.StopTransfer();
        }
    };
    startMachine();
    comm::MemoryList list;
    runInServiceLoop([&] { list = control.FerixLst(1); });

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(list.count, -1) << "a cut listing would show a machine without programs";
    EXPECT_TRUE(list.entries.empty());
    EXPECT_EQ(site.stops, (Stops{{true, 1}, {false, 1}}));
    ASSERT_FALSE(machine.records().empty());
    EXPECT_FALSE(machine.records().back().ok) << "the machine learns that the PC broke off";
    EXPECT_TRUE(filesIn(dir.home() / "Ferix1").empty());
}

INSTANTIATE_TEST_SUITE_P(Lines, Tavro1PtyRequest,
                         ::testing::Values(LineCase{comm::ProtTavro1, true},
                                           LineCase{comm::ProtTavro1, false}),
                         caseName);

// Heidenhain keeps no memory list and knows no delete: nothing goes on the line.
using HeidenhainOnlyPtyRequest = HeidenhainPtyRequest;

TEST_P(HeidenhainOnlyPtyRequest, NoMemoryListAndNoDelete) {
    machine.programs()["OLD.H"] = "M30\r\n";
    startMachine();
    comm::MemoryList list;
    runInServiceLoop([&] {
        list = control.FerixLst(1);
        control.DoPCRequestRemoveFile(1, "OLD.H");
    });

    EXPECT_EQ(list.kind, comm::MemoryList::Kind::NotSupported);
    EXPECT_EQ(list.count, -2);
    EXPECT_EQ(errorTexts(), (std::vector<std::string>{"Action not supported for given protocol."}));
    EXPECT_TRUE(machine.heard().empty());
    EXPECT_TRUE(machine.programs().contains("OLD.H"));
}

INSTANTIATE_TEST_SUITE_P(Lines, HeidenhainOnlyPtyRequest,
                         ::testing::Values(LineCase{comm::ProtHeidenhain, true}), caseName);

}  // namespace
