// End to end over a pseudo-terminal pair: the control on the terminal end with wall-clock time,
// the simulated machine (tape puncher and reader, Heidenhain/Tavro1 control) on the master end
// in a thread of its own. Every protocol in both directions, the listing and the delete.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <thread>

#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "comm/plain/PlainReceiver.h"
#include "comm/plain/PlainSender.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/heidenhain/HeidenhainMachine.h"
#include "sim/heidenhain/link/FdPeerLink.h"
#include "sim/pty/PtyPair.h"
#include "sim/tape/TapePuncher.h"
#include "sim/tape/TapeReader.h"
#include "tests/heidenhain/UnitDirectory.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

// A program of about `size` bytes in lines ended by CR LF.
std::string program(std::size_t size) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) {
        text += "N" + std::to_string(i * 10) + " G01 X" + std::to_string(i % 113) + ".5 F200\r\n";
    }
    return text;
}

class PtyEndToEnd : public ::testing::Test {
protected:
    PtyEndToEnd() {
        loc::selectLanguage(loc::kEnglish);
        control.setPortDevices([this](int) { return pty.devicePath(); });
        control.setFerixHomeDir(dir.homeDir());
        EXPECT_TRUE(control.setFerixDir(1, UnitDirectory::unitDir()));
        EXPECT_TRUE(control.setCommSpeed("38400"));
    }
    ~PtyEndToEnd() override {
        if (machineThread.joinable()) {
            peer.requestStop();
            machineThread.join();
        }
    }

    // Runs `machineWork` on the machine's thread once the control listens (its first pump).
    void startMachine(std::function<void()> machineWork) {
        machineThread = std::thread([this, work = std::move(machineWork)] {
            peer.runUntil([this] { return lineUp.load(); }, 10s);
            work();
            machineDone = true;
        });
    }

    // The service loop runs until the machine's work is done.
    void serveUntilMachineDone(comm::ProtocolEnum protocol) {
        ASSERT_TRUE(control.setProtocol(protocol));
        onPump = [this] {
            if (machineDone && control.Active()) {
                ASSERT_TRUE(control.setActive(false));
            }
        };
        ASSERT_TRUE(control.setActive(true));
        machineThread.join();
    }

    // The machine fetches a program of about `size` bytes / sends one, served by the line.
    void machineFetchesAProgram(std::size_t size) {
        const std::string text = program(size);
        dir.write("P1.H", text);
        sim::HeidenhainMachine machine(peer);
        startMachine([&] {
            machine.requestFile("P1.H");
            peer.runUntil([&] { return !machine.busy(); }, 30s);
        });
        serveUntilMachineDone(comm::ProtHeidenhain);
        ASSERT_FALSE(machine.records().empty());
        EXPECT_TRUE(machine.records().back().ok) << machine.records().back().detail;
        EXPECT_EQ(machine.programs()["P1.H"], text);
        EXPECT_TRUE(site.errors.empty());
        ASSERT_EQ(site.transfers.size(), 1u);
        EXPECT_EQ(site.transfers[0].way, comm::TransferWay::ToUnit);
        EXPECT_EQ(site.transfers[0].name, "P1.H");
        EXPECT_EQ(site.transfers[0].bytes, text);
        EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Done);
    }
    void machineSendsAProgram(std::size_t size) {
        const std::string text = program(size);
        sim::HeidenhainMachine machine(peer);
        machine.programs()["P2.H"] = text;
        startMachine([&] {
            machine.sendFile("P2.H");
            peer.runUntil([&] { return !machine.busy(); }, 30s);
        });
        serveUntilMachineDone(comm::ProtHeidenhain);
        ASSERT_FALSE(machine.records().empty());
        EXPECT_TRUE(machine.records().back().ok) << machine.records().back().detail;
        EXPECT_EQ(dir.read("P2.H"), text);
        EXPECT_EQ(site.dirChanged, (std::vector<std::uint8_t>{1}));
        ASSERT_EQ(site.transfers.size(), 1u);
        EXPECT_EQ(site.transfers[0].way, comm::TransferWay::FromUnit);
        EXPECT_EQ(site.transfers[0].bytes, text);
        EXPECT_TRUE(site.transfers[0].stored);
    }

    void onHostPump() {
        lineUp = true;
        if (onPump) {
            onPump();
        }
    }

    sim::PtyPair pty;
    UnitDirectory dir;
    std::atomic<bool> lineUp = false;
    std::atomic<bool> machineDone = false;
    std::function<void()> onPump;
    comm::RealHost host{[this] { onHostPump(); }};
    sim::RecordingSite site;
    comm::ctrlFerixComm control{host, site};
    sim::FdPeerLink peer{pty.masterFd()};
    std::thread machineThread;
};

// Plain lines.

