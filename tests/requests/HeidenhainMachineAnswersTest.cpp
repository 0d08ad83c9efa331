// How the simulated Heidenhain/Tavro1 machine answers the PC's request headers, on virtual
// time: the PC's end of the line is driven byte by byte here, so that every answer of the
// machine, faults included, is seen exactly as it goes on the line.
#include <gtest/gtest.h>

#include <memory>

#include "comm/link/SerialPort.h"
#include "sim/heidenhain/HeidenhainMachine.h"
#include "sim/heidenhain/MachineFraming.h"
#include "sim/heidenhain/link/VirtualPeerLink.h"
#include "sim/virtual/VirtualHost.h"
#include "sim/virtual/VirtualLine.h"

namespace {

using namespace std::chrono_literals;
namespace m = sim::machine;

constexpr char kAck = '\x06';
constexpr char kNak = '\x15';
constexpr char kEtx = '\x03';
constexpr char kEot = '\x04';

class MachineAnswers : public ::testing::Test {
protected:
    MachineAnswers() {
        comm::LineSettings settings;
        settings.speed = 9600;
        EXPECT_TRUE(pc->open("virtual:1", settings, {}));
    }

    // The PC sends `bytes`, then listens for `listen`: what came back.
    std::string exchange(const std::string& bytes, std::chrono::milliseconds listen = 100ms) {
        if (!bytes.empty()) {
            const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
            EXPECT_NE(pc->startWrite({data, bytes.size()}).state, comm::WriteProgress::Failed);
        }
        host.sleep(listen);
        std::string answer;
        while (pc->bytesWaiting() > 0) {
            answer += static_cast<char>(pc->readByte());
        }
        return answer;
    }

    sim::VirtualHost host;
    sim::VirtualLine line{host};
    std::unique_ptr<comm::SerialPort> pc = line.controlEnd();
    sim::VirtualPeerLink link{line};
    sim::HeidenhainMachine machine{link};
};

TEST_F(MachineAnswers, AWrongCheckByteIsRefusedAndNotServed) {
    machine.programs()["P1"] = "M30\r\n";
    std::string header = m::frameHeader('N', "P1", 'A');
    header.back() = static_cast<char>(header.back() ^ 0x01);
    EXPECT_EQ(exchange(header), std::string(1, kNak));
    ASSERT_EQ(machine.pcHeaders().size(), 1u);
    EXPECT_FALSE(machine.pcHeaders()[0].goodCheck);
    EXPECT_FALSE(machine.busy());
}

TEST_F(MachineAnswers, RefusesTheFirstHeadersThenServes) {
    machine.programs()["P1"] = "M30\r\n";
    machine.faults().refusePcHeaders = 2;
    const std::string header = m::frameHeader('N', "P1", 'A');
    EXPECT_EQ(exchange(header), std::string(1, kNak));
    EXPECT_EQ(exchange(header), std::string(1, kNak));
    EXPECT_EQ(exchange(header), kAck + m::frameBlock("M30"));
    EXPECT_EQ(exchange(std::string(1, kAck)), std::string(1, kEtx));
    EXPECT_EQ(exchange(std::string(1, kEot)), "");
    EXPECT_FALSE(machine.busy());
    ASSERT_FALSE(machine.records().empty());
    EXPECT_EQ(machine.records().back().action, "serve");
    EXPECT_TRUE(machine.records().back().ok);
}

TEST_F(MachineAnswers, RefusesEveryHeaderWhenToldTo) {
    machine.faults().refusePcHeaders = sim::MachineFaults::kRefuseAlways;
    const std::string header = m::frameHeader('N', "P1", 'E');
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(exchange(header), std::string(1, kNak)) << "header " << i;
    }
    EXPECT_FALSE(machine.programs().contains("P1"));
}

TEST_F(MachineAnswers, AnswersAnotherByteOrNothing) {
    machine.faults().pcHeaderAnswer = '?';
    EXPECT_EQ(exchange(m::frameHeader('N', "P1", 'E')), "?");
    machine.faults().pcHeaderAnswer.reset();
    machine.faults().silentToPcHeaders = true;
    EXPECT_EQ(exchange(m::frameHeader('N', "P1", 'E'), 5000ms), "");
    EXPECT_EQ(machine.pcHeaders().size(), 2u);
    EXPECT_FALSE(machine.busy()) << "an unanswered header leaves the machine waiting for nothing";
}

TEST_F(MachineAnswers, DeleteLeavesNoLateRecordBehind) {
    machine.programs()["OLD"] = "M30\r\n";
    EXPECT_EQ(exchange(m::frameHeader('N', "OLD", 'D')), std::string(1, kAck));
    EXPECT_FALSE(machine.programs().contains("OLD"));
    // Long after the header the machine must not report a transfer that never was.
    host.sleep(10s);
    ASSERT_EQ(machine.records().size(), 1u);
    EXPECT_EQ(machine.records()[0].action, "remove");
    EXPECT_TRUE(machine.records()[0].ok);
}

TEST_F(MachineAnswers, ListingIsTheMemoryAsNameAndSizePerLine) {
    machine.programs()["A.T"] = "12345";
    machine.programs()["B.T"] = "G1\r\nM30\r\n";
    EXPECT_EQ(exchange(m::frameHeader('n', "$$$$$DIR", 'A')), kAck + m::frameBlock("A.T 5"));
    EXPECT_EQ(exchange(std::string(1, kAck)), m::frameBlock("B.T 9"));
    EXPECT_EQ(exchange(std::string(1, kAck)), std::string(1, kEtx));
    EXPECT_EQ(exchange(std::string(1, kEot)), "");
    EXPECT_TRUE(machine.records().back().ok);
}

TEST_F(MachineAnswers, TakesAProgramTheHeaderAnnounces) {
    EXPECT_EQ(exchange(m::frameHeader('N', "NEW", 'E')), std::string(1, kAck));
    EXPECT_EQ(exchange(m::frameBlock("G1 X1")), std::string(1, kAck));
    EXPECT_EQ(exchange(m::frameBlock("M30")), std::string(1, kAck));
    EXPECT_EQ(exchange(std::string(1, kEtx)), std::string(1, kEot));
    EXPECT_EQ(machine.programs()["NEW"], "G1 X1\r\nM30\r\n");
}

}  // namespace
