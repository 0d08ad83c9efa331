// The operator's requests on plain lines (ProtNone, ProtNoneEOF), end to end over a
// pseudo-terminal pair: the control with wall-clock time on the terminal end, the simulated
// tape puncher or reader on the master end in a thread of its own. Plain lines have no service
// loop: the host calls the requests directly on the switched-on line.
#include <gtest/gtest.h>
#include <sys/ioctl.h>

#include <atomic>
#include <chrono>
#include <functional>
#include <thread>

#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/heidenhain/link/FdPeerLink.h"
#include "sim/pty/PtyPair.h"
#include "sim/tape/TapePuncher.h"
#include "sim/tape/TapeReader.h"
#include "tests/heidenhain/UnitDirectory.h"

namespace {

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Stops = std::vector<std::pair<bool, std::uint8_t>>;

constexpr const char* kPrompt = "FerixComm|Get Ferix ready for file receive...";

// A program of about `size` bytes in numbered lines, each ended by CR LF.
std::string program(std::size_t size) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) {
        text += "N" + std::to_string(i * 5) + " G00 Y" + std::to_string(i % 71) + ".5\r\n";
    }
    return text;
}

class PlainPtyRequest : public ::testing::TestWithParam<comm::ProtocolEnum> {
protected:
    PlainPtyRequest() {
        loc::selectLanguage(loc::kEnglish);
        control.setPortDevices([this](int) { return pty.devicePath(); });
        control.setFerixHomeDir(dir.homeDir());
        EXPECT_TRUE(control.setFerixDir(1, UnitDirectory::unitDir()));
        EXPECT_TRUE(control.setCommSpeed("9600"));
        EXPECT_TRUE(control.setProtocol(GetParam()));
    }
    ~PlainPtyRequest() override {
        if (machineThread.joinable()) {
            peer.requestStop();
            machineThread.join();
        }
    }

    bool endOfFile() const { return GetParam() == comm::ProtNoneEOF; }

    void startMachine(std::function<void()> work) { machineThread = std::thread(std::move(work)); }

    // Bytes the control has written that the machine's end has not read yet.
    int bytesAtTheMachine() const {
        int count = 0;
        return ::ioctl(pty.masterFd(), FIONREAD, &count) == 0 ? count : -1;
    }

    std::vector<std::string> errorTexts() const {
        std::vector<std::string> texts;
        for (const auto& e : site.errors) {
            texts.push_back(e.description);
        }
        return texts;
    }

    sim::PtyPair pty;
    UnitDirectory dir;
    sim::RecordingSite site;
    std::function<void()> onPump;
    comm::RealHost host{[this] {
        if (onPump) {
            onPump();
        }
    }};
    comm::ctrlFerixComm control{host, site};
    sim::FdPeerLink peer{pty.masterFd()};
    std::thread machineThread;
};

TEST_P(PlainPtyRequest, APushWaitsForTheOperatorThenArrivesWhole) {
    const std::string text = program(2000);
    dir.write("P1", text);
    // The puncher is there to see anything that comes, 0x1A included.
    sim::TapePuncher puncher(peer, true);
    std::atomic<bool> sent = false;
    int waitingAtPrompt = -1;
    site.onPrompt = [&] {
        waitingAtPrompt = bytesAtTheMachine();
        // The machine is made ready only now: whatever came before stays waiting.
        startMachine([&] {
            peer.runUntil([&] { return sent && puncher.punched().size() >= text.size(); }, 30s);
            // Anything after the program (an end-of-file character) comes right behind it.
            peer.runUntil([&] { return puncher.ended(); }, 200ms);
        });
    };
    ASSERT_TRUE(control.setActive(true));
    control.DoPcRequestFileToFerix(1, "P1");
    sent = true;
    machineThread.join();
    ASSERT_TRUE(control.setActive(false));

    EXPECT_EQ(site.prompts, (std::vector<std::string>{kPrompt}));
    EXPECT_EQ(waitingAtPrompt, 0) << "nothing is sent before the operator confirms";
    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(puncher.punched(), text);
    EXPECT_EQ(puncher.ended(), endOfFile()) << "0x1A follows the program only with ProtNoneEOF";
    EXPECT_TRUE(puncher.afterEnd().empty());
    EXPECT_EQ(site.stops, (Stops{{true, 0}, {false, 0}}));
    ASSERT_FALSE(site.progress.empty());
    EXPECT_EQ(site.progress.back(), 100);
    EXPECT_EQ(dir.read("P1"), text);
}

TEST_P(PlainPtyRequest, APushOfAMissingFileAsksNothingAndSendsNothing) {
    ASSERT_TRUE(control.setActive(true));
    control.DoPcRequestFileToFerix(1, "MISSING");
    ASSERT_TRUE(control.setActive(false));

    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_FALSE(site.errors[0].description.empty());
    EXPECT_TRUE(site.prompts.empty());
    EXPECT_EQ(bytesAtTheMachine(), 0);
    EXPECT_FALSE(control.TransferBusy());
}

TEST_P(PlainPtyRequest, APullStoresWhatTheReaderSentInPlaceOfTheOldFile) {
    const std::string text = program(2500);
    dir.write("IN", "an older tape\r\n");
    sim::TapeReader reader(peer);
    std::atomic<bool> readerDone = false;
    Clock::time_point quietSince{};
    onPump = [&] {
        // The tape goes in once the control listens (it clears its input when it starts).
        if (!machineThread.joinable()) {
            startMachine([&] {
                reader.read({text, endOfFile(), 300, 20ms});
                peer.runUntil([&] { return reader.done(); }, 30s);
                readerDone = true;
            });
        }
        // Without an end-of-file character the operator stops once the tape has run through
        // and the control has taken every byte.
        if (endOfFile()) {
            return;
        }
        if (!readerDone || control.link().bytesWaiting() > 0) {
            quietSince = {};
        } else if (quietSince == Clock::time_point{}) {
            quietSince = Clock::now();
        } else if (Clock::now() - quietSince > 300ms) {
            control.StopTransfer();
        }
    };
    ASSERT_TRUE(control.setActive(true));
    control.DoPcRequestFileFromFerix(1, "IN", 0);
    machineThread.join();
    ASSERT_TRUE(control.setActive(false));

    EXPECT_TRUE(site.errors.empty()) << errorTexts()[0];
    EXPECT_EQ(dir.read("IN"), text);
    EXPECT_EQ(site.dirChanged, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(site.stops, (Stops{{true, 1}, {false, 1}}));
    EXPECT_TRUE(site.prompts.empty()) << "only the send asks the operator";
}

INSTANTIATE_TEST_SUITE_P(Lines, PlainPtyRequest,
                         ::testing::Values(comm::ProtNone, comm::ProtNoneEOF),
                         [](const ::testing::TestParamInfo<comm::ProtocolEnum>& info) {
                             return std::string(info.param == comm::ProtNoneEOF ? "WithEndOfFile"
                                                                                : "Plain");
                         });

}  // namespace