TEST_F(PtyEndToEnd, PlainSendArrivesWholeAtThePuncher) {
    const std::string text = program(3000);
    dir.write("P1", text);
    ASSERT_TRUE(control.setProtocol(comm::ProtNone));
    ASSERT_TRUE(control.setActive(true));
    sim::TapePuncher puncher(peer, false);
    startMachine(
        [&] { peer.runUntil([&] { return puncher.punched().size() >= text.size(); }, 20s); });
    ASSERT_TRUE(comm::plain::PlainSender(control).send(dir.path("P1"), false));
    machineThread.join();
    EXPECT_EQ(puncher.punched(), text);
    EXPECT_EQ(site.prompts.size(), 1u);
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].name, "P1");
    EXPECT_EQ(site.transfers[0].bytes, text);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Done);
}

TEST_F(PtyEndToEnd, PlainSendWithEndOfFile) {
    const std::string text = program(2000);
    dir.write("P1", text);
    ASSERT_TRUE(control.setProtocol(comm::ProtNoneEOF));
    ASSERT_TRUE(control.setActive(true));
    sim::TapePuncher puncher(peer, true);
    startMachine([&] { peer.runUntil([&] { return puncher.ended(); }, 20s); });
    ASSERT_TRUE(comm::plain::PlainSender(control).send(dir.path("P1"), true));
    machineThread.join();
    EXPECT_TRUE(puncher.ended());
    EXPECT_EQ(puncher.punched(), text);
}

TEST_F(PtyEndToEnd, PlainReceiveWithEndOfFileFromTheReader) {
    const std::string text = program(2500);
    ASSERT_TRUE(control.setProtocol(comm::ProtNoneEOF));
    ASSERT_TRUE(control.setActive(true));
    sim::TapeReader reader(peer);
    startMachine([&] {
        reader.read({text, true, 300, 20ms});
        peer.runUntil([&] { return reader.done(); }, 20s);
    });
    ASSERT_TRUE(comm::plain::PlainReceiver(control).receive(dir.path("IN"), true));
    machineThread.join();
    EXPECT_EQ(dir.read("IN"), text);
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].way, comm::TransferWay::FromUnit);
    EXPECT_EQ(site.transfers[0].bytes, text);
    EXPECT_TRUE(site.transfers[0].stored);
}

TEST_F(PtyEndToEnd, PlainReceiveWithoutEndOfFileEndsWhenTheOperatorStops) {
    const std::string text = program(2500);
    ASSERT_TRUE(control.setProtocol(comm::ProtNone));
    ASSERT_TRUE(control.setActive(true));
    sim::TapeReader reader(peer);
    std::atomic<bool> readerDone = false;
    startMachine([&] {
        reader.read({text, false, 500, 10ms});
        peer.runUntil([&] { return reader.done(); }, 20s);
        readerDone = true;
    });
    // The operator stops once the tape has run out and the control has taken every byte.
    Clock::time_point quietSince{};
    onPump = [&] {
        if (!readerDone || control.link().bytesWaiting() > 0) {
            quietSince = {};
        } else if (quietSince == Clock::time_point{}) {
            quietSince = Clock::now();
        } else if (Clock::now() - quietSince > 300ms) {
            control.StopTransfer();
        }
    };
    ASSERT_TRUE(comm::plain::PlainReceiver(control).receive(dir.path("IN"), false));
    machineThread.join();
    EXPECT_EQ(dir.read("IN"), text);
    ASSERT_EQ(site.transfers.size(), 1u);
    EXPECT_EQ(site.transfers[0].outcome, comm::TransferOutcome::Done)
        << "without an end-of-file character the stop is how a reception ends";
    EXPECT_EQ(site.transfers[0].bytes, text);
}

// Heidenhain and Tavro1 lines: the machine's own requests served by the service loop.

TEST_F(PtyEndToEnd, HeidenhainMachineFetchesAProgram) {
    machineFetchesAProgram(4000);
}

TEST_F(PtyEndToEnd, HeidenhainMachineSendsAProgram) {
    machineSendsAProgram(4000);
}

// The framing these controls demand, 7 data bits, even parity and 2 stop bits, on a device that
// keeps 8 bits without parity.
class PtyEndToEndSevenEvenTwo : public PtyEndToEnd {
protected:
    PtyEndToEndSevenEvenTwo() {
        EXPECT_TRUE(control.setCommSpeed("115200"));
        EXPECT_TRUE(control.setCommDataBit("7"));
        EXPECT_TRUE(control.setCommParity("E"));
        EXPECT_TRUE(control.setCommStopBit("2"));
    }
};

TEST_F(PtyEndToEndSevenEvenTwo, HeidenhainMachineFetchesAProgram) {
    machineFetchesAProgram(6000);
}

