// A Heidenhain line through a network device server: ser2net on the loopback address in front
// of a pseudo-terminal with the simulated control on its other end, the PC on rfc2217:// or
// tcp://. The machine fetches and sends programs; a connection that drops in the middle of a
// send keeps the PC's old file, and the line serves the machine again once the server is back.
#include <gtest/gtest.h>

#include <atomic>
#include <functional>
#include <memory>
#include <thread>

#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/heidenhain/HeidenhainMachine.h"
#include "sim/heidenhain/link/FdPeerLink.h"
#include "sim/net/Ser2net.h"
#include "sim/pty/PtyPair.h"
#include "tests/heidenhain/UnitDirectory.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

std::string program(std::size_t size) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) {
        text += "N" + std::to_string(i * 10) + " G01 X" + std::to_string(i % 113) + ".5 F200\r\n";
    }
    return text;
}

class Ser2netHeidenhain : public ::testing::TestWithParam<sim::Ser2net::Kind> {
protected:
    static constexpr std::int32_t kSpeed = 38400;

    Ser2netHeidenhain() {
        loc::selectLanguage(loc::kEnglish);
        control.setFerixHomeDir(dir.homeDir());
        EXPECT_TRUE(control.setFerixDir(1, UnitDirectory::unitDir()));
        EXPECT_TRUE(control.setCommSpeed(std::to_string(kSpeed)));
        EXPECT_TRUE(control.setProtocol(comm::ProtHeidenhain));
        if (!sim::Ser2net::program().empty()) {
            server = std::make_unique<sim::Ser2net>(GetParam(), pty.devicePath(), kSpeed);
            control.setPortDevices([this](int) { return server->address(); });
        }
    }
    ~Ser2netHeidenhain() override {
        if (machineThread.joinable()) {
            peer.requestStop();
            machineThread.join();
        }
    }

    void SetUp() override {
        if (!server) {
            GTEST_SKIP() << "ser2net is not installed (Debian package ser2net)";
        }
        const std::string why = server->start();
        ASSERT_TRUE(why.empty()) << why;
    }

    // The machine's work runs on its own thread once the line is up; the line is served
    // until the work is done.
    void serve(std::function<void()> machineWork) {
        lineUp = false;
        machineDone = false;
        machineThread = std::thread([this, work = std::move(machineWork)] {
            peer.runUntil([this] { return lineUp.load(); }, 10s);
            // A raw server opens (and flushes) its serial side once it has accepted the
            // connection, a moment after the PC's open; there is no answer to wait for.
            if (GetParam() == sim::Ser2net::Kind::RawTcp) {
                peer.runUntil([] { return false; }, 300ms);
            }
            work();
            machineDone = true;
        });
        (void)control.setActive(true);
        machineThread.join();
    }

    void onHostPump() {
        lineUp = true;
        if (onPump) {
            onPump();
        }
        if (machineDone && control.Active()) {
            (void)control.setActive(false);
        }
    }

    sim::PtyPair pty;
    UnitDirectory dir;
    std::unique_ptr<sim::Ser2net> server;
    std::atomic<bool> lineUp = false;
    std::atomic<bool> machineDone = false;
    std::function<void()> onPump;
    comm::RealHost host{[this] { onHostPump(); }};
    sim::RecordingSite site;
    comm::ctrlFerixComm control{host, site};
    sim::FdPeerLink peer{pty.masterFd()};
    std::thread machineThread;
};

TEST_P(Ser2netHeidenhain, TheMachineFetchesAndSendsPrograms) {
    const std::string fetched = program(5000);
    dir.write("P1.H", fetched);
    sim::HeidenhainMachine machine(peer);
    serve([&] {
        machine.requestFile("P1.H");
        peer.runUntil([&] { return !machine.busy(); }, 30s);
    });
    ASSERT_FALSE(machine.records().empty());
    EXPECT_TRUE(machine.records().back().ok) << machine.records().back().detail;
    EXPECT_EQ(machine.programs()["P1.H"], fetched);

    const std::string sent = program(4000);
    sim::HeidenhainMachine sender(peer);
    sender.programs()["P2.H"] = sent;
    serve([&] {
        sender.sendFile("P2.H");
        peer.runUntil([&] { return !sender.busy(); }, 30s);
    });
    ASSERT_FALSE(sender.records().empty());
    EXPECT_TRUE(sender.records().back().ok) << sender.records().back().detail;
    EXPECT_EQ(dir.read("P2.H"), sent);
    EXPECT_TRUE(site.errors.empty());
}

TEST_P(Ser2netHeidenhain, AConnectionDroppedInASendKeepsTheOldFileAndTheNextSendGoesThrough) {
    dir.write("P2.H", "OLD PROGRAM\r\n");
    sim::HeidenhainMachine machine(peer);
    machine.programs()["P2.H"] = program(30000);  // about 8 s on the line
    Clock::time_point busySince{};
    onPump = [&] {
        if (!control.TransferBusy()) {
            return;
        }
        if (busySince == Clock::time_point{}) {
            busySince = Clock::now();
        } else if (Clock::now() - busySince > 500ms) {
            server->stop();
            onPump = nullptr;
        }
    };
    serve([&] {
        machine.sendFile("P2.H");
        peer.runUntil([&] { return !machine.busy(); }, 30s);
    });
    ASSERT_FALSE(site.errors.empty()) << "the failure is reported";
    EXPECT_EQ(dir.read("P2.H"), "OLD PROGRAM\r\n");

    ASSERT_TRUE(server->start().empty());
    site.errors.clear();
    const std::string next = program(3000);
    sim::HeidenhainMachine again(peer);
    again.programs()["P2.H"] = next;
    serve([&] {
        again.sendFile("P2.H");
        peer.runUntil([&] { return !again.busy(); }, 30s);
    });
    ASSERT_FALSE(again.records().empty());
    EXPECT_TRUE(again.records().back().ok) << again.records().back().detail;
    EXPECT_EQ(dir.read("P2.H"), next);
}

INSTANTIATE_TEST_SUITE_P(DeviceServer, Ser2netHeidenhain,
                         ::testing::Values(sim::Ser2net::Kind::Rfc2217, sim::Ser2net::Kind::RawTcp),
                         [](const auto& info) {
                             return info.param == sim::Ser2net::Kind::Rfc2217 ? "Rfc2217"
                                                                              : "RawTcp";
                         });

}  // namespace
