// The control's serial link over a real pseudo-terminal pair.
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <memory>
#include <thread>
#include <vector>

#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "comm/link/PosixSerialPort.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/pty/PtyPair.h"
#include "sim/uart/UartModel.h"

namespace {

using Clock = std::chrono::steady_clock;

class PtyLink : public ::testing::Test {
protected:
    PtyLink() : control(host, site) {
        loc::selectLanguage(loc::kEnglish);
        control.setPortDevices([this](int n) {
            return n == 1 ? pty.devicePath() : "/dev/ferix-missing-" + std::to_string(n);
        });
    }

    sim::PtyPair pty;
    comm::RealHost host;
    sim::RecordingSite site;
    comm::ctrlFerixComm control;
};

TEST_F(PtyLink, PlainLineWritesByteExactAtThePacedRate) {
    ASSERT_TRUE(control.setCommSpeed("19200"));
    ASSERT_TRUE(control.setCommStopBit("1"));
    ASSERT_TRUE(control.setProtocol(comm::ProtNone));
    ASSERT_TRUE(control.setActive(true));

    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);  // DC1/DC3, CR, LF and NUL must pass untouched
    }
    const std::string payload = all + all;  // 512 bytes of 10 bits: 267 ms at 19200
    const auto start = Clock::now();
    ASSERT_TRUE(control.link().WritePort(payload));
    const auto written = Clock::now() - start;
    const auto received = pty.readMaster(payload.size(), std::chrono::seconds(5));
    ASSERT_EQ(std::string(received.begin(), received.end()), payload);
    // Never faster than the line; the upper bound only catches a stalled write.
    EXPECT_GE(written, std::chrono::milliseconds(260));
    EXPECT_LE(written, std::chrono::milliseconds(1500));
    ASSERT_TRUE(control.setActive(false));
}

TEST_F(PtyLink, ReceivesWhatTheOtherEndSends) {
    ASSERT_TRUE(control.setProtocol(comm::ProtNoneEOF));
    ASSERT_TRUE(control.setCommSpeed("115200"));
    ASSERT_TRUE(control.setActive(true));
    std::string sent;
    for (int b = 255; b >= 0; --b) {
        sent += static_cast<char>(b);
    }
    pty.writeMaster(sent);
    const auto deadline = Clock::now() + std::chrono::seconds(5);
    while (control.link().bytesWaiting() < sent.size() && Clock::now() < deadline) {
        host.sleep(std::chrono::milliseconds(1));
    }
    ASSERT_EQ(control.link().bytesWaiting(), sent.size());
    std::string got;
    while (control.link().bytesWaiting() > 0) {
        got += static_cast<char>(control.link().readByte());
    }
    EXPECT_EQ(got, sent);
}

TEST_F(PtyLink, APseudoTerminalRefusesModemLinesWithoutFailingTheOpen) {
    comm::PosixSerialPort port;
    ASSERT_TRUE(port.open(pty.devicePath(), *comm::parseLineSettings("9600,n,8,1"), {}));
    EXPECT_TRUE(port.pacesItself());
    EXPECT_TRUE(port.applyControl({comm::kHandshakeRtsXonXoff, 0x11, 0x13}));
    // A second open of a port in use is refused.
    comm::PosixSerialPort second;
    EXPECT_FALSE(second.open(pty.devicePath(), *comm::parseLineSettings("9600,n,8,1"), {}));
    EXPECT_FALSE(port.configure(*comm::parseLineSettings("12345,n,8,1")).ok());
}