TEST_F(PtyEndToEndSevenEvenTwo, HeidenhainMachineSendsAProgram) {
    machineSendsAProgram(5000);
}

TEST_F(PtyEndToEnd, Tavro1MachineFetchesAProgramInPiecesWithCrLf) {
    const std::string text = program(4000) + "no line end at the end";
    dir.write("P1.T", text);
    sim::HeidenhainMachine machine(peer, {.keepLineEnds = true});
    startMachine([&] {
        machine.requestFile("P1.T");
        peer.runUntil([&] { return !machine.busy(); }, 30s);
    });
    serveUntilMachineDone(comm::ProtTavro1);
    ASSERT_FALSE(machine.records().empty());
    EXPECT_TRUE(machine.records().back().ok) << machine.records().back().detail;
    EXPECT_EQ(machine.programs()["P1.T"], text);
}

TEST_F(PtyEndToEnd, Tavro1MachineSendsAProgram) {
    const std::string text = program(4000);
    sim::HeidenhainMachine machine(peer, {.keepLineEnds = true});
    machine.programs()["P2.T"] = text;
    machine.faults().badCheckOnce = {3};
    startMachine([&] {
        machine.sendFile("P2.T");
        peer.runUntil([&] { return !machine.busy(); }, 30s);
    });
    serveUntilMachineDone(comm::ProtTavro1);
    ASSERT_FALSE(machine.records().empty());
    EXPECT_TRUE(machine.records().back().ok) << machine.records().back().detail;
    EXPECT_EQ(dir.read("P2.T"), text);
}

TEST_F(PtyEndToEnd, Tavro1ListingRequest) {
    dir.write("A.T", "12345");
    dir.write("B.T", program(1000));
    sim::HeidenhainMachine machine(peer, {.keepLineEnds = true});
    startMachine([&] {
        machine.requestListing("$$$$$DIR", 'n');
        peer.runUntil([&] { return !machine.busy(); }, 30s);
    });
    serveUntilMachineDone(comm::ProtTavro1);
    ASSERT_TRUE(machine.listings().contains("$$$$$DIR"));
    EXPECT_EQ(machine.listings().at("$$$$$DIR"),
              "A.T 5\r\nB.T " + std::to_string(program(1000).size()) + "\r\n");
    EXPECT_FALSE(dir.exists("$$$$$DIR")) << "no listing file is left behind";
    EXPECT_TRUE(site.transfers.empty()) << "a listing is no program";
}

TEST_F(PtyEndToEnd, Tavro1Delete) {
    dir.write("OLD.T", "M30\r\n");
    dir.write("KEEP.T", "M30\r\n");
    sim::HeidenhainMachine machine(peer, {.keepLineEnds = true});
    startMachine([&] {
        machine.deleteOnPc("OLD.T");
        peer.runUntil([&] { return !machine.busy(); }, 30s);
    });
    serveUntilMachineDone(comm::ProtTavro1);
    ASSERT_FALSE(machine.records().empty());
    EXPECT_TRUE(machine.records().back().ok);
    EXPECT_FALSE(dir.exists("OLD.T"));
    EXPECT_TRUE(dir.exists("KEEP.T"));
    ASSERT_EQ(site.removals.size(), 1u) << "a removal is told, to become a revision";
    EXPECT_EQ(site.removals[0].name, "OLD.T");
    EXPECT_EQ(site.removals[0].bytes, "M30\r\n");
    EXPECT_TRUE(site.removals[0].hasBytes);
    EXPECT_FALSE(site.removals[0].held);
    EXPECT_EQ(site.removals[0].startedBy, comm::TransferStarter::Unit);
}

TEST_F(PtyEndToEnd, Tavro1DeleteOfAProtectedProgramLeavesTheFileAndHoldsTheRemoval) {
    dir.write("OLD.T", "M30\r\n");
    control.setProtectPrograms(true);
    sim::HeidenhainMachine machine(peer, {.keepLineEnds = true});
    startMachine([&] {
        machine.deleteOnPc("OLD.T");
        peer.runUntil([&] { return !machine.busy(); }, 30s);
        machine.deleteOnPc("NONE.T");  // nothing there: nothing to tell
        peer.runUntil([&] { return !machine.busy(); }, 30s);
    });
    serveUntilMachineDone(comm::ProtTavro1);
    ASSERT_FALSE(machine.records().empty());
    EXPECT_TRUE(machine.records().back().ok) << "the machine hears no refusal";
    EXPECT_EQ(dir.read("OLD.T"), "M30\r\n");
    ASSERT_EQ(site.removals.size(), 1u);
    EXPECT_TRUE(site.removals[0].held);
    EXPECT_EQ(site.removals[0].bytes, "M30\r\n");
    EXPECT_TRUE(site.errors.empty());
}

}  // namespace
