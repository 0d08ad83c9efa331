// Faults on plain lines (ProtNoneEOF, ProtNone) during the operator's requests: a tape that
// tears or a reader cut off in the middle, a device that goes away under the open port. An
// end-of-file reception that ends without its end stores nothing; a reception without an end
// marker stores what arrived; a lost device is reported, stores nothing, and the line serves
// again once the device is back. Every failure is reported through OnError, and no original is
// lost.
//
// Plain lines carry no check at all: a character changed, lost or doubled on the wire is stored
// as it arrives, and neither end can tell. So no run here plays faults of the wire: there is
// nothing the PC could detect.
#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <filesystem>

#include "comm/Messages.h"
#include "sim/heidenhain/link/VirtualPeerLink.h"
#include "sim/tape/TapePuncher.h"
#include "sim/tape/TapeReader.h"
#include "tests/faults/FaultTally.h"
#include "tests/faults/ProgramCompare.h"
#include "tests/heidenhain/TransferFixture.h"

namespace {

using Micros = sim::VirtualHost::Micros;

constexpr const char* kOriginal = "the PC's older copy, which must survive a failure\r\n";
constexpr std::size_t kProgramSize = 1500;
// Where the tape tears or the reader is cut off.
constexpr std::size_t kCutAfter = 700;

// A program of CR LF lines of `size` bytes.
std::string program(std::size_t size) {
    std::string text;
    for (int i = 0; text.size() < size; ++i) {
        text += "N" + std::to_string(10 * (i + 1)) + " G01 X" + std::to_string(i * 37 % 1000) +
                " Y" + std::to_string(i * 53 % 700) + "\r\n";
    }
    text.resize(size);
    return text;
}

// How a reading ends early.
enum class Break { TornTape, ReaderCutOff };

const char* nameOf(Break how) {
    return how == Break::TornTape ? "tape torn" : "reader cut off";
}

class PlainLine : public TransferFixture {
protected:
    void switchOn(comm::ProtocolEnum protocol) {
        ASSERT_TRUE(control.setProtocol(protocol));
        ASSERT_TRUE(control.setActive(true));
    }

    // The tape as the reader sends it: in pieces with short pauses, the end-of-file character
    // behind it on an end-of-file line, torn after `tearAfter` bytes.
    sim::TapeReading tape(std::size_t tearAfter = std::string::npos) const {
        return {program(kProgramSize), control.Protocol() == comm::ProtNoneEOF, 64,
                std::chrono::milliseconds(5), tearAfter};
    }

