// The control's network ports against a scripted device server on the loopback address: the
// line settings and purges as COM port commands, 0xFF both ways, a refused or silent server,
// a connection that drops and comes back, malformed addresses.
#include <gtest/gtest.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "comm/FerixComm.h"
#include "comm/RealHost.h"
#include "comm/link/NetworkSerialPort.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/net/TelnetDeviceServer.h"

namespace {

using namespace std::chrono_literals;
using Bytes = std::vector<std::uint8_t>;
using Server = sim::TelnetDeviceServer;
using Clock = std::chrono::steady_clock;

comm::LineSettings settings(const char* text) {
    return *comm::parseLineSettings(text);
}

bool hasCommand(const std::vector<Server::Command>& commands, std::uint8_t code,
                const Bytes& value) {
    for (const auto& c : commands) {
        if (c.code == code && c.value == value) {
            return true;
        }
    }
    return false;
}

// Reads what the port receives until `count` bytes came or two seconds passed.
Bytes readPort(comm::SerialPort& port, std::size_t count) {
    Bytes got;
    const auto deadline = Clock::now() + 2s;
    while (got.size() < count && Clock::now() < deadline) {
        if (port.bytesWaiting() == 0) {
            std::this_thread::sleep_for(1ms);
            continue;
        }
        got.push_back(port.readByte());
    }
    return got;
}

void writeAll(comm::SerialPort& port, const Bytes& data) {
    comm::WriteProgress progress = port.startWrite(data);
    while (progress.state == comm::WriteProgress::Pending) {
        progress = port.waitWrite(50);
    }
    ASSERT_EQ(progress.state, comm::WriteProgress::Done);
    ASSERT_EQ(progress.written, data.size());
}

Bytes everyByte() {
    Bytes all;
    for (int b = 0; b < 256; ++b) {
        all.push_back(static_cast<std::uint8_t>(b));
    }
    return all;
}

TEST(NetworkPort, Rfc2217OpenSendsTheLineSettingsControlAndPurge) {
    Server server(Server::Behaviour::AcceptComPort);
    comm::NetworkSerialPort port;
    ASSERT_TRUE(port.open(server.address(), settings("9600,e,7,2"), {}));
    ASSERT_TRUE(server.waitForCommands(8, 2s));
    const auto commands = server.commands();
    EXPECT_TRUE(hasCommand(commands, 1, {0, 0, 0x25, 0x80}));  // 9600
    EXPECT_TRUE(hasCommand(commands, 2, {7}));
    EXPECT_TRUE(hasCommand(commands, 3, {3}));  // even
    EXPECT_TRUE(hasCommand(commands, 4, {2}));
    EXPECT_TRUE(hasCommand(commands, 5, {1}));   // no flow control
    EXPECT_TRUE(hasCommand(commands, 5, {8}));   // DTR on
    EXPECT_TRUE(hasCommand(commands, 5, {12}));  // RTS off
    EXPECT_TRUE(hasCommand(commands, 12, {3}));  // purge both

    // A change of the settings and the handshaking goes to the server as it happens.
    ASSERT_TRUE(port.configure(settings("115200,n,8,1")));
    ASSERT_TRUE(port.applyControl({comm::kHandshakeRts, 17, 19}));
    port.flushInput();
    ASSERT_TRUE(server.waitForCommands(15, 2s));
    const auto later = server.commands();
    EXPECT_TRUE(hasCommand(later, 1, {0, 1, 0xC2, 0}));
    EXPECT_TRUE(hasCommand(later, 3, {1}));
    EXPECT_TRUE(hasCommand(later, 4, {1}));
    EXPECT_TRUE(hasCommand(later, 5, {3}));   // hardware flow control
    EXPECT_TRUE(hasCommand(later, 12, {1}));  // purge of the receive side
    // The server's answers are read with the data.
    const auto until = Clock::now() + 2s;
    while (port.codec().answers() < 15 && Clock::now() < until) {
        port.bytesWaiting();
        std::this_thread::sleep_for(1ms);
    }
    EXPECT_EQ(port.codec().answer(comm::telnet::ComPortCommand::SetDataSize), Bytes{8});
}

// A line that listens next (a Heidenhain line starting, a read-in) must not lose what the peer
// sends after it: the server purges when the command reaches it, so the port waits for the
// purge's answer. What the server sent before that answer is old, what follows it is new, even
// in one segment.
TEST(NetworkPort, SettledInputKeepsWhatFollowsThePurgesAnswerAndNothingBefore) {
    Server server(Server::Behaviour::AcceptComPort);
    comm::NetworkSerialPort port({.connect = 30s, .negotiation = 30s});  // never the limit here
    ASSERT_TRUE(port.open(server.address(), settings("38400,e,7,2"), {}));
    ASSERT_TRUE(server.waitForCommands(8, 2s));
    server.send({'o', 'l', 'd'});
    server.holdAnswersTo(12);
    const std::size_t commandsBefore = server.commands().size();

    std::atomic<bool> settled = false;
    std::thread settling([&] {
        port.settleInput();
        settled = true;
    });
    ASSERT_TRUE(server.waitForCommands(commandsBefore + 1, 2s));
    EXPECT_EQ(server.commands().back().code, 12);
    EXPECT_EQ(server.commands().back().value, Bytes{1});  // the receive side
    std::this_thread::sleep_for(50ms);
    EXPECT_FALSE(settled) << "the port went on before the server purged";
    server.sendWire({'s', 't', 'a', 'l', 'e', 255, 250, 44, 112, 1, 255, 240, 'G', '1', 255, 255});
    settling.join();
    EXPECT_EQ(readPort(port, 3), (Bytes{'G', '1', 255}));
    EXPECT_EQ(port.bytesWaiting(), 0U);
}

TEST(NetworkPort, EveryByteValueArrivesIntactBothWays) {
    for (const auto behaviour : {Server::Behaviour::AcceptComPort, Server::Behaviour::Raw}) {
        Server server(behaviour);
        comm::NetworkSerialPort port;
        ASSERT_TRUE(port.open(server.address(), settings("115200,n,8,1"), {}));
        const Bytes all = everyByte();
        writeAll(port, all);
        EXPECT_TRUE(server.waitForData(all.size(), 2s));
        EXPECT_EQ(server.data(), all) << server.address();

        server.send(all);
        EXPECT_EQ(readPort(port, all.size()), all) << server.address();
    }
}

// Bytes whose writer stopped waiting still go at their time: while the port waits for input,
// and when it closes.
TEST(NetworkPort, AWriteNobodyWaitsForLeavesWhileWaitingForInputAndOnClose) {
    for (const auto behaviour : {Server::Behaviour::AcceptComPort, Server::Behaviour::Raw}) {
        Server server(behaviour);
        comm::NetworkSerialPort port;
        ASSERT_TRUE(port.open(server.address(), settings("2400,n,8,1"), {}));
        const Bytes block(48, 0xFF);  // 200 ms, each byte escaped on a Telnet line
        ASSERT_EQ(port.startWrite(block).state, comm::WriteProgress::Pending);
        const auto until = Clock::now() + 700ms;
        while (Clock::now() < until) {
            port.waitForInput(50ms);
        }
        EXPECT_TRUE(server.waitForData(block.size(), 1s)) << server.address();

        const Bytes last(24, 'L');  // 100 ms
        const auto start = Clock::now();
        ASSERT_EQ(port.startWrite(last).state, comm::WriteProgress::Pending);
        port.close();
        EXPECT_GE(Clock::now() - start, 95ms) << "never before its time";
        EXPECT_TRUE(server.waitForData(block.size() + last.size(), 1s)) << server.address();
        Bytes all = block;
        all.insert(all.end(), last.begin(), last.end());
        EXPECT_EQ(server.data(), all) << server.address();
    }
}

TEST(NetworkPort, ARefusingServerFailsTheOpenWithAClearText) {
    Server server(Server::Behaviour::RefuseComPort);
    comm::NetworkSerialPort port;
    const comm::Status refused = port.open(server.address(), settings("9600,n,8,1"), {});
    ASSERT_FALSE(refused.ok());
    EXPECT_NE(refused.error().description.find("does not offer COM port control"),
              std::string::npos);
    EXPECT_FALSE(port.isOpen());
}

TEST(NetworkPort, ASilentServerFailsTheOpenWithinItsLimit) {
    Server server(Server::Behaviour::Silent);
    comm::NetworkSerialPort port({.connect = 500ms, .negotiation = 300ms});
    const comm::Status silent = port.open(server.address(), settings("9600,n,8,1"), {});
    ASSERT_FALSE(silent.ok());
    EXPECT_NE(silent.error().description.find("did not answer the Telnet negotiation"),
              std::string::npos);
}

TEST(NetworkPort, AServerThatTakesNoConnectionFailsTheConnectWithinItsLimit) {
    // A listener that never accepts and has a full backlog leaves further connects hanging.
    const int listener = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in address{};
    address.sin_family = AF_INET;
    address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t length = sizeof address;
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), length), 0);
    ASSERT_EQ(::listen(listener, 0), 0);
    ASSERT_EQ(::getsockname(listener, reinterpret_cast<sockaddr*>(&address), &length), 0);
    const std::string device = "tcp://127.0.0.1:" + std::to_string(ntohs(address.sin_port));
    std::vector<std::unique_ptr<comm::NetworkSerialPort>> fillers;
    comm::Status status;
    for (int i = 0; i < 8 && status.ok(); ++i) {
        fillers.push_back(std::make_unique<comm::NetworkSerialPort>(
            comm::NetworkSerialPort::Limits{200ms, 200ms}));
        status = fillers.back()->open(device, settings("9600,n,8,1"), {});
    }
    ASSERT_FALSE(status.ok()) << "the backlog never filled";
    EXPECT_EQ(status.error().number, ETIMEDOUT);
    EXPECT_NE(status.error().description.find("Cannot connect to 127.0.0.1:"), std::string::npos);
    ::close(listener);
}