// A pseudo-terminal keeps 8 bits without parity; every framing the configuration offers must
// still start, apply again (the kernel refuses a change that changes nothing it keeps) and
// carry the data bits of its framing.
TEST_F(PtyLink, EveryFramingStartsAndCarriesItsDataBitsOnAPseudoTerminal) {
    ASSERT_TRUE(control.setProtocol(comm::ProtNone));
    ASSERT_TRUE(control.setCommSpeed("115200"));
    for (const char* dataBits : {"7", "8"}) {
        for (const char* parity : {"N", "E", "O", "M", "S"}) {
            for (const char* stopBits : {"1", "2"}) {
                SCOPED_TRACE(std::string(dataBits) + parity + stopBits);
                ASSERT_TRUE(control.setCommDataBit(dataBits));
                ASSERT_TRUE(control.setCommParity(parity));
                ASSERT_TRUE(control.setCommStopBit(stopBits));
                ASSERT_TRUE(control.setActive(true));
                ASSERT_TRUE(control.setCommParity(parity)) << "applied a second time";
                ASSERT_TRUE(control.link().ApplyLineSettings());

                ASSERT_TRUE(control.link().WritePort("\xC1\x11Z"));
                const auto out = pty.readMaster(3, std::chrono::seconds(2));
                const std::uint8_t high = dataBits[0] == '7' ? 0x41 : 0xC1;
                EXPECT_EQ(out, (std::vector<std::uint8_t>{high, 0x11, 'Z'}));

                pty.writeMaster("\xFF");
                const auto deadline = Clock::now() + std::chrono::seconds(2);
                while (control.link().bytesWaiting() == 0 && Clock::now() < deadline) {
                    host.sleep(std::chrono::milliseconds(1));
                }
                ASSERT_EQ(control.link().bytesWaiting(), 1u);
                EXPECT_EQ(control.link().readByte(), dataBits[0] == '7' ? 0x7F : 0xFF);
                ASSERT_TRUE(control.setActive(false));
            }
        }
    }
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(PtyLink, PacingKeepsTheConfiguredCharacterLength) {
    comm::PosixSerialPort port;
    ASSERT_TRUE(port.open(pty.devicePath(), *comm::parseLineSettings("9600,e,7,2"), {}));
    EXPECT_TRUE(port.framingEmulated());
    EXPECT_EQ(port.characterTime().count(), 11 * 1000000000LL / 9600);
    ASSERT_TRUE(port.configure(*comm::parseLineSettings("9600,n,8,1")));
    EXPECT_FALSE(port.framingEmulated());
    EXPECT_EQ(port.characterTime().count(), 10 * 1000000000LL / 9600);
    ASSERT_TRUE(port.configure(*comm::parseLineSettings("9600,o,8,1")));
    EXPECT_TRUE(port.framingEmulated()) << "a parity bit is not carried";
    EXPECT_EQ(port.characterTime().count(), 11 * 1000000000LL / 9600);
}

// A frame goes to the peer whole once its last byte's time is over; a frame whose time is not
// over when the write is purged never reaches the peer, as on a real line.
TEST_F(PtyLink, FramesArriveWholeAndAPurgedFrameDeliversNothingEarly) {
    comm::PosixSerialPort port;
    // 300 baud: 33 ms a character, so the first frame is due 100 ms after the write starts.
    ASSERT_TRUE(port.open(pty.devicePath(), *comm::parseLineSettings("300,n,8,1"), {}));
    const std::vector<std::uint8_t> frames{0x10, 0x04, 0x01, 0xFF, 0xFF, 0xFF};
    const std::size_t pieceEnds[] = {3};

    EXPECT_EQ(port.startWriteInPieces(frames, pieceEnds).state, comm::WriteProgress::Pending);
    port.purgeOutput();
    EXPECT_TRUE(pty.readMaster(1, std::chrono::milliseconds(400)).empty());

    comm::WriteProgress progress = port.startWriteInPieces(frames, pieceEnds);
    while (progress.state == comm::WriteProgress::Pending) {
        progress = port.waitWrite(100);
    }
    ASSERT_EQ(progress.state, comm::WriteProgress::Done);
    EXPECT_EQ(progress.written, frames.size());
    EXPECT_EQ(pty.readMaster(frames.size(), std::chrono::seconds(2)), frames);
}

// A transfer that is stopped stops waiting for its write; the bytes already written still go
// to the line at their time, as from a UART's buffer: while the link waits for input, and when
// the port closes. The byte that tells the peer of the stop comes after them.
TEST_F(PtyLink, AWriteNobodyWaitsForLeavesWhileTheLinkWaitsForInput) {
    comm::PosixSerialPort port;
    // 2400 baud: 48 characters take 200 ms.
    ASSERT_TRUE(port.open(pty.devicePath(), *comm::parseLineSettings("2400,n,8,1"), {}));
    const std::vector<std::uint8_t> block(48, 'B');
    ASSERT_EQ(port.startWrite(block).state, comm::WriteProgress::Pending);
    const std::vector<std::uint8_t> eot{0x04};
    port.startWrite(eot);

    const auto until = Clock::now() + std::chrono::milliseconds(700);
    while (Clock::now() < until) {
        port.waitForInput(std::chrono::milliseconds(50));
    }
    std::vector<std::uint8_t> expected = block;
    expected.push_back(0x04);
    EXPECT_EQ(pty.readMaster(expected.size(), std::chrono::milliseconds(200)), expected);
}

TEST_F(PtyLink, ClosingLetsTheLastWriteLeaveAtItsTime) {
    comm::PosixSerialPort port;
    ASSERT_TRUE(port.open(pty.devicePath(), *comm::parseLineSettings("2400,n,8,1"), {}));
    const std::vector<std::uint8_t> block(24, 'C');  // 100 ms
    const auto start = Clock::now();
    ASSERT_EQ(port.startWrite(block).state, comm::WriteProgress::Pending);
    port.close();
    EXPECT_GE(Clock::now() - start, std::chrono::milliseconds(95)) << "never before its time";
    EXPECT_EQ(pty.readMaster(block.size(), std::chrono::seconds(1)), block);
}

TEST_F(PtyLink, AMissingPortFailsActiveWithTheComposedText) {
    control.setCommPort(3);
    ASSERT_TRUE(control.setProtocol(comm::ProtNone));
    const comm::Status failed = control.setActive(true);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040001u);
    EXPECT_EQ(failed.error().source, "FerixComm.Active (let 1)");
    EXPECT_EQ(failed.error().description,
              "Error at Start-up or while Communicating (Cannot open /dev/ferix-missing-3: No such "
              "file or directory)");
    EXPECT_FALSE(control.Active());
}