    // The operator fetches `name`: the reader starts 100 ms after the request, and the
    // operator stops the reception ten seconds after the request if it still runs (the whole
    // tape takes under two).
    void fetch(const std::string& name, const sim::TapeReading& reading) {
        const Micros start = host.nowMicros();
        host.at(start + 100'000, [this, reading] { reader.read(reading); });
        host.at(start + 10'000'000, [this] {
            if (control.TransferBusy()) {
                control.StopTransfer();
            }
        });
        control.DoPcRequestFileFromFerix(1, name);
        host.advanceTo(std::max(host.nowMicros(), start + 10'000'000) + 1);
    }

    // Characters that reached the PC so far.
    std::size_t arrived() const {
        std::size_t n = 0;
        for (const sim::VirtualLine::Event& e : line.log()) {
            n += e.toPeer ? 0 : 1;
        }
        return n;
    }

    void expectNoTemporaries() const {
        for (const auto& entry : std::filesystem::directory_iterator(dir.path(""))) {
            EXPECT_NE(entry.path().filename().string().front(), '.')
                << "left behind: " << entry.path().filename();
        }
    }

    // The operator fetches `name` while the reading ends early, after kCutAfter characters:
    // the tape tears, or the reader is cut off (and back once the operator has stopped).
    void fetchBroken(const std::string& name, Break how) {
        if (how == Break::TornTape) {
            fetch(name, tape(kCutAfter));
            return;
        }
        host.setPumpHook([this] {
            if (line.wireTally().carried >= kCutAfter) {
                line.cutPeer(true);
            }
        });
        fetch(name, tape());
        host.setPumpHook({});
        line.cutPeer(false);
    }

    sim::VirtualPeerLink peer{line};
    sim::TapeReader reader{peer};
};

class TapeBreaks : public PlainLine, public ::testing::WithParamInterface<Break> {};

TEST_P(TapeBreaks, AnEndOfFileReceptionWithoutItsEndStoresNothingAndTheNextIsStored) {
    switchOn(comm::ProtNoneEOF);
    dir.write("IN", kOriginal);
    fetchBroken("IN", GetParam());
    ASSERT_EQ(site.errors.size(), 1u) << "the reception that never ended is reported";
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_EQ(site.errors[0].description,
              comm::messageWithDetail(comm::msg::FileFromFerix,
                                      comm::message(comm::msg::TransferInterrupted)));
    EXPECT_EQ(dir.read("IN"), kOriginal);
    EXPECT_TRUE(site.dirChanged.empty());
    expectNoTemporaries();

    fetch("IN", tape());
    EXPECT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(difference(dir.read("IN"), program(kProgramSize)), "equal");
    EXPECT_EQ(site.dirChanged, (std::vector<std::uint8_t>{1}));
    expectNoTemporaries();

    TransferTally{.jobs = 1, .attempts = 2, .afterRetry = 1, .reportedFailures = 1}.print(
        std::string("ProtNoneEOF, ") + nameOf(GetParam()) + " after " + std::to_string(kCutAfter) +
            " characters",
        line.wireTally());
}

// ProtNone has no end marker: only the operator's stop ends a reception, and the PC cannot
// tell a torn tape from a whole one. What arrived up to the stop is the program, and is stored.
TEST_P(TapeBreaks, WithoutAnEndMarkerWhatArrivedIsTheProgram) {
    switchOn(comm::ProtNone);
    dir.write("IN", kOriginal);
    fetchBroken("IN", GetParam());
    EXPECT_TRUE(site.errors.empty());
    const std::size_t got = arrived();
    EXPECT_GE(got, kCutAfter);
    EXPECT_LT(got, kProgramSize);
    EXPECT_EQ(difference(dir.read("IN"), program(kProgramSize).substr(0, got)), "equal");
    EXPECT_EQ(site.dirChanged, (std::vector<std::uint8_t>{1}));
    expectNoTemporaries();

    TransferTally{.jobs = 1, .attempts = 1, .firstTime = 1}.print(
        std::string("ProtNone, ") + nameOf(GetParam()) + " after " + std::to_string(kCutAfter) +
            " characters: " + std::to_string(got) + " stored",
        line.wireTally());
}

INSTANTIATE_TEST_SUITE_P(TornOrCut, TapeBreaks,
                         ::testing::Values(Break::TornTape, Break::ReaderCutOff),
                         [](const auto& info) {
                             return info.param == Break::TornTape ? "TornTape" : "ReaderCutOff";
                         });

class PlainDeviceLost : public PlainLine,
                        public ::testing::WithParamInterface<comm::ProtocolEnum> {};

TEST_P(PlainDeviceLost, InAReceptionIsReportedAndTheLineServesOnceItIsBack) {
    const comm::ProtocolEnum protocol = GetParam();
    switchOn(protocol);
    dir.write("IN", kOriginal);
    bool removed = false;
    host.setPumpHook([&] {
        if (!removed && line.wireTally().carried >= 500) {
            line.removeDevice();
            removed = true;
        }
    });
    fetch("IN", tape());
    host.setPumpHook({});
    ASSERT_TRUE(removed);
    ASSERT_EQ(site.errors.size(), 1u) << "the lost device is reported";
    const std::string reported = site.errors[0].description;
    EXPECT_EQ(reported.rfind(comm::message(comm::msg::FileFromFerix), 0), 0u) << reported;
    EXPECT_NE(reported.find(comm::message(comm::msg::DeviceLost)), std::string::npos) << reported;
    EXPECT_NE(reported.find(std::strerror(EIO)), std::string::npos) << reported;
    EXPECT_EQ(dir.read("IN"), kOriginal) << "even without an end marker, nothing is stored";
    EXPECT_TRUE(site.dirChanged.empty());
    expectNoTemporaries();

    // While the device is away a request cannot open the port: reported, nothing touched.
    fetch("IN", tape());
    ASSERT_EQ(site.errors.size(), 2u);
    EXPECT_EQ(site.errors[1].description.rfind(comm::message(comm::msg::ProcessingPCRequest), 0),
              0u)
        << site.errors[1].description;
    EXPECT_EQ(dir.read("IN"), kOriginal);

    // Back again: the next requests open the port anew and go through.
    line.restoreDevice();
    fetch("IN", tape());
    EXPECT_EQ(site.errors.size(), 2u) << site.errors.back().description;
    EXPECT_EQ(difference(dir.read("IN"), program(kProgramSize)), "equal");
    dir.write("OUT", program(kProgramSize));
    sim::TapePuncher puncher(peer, protocol == comm::ProtNoneEOF);
    control.DoPcRequestFileToFerix(1, "OUT");
    host.sleep(std::chrono::milliseconds(100));
    EXPECT_EQ(site.errors.size(), 2u) << site.errors.back().description;
    EXPECT_EQ(difference(puncher.punched(), program(kProgramSize)), "equal");
    EXPECT_EQ(puncher.ended(), protocol == comm::ProtNoneEOF);
    expectNoTemporaries();

    TransferTally{.jobs = 2, .attempts = 4, .firstTime = 1, .afterRetry = 1, .reportedFailures = 2}
        .print(std::string(protocol == comm::ProtNoneEOF ? "ProtNoneEOF" : "ProtNone") +
                   ", device lost in a reception and back",
               line.wireTally());
}

INSTANTIATE_TEST_SUITE_P(EndOfFileOrNot, PlainDeviceLost,
                         ::testing::Values(comm::ProtNoneEOF, comm::ProtNone),
                         [](const auto& info) {
                             return info.param == comm::ProtNoneEOF ? "ProtNoneEOF" : "ProtNone";
                         });

}  // namespace