TEST(NetworkPort, AConnectionRefusedIsAnOpenError) {
    std::string device;
    {
        Server gone(Server::Behaviour::Raw);
        device = gone.address();
    }
    comm::NetworkSerialPort port;
    const comm::Status refused = port.open(device, settings("9600,n,8,1"), {});
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().number, ECONNREFUSED);
}

TEST(NetworkPort, ADroppedConnectionIsALostDeviceAndTheLineOpensAgain) {
    loc::selectLanguage(loc::kEnglish);
    Server server(Server::Behaviour::AcceptComPort);
    comm::RealHost host;
    sim::RecordingSite site;
    comm::ctrlFerixComm control(host, site);
    control.setPortDevices([&](int) { return server.address(); });
    ASSERT_TRUE(control.setCommSpeed("115200"));
    ASSERT_TRUE(control.setProtocol(comm::ProtNone));
    ASSERT_TRUE(control.setActive(true));
    EXPECT_TRUE(control.link().checkDevice());

    server.send({'A'});
    EXPECT_EQ(readPort(control.link().port(), 1), Bytes{'A'});
    server.drop();
    comm::Status lost;
    const auto deadline = Clock::now() + 2s;
    while (lost.ok() && Clock::now() < deadline) {
        lost = control.link().checkDevice();
        std::this_thread::sleep_for(1ms);
    }
    ASSERT_FALSE(lost.ok());
    EXPECT_NE(lost.error().description.find("Port no longer available"), std::string::npos);
    EXPECT_NE(lost.error().description.find(server.address()), std::string::npos);
    const comm::Status unwritten = control.link().WritePort("lost");
    ASSERT_FALSE(unwritten.ok());
    // The server and the reason in words, under the write error's own message.
    const std::string where = server.address().substr(server.address().find("//") + 2);
    EXPECT_NE(unwritten.error().description.find(
                  "Error while writing to serial port(connection closed by " + where + ")"),
              std::string::npos)
        << unwritten.error().description;

    ASSERT_TRUE(control.link().reopenIfLost());
    EXPECT_TRUE(control.link().checkDevice());
    const std::size_t before = server.data().size();
    EXPECT_TRUE(control.link().WritePort("back"));
    EXPECT_TRUE(server.waitForData(before + 4, 2s));
    const Bytes got = server.data();
    ASSERT_GE(got.size(), 4u);
    EXPECT_EQ(std::string(got.end() - 4, got.end()), "back");
    EXPECT_EQ(server.connections(), 2);
}