TEST(PtyDevice, ADeviceThatGoesAwayIsReportedAsLost) {
    auto pty = std::make_unique<sim::PtyPair>();
    const std::string device = pty->devicePath();
    comm::PosixSerialPort port;
    ASSERT_TRUE(port.open(device, *comm::parseLineSettings("9600,n,8,1"), {}));
    EXPECT_EQ(port.deviceLost(), 0) << "a quiet line is no lost line";
    pty->writeMaster("AB");
    const auto deadline = Clock::now() + std::chrono::seconds(2);
    while (port.bytesWaiting() < 2 && Clock::now() < deadline) {
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    EXPECT_EQ(port.deviceLost(), 0) << "nor is one with data waiting";
    EXPECT_EQ(port.readByte(), 'A');
    EXPECT_EQ(port.readByte(), 'B');

    pty.reset();  // the other end closes, as a pulled adapter hangs up
    EXPECT_EQ(port.deviceLost(), EIO);
    port.close();
    EXPECT_EQ(port.deviceLost(), 0) << "a closed port has nothing to lose";
}

TEST_F(PtyLink, ANonTerminalIsNotASerialPort) {
    comm::PosixSerialPort port;
    const comm::Status refused = port.open("/dev/null", *comm::parseLineSettings("9600,n,8,1"), {});
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().description.find("is not a serial port"), std::string::npos);
}

// Root opens a port past its exclusive mark; the service's user does not. The port is closed
// and opened again by a child process that runs as "nobody".
TEST(PtyExclusive, AClosedPortCanBeOpenedAgainByAUserOtherThanRoot) {
    if (::geteuid() != 0) {
        GTEST_SKIP() << "needs root, to run the reopen as the user nobody (root ignores the "
                        "exclusive mark)";
    }
    const sim::PtyPair pty;
    ASSERT_EQ(::chmod(pty.devicePath().c_str(), 0666), 0);
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        constexpr uid_t kNobody = 65534;
        if (::setgroups(0, nullptr) != 0 || ::setgid(kNobody) != 0 || ::setuid(kNobody) != 0) {
            ::_exit(2);
        }
        comm::PosixSerialPort port;
        comm::LineSettings settings;
        for (int round = 0; round < 3; ++round) {
            if (!port.open(pty.devicePath(), settings, {}).ok()) {
                ::_exit(10 + round);
            }
            port.close();
        }
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 2) << "could not become the user nobody";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "open number " << WEXITSTATUS(status) - 9 << " failed";
}

// A UART sends at its own speed and its driver says it takes more output long before a write
// has left: the wait for the write to leave the line must sleep for what is still queued
// instead of asking the driver again and again.
TEST(UartWrite, AWriteWaitsForTheQueuedBytesWithoutSpinning) {
    const sim::PtyPair pty;  // the terminal settings; the output goes to the model
    comm::LineSettings settings;
    settings.speed = 9600;
    sim::UartModel uart(settings.characterTime());
    comm::PosixSerialPort port(uart);
    ASSERT_TRUE(port.open(pty.devicePath(), settings, {}).ok());
    ASSERT_FALSE(port.pacesItself());
    const std::vector<std::uint8_t> block(200, 'x');  // about 230 ms at 9600 baud
    const auto before = uart.calls();
    comm::WriteProgress progress = port.startWrite(block);
    int waits = 0;
    while (progress.state == comm::WriteProgress::Pending) {
        progress = port.waitWrite(100);
        ++waits;
    }
    ASSERT_EQ(progress.state, comm::WriteProgress::Done);
    EXPECT_EQ(progress.written, block.size());
    int queued = -1;
    ASSERT_EQ(uart.outputQueued(0, &queued), 0);
    EXPECT_EQ(queued, 0) << "done before the bytes had left";
    const auto calls = uart.calls();
    // A few looks per wait step (a step is 100 ms), not one per poll of the driver.
    EXPECT_LE(calls.queueQueries - before.queueQueries, 4 * waits + 4)
        << calls.waits - before.waits << " waits for room";
    EXPECT_EQ(calls.writes - before.writes, 1);
}

}  // namespace
