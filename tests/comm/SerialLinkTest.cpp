// The serial link on virtual time: the write that waits in steps and pumps, the stop, the
// write failure text, the timing rules and the activity picture.
#include "comm/link/LineTiming.h"
#include "sim/virtual/ScriptedPeer.h"
#include "tests/comm/ControlFixture.h"

namespace {

namespace timing = comm::timing;

class SerialLink : public ControlFixture {
protected:
    void SetUp() override {
        ASSERT_TRUE(control.setCommSpeed("9600"));
        ASSERT_TRUE(control.setProtocol(comm::ProtNone));
        ASSERT_TRUE(control.setActive(true));
    }
    comm::SerialLink& link() { return control.link(); }
};

TEST(LineTiming, RulesAtNineThousandSixHundred) {
    EXPECT_EQ(timing::writeWaitStep(25, 9600), 100);  // 156 capped
    EXPECT_EQ(timing::writeWaitStep(0, 115200), 9);   // 8.68 rounded
    EXPECT_EQ(timing::requestFramePause(9600), 42);   // 41.67
    EXPECT_EQ(timing::blockPollPause(9600), 10);      // 10.42
    EXPECT_EQ(timing::characterPollPause(9600), 3);   // 2.08 + 1
    EXPECT_EQ(timing::heidenhainPollPause(9600), 6);  // 5.21 + 1
    EXPECT_EQ(timing::plainReceivePollPause(9600), 105);
    EXPECT_EQ(timing::blockPollPause(0), 0) << "a zero speed never divides";
}

TEST_F(SerialLink, WriteReturnsWhenTheBytesHaveLeftAtLineSpeed) {
    const std::string frame(25, 'A');
    const auto start = host.nowMicros();
    ASSERT_TRUE(link().WritePort(frame));
    // 25 characters of 11 bits at 9600 bit/s.
    const auto expected = 25 * line.charTime();
    EXPECT_EQ(host.nowMicros() - start, expected);
    EXPECT_EQ(line.receivedText(), frame);
    EXPECT_GE(host.pumpCalls(), 1) << "the host's messages run while the write waits";
}

TEST_F(SerialLink, LongWriteWaitsInStepsOfAtMostOneHundredMilliseconds) {
    const std::string program(2000, 'N');  // about 2.3 s at 9600
    ASSERT_TRUE(link().WritePort(program));
    EXPECT_EQ(line.receivedByPeer().size(), 2000u);
    EXPECT_GE(host.pumpCalls(), 22);
    EXPECT_LE(host.pumpCalls(), 24);
}

TEST_F(SerialLink, StopTransferEndsTheWriteWaitAtTheNextStep) {
    host.setPumpHook([&] {
        if (host.now().count() >= 250) {
            control.StopTransfer();
        }
    });
    const std::string program(5000, 'N');
    ASSERT_TRUE(link().WritePort(program));
    EXPECT_TRUE(link().StopRequested());
    EXPECT_EQ(host.now().count(), 300) << "the step after the one that saw the stop";
    EXPECT_LT(line.receivedByPeer().size(), 5000u);
}

TEST_F(SerialLink, AFailedWriteIsReportedWithItsCountsRunTogether) {
    line.failWritesWith(5);
    const comm::Status failed = link().WritePort(std::string(25, 'x'));
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040000u);
    EXPECT_EQ(failed.error().source, "FerixComm");
    EXPECT_EQ(failed.error().description,
              "Error while writing to serial port(GetLastError:5)   25Timeout while waiting for "
              "block. 0");
}

TEST_F(SerialLink, ReadsWhatThePeerSendsOneByteAtATime) {
    sim::ScriptedPeer peer(line);
    peer.expect("ENQ?", "\x10\x01ok", 1000);
    ASSERT_TRUE(link().WritePort("ENQ?"));
    EXPECT_EQ(link().bytesWaiting(), 0u);
    host.sleep(std::chrono::milliseconds(10));
    ASSERT_EQ(link().bytesWaiting(), 4u);
    EXPECT_EQ(link().readByte(), 0x10);
    EXPECT_EQ(link().readByte(), 0x01);
    EXPECT_EQ(link().bytesWaiting(), 2u);
    link().flushInput();
    EXPECT_EQ(link().bytesWaiting(), 0u);
    EXPECT_TRUE(peer.finished());
    EXPECT_EQ(peer.unexpected(), "");
}

TEST(Indicator, StepsWrapFromEightToOneAndBlinkStartsIdle) {
    std::vector<int> shown;
    comm::Indicator indicator([&](int p) { shown.push_back(p); });
    for (int i = 0; i < 10; ++i) {
        indicator.StepIndicator();
    }
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 3, 4, 5, 6, 7, 8, 1, 2}));
    shown.clear();
    indicator.BlinkIndicator();
    indicator.BlinkIndicator();
    indicator.BlinkIndicator();
    EXPECT_EQ(shown, (std::vector<int>{1, 2, 1}));
}

}  // namespace