// A server that sends far more than the line reads: the port keeps a bounded part and TCP
// holds back the rest; nothing is lost and the order stays.
TEST(NetworkPort, AFloodingServerIsHeldBackNotBuffered) {
    Server server(Server::Behaviour::Raw);
    comm::NetworkSerialPort port;
    ASSERT_TRUE(port.open(server.address(), settings("115200,n,8,1"), {}).ok());
    Bytes flood(4 * 1024 * 1024);
    for (std::size_t i = 0; i < flood.size(); ++i) {
        flood[i] = static_cast<std::uint8_t>(i * 7 / 3);
    }
    // The server's sends block while the line does not read: they go on their own thread.
    std::thread sender([&] { server.send(flood); });
    std::size_t most = 0;
    const auto deadline = Clock::now() + 5s;
    while (most < comm::kInputLimit && Clock::now() < deadline) {
        most = std::max(most, port.bytesWaiting());
    }
    for (int look = 0; look < 200; ++look) {
        (void)port.waitForInput(1ms);
        most = std::max(most, port.bytesWaiting());
    }
    EXPECT_GE(most, comm::kInputLimit);
    EXPECT_LT(most, comm::kInputLimit + 4096) << "kept more than its limit";
    // Read in part while more comes: still bounded, and every byte in order.
    Bytes got;
    const auto readDeadline = Clock::now() + 20s;
    while (got.size() < flood.size() && Clock::now() < readDeadline) {
        if (port.bytesWaiting() == 0) {
            (void)port.waitForInput(5ms);
            continue;
        }
        got.push_back(port.readByte());
        if (got.size() % 1000 == 0) {
            most = std::max(most, port.bytesWaiting());
        }
    }
    port.close();  // a sender still blocked (the test failed) gives up
    sender.join();
    EXPECT_LT(most, comm::kInputLimit + 4096);
    EXPECT_TRUE(got == flood) << got.size() << " of " << flood.size() << " bytes";
}

TEST(NetworkPort, MalformedAddressesNameTheirKey) {
    loc::selectLanguage(loc::kEnglish);
    comm::RealHost host;
    sim::RecordingSite site;
    comm::ctrlFerixComm control(host, site);
    ASSERT_TRUE(control.setProtocol(comm::ProtNone));
    control.setCommPort(3);
    for (const std::string device :
         {"tcp://", "tcp://host", "tcp://host:", "tcp://host:0", "tcp://host:70000", "tcp://:4001",
          "rfc2217://[::1:4001", "udp://host:4001", "tcp://ho st:4001", "rfc2217://host:40a1"}) {
        control.setPortDevices([&](int) { return device; });
        const comm::Status failed = control.setActive(true);
        ASSERT_FALSE(failed.ok()) << device;
        EXPECT_NE(failed.error().description.find("\"Ports\" key 3=" + device), std::string::npos)
            << failed.error().description;
        EXPECT_NE(failed.error().description.find("is not a device address"), std::string::npos);
    }
}

TEST(NetworkAddress, WellFormedAddresses) {
    const auto v4 = comm::parseNetworkAddress("rfc2217://192.168.0.7:4001");
    ASSERT_TRUE(std::holds_alternative<comm::NetworkAddress>(v4));
    EXPECT_EQ(std::get<comm::NetworkAddress>(v4).kind, comm::NetworkAddress::Kind::Rfc2217);
    EXPECT_EQ(std::get<comm::NetworkAddress>(v4).host, "192.168.0.7");
    EXPECT_EQ(std::get<comm::NetworkAddress>(v4).port, 4001);
    const auto v6 = comm::parseNetworkAddress("tcp://[fe80::1]:23/");
    ASSERT_TRUE(std::holds_alternative<comm::NetworkAddress>(v6));
    EXPECT_EQ(std::get<comm::NetworkAddress>(v6).host, "fe80::1");
    EXPECT_EQ(std::get<comm::NetworkAddress>(v6).kind, comm::NetworkAddress::Kind::RawTcp);
    const auto name = comm::parseNetworkAddress("tcp://moxa-hall-a.local:950");
    ASSERT_TRUE(std::holds_alternative<comm::NetworkAddress>(name));
    EXPECT_FALSE(comm::isNetworkDevice("/dev/ttyUSB0"));
    EXPECT_TRUE(comm::isNetworkDevice("tcp://x:1"));
}

}  // namespace
