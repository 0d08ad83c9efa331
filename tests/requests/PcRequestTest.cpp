// The operator's requests on virtual time: refusals, the failure texts, the request formats
// and the Heidenhain-family header exchange against a scripted machine.
#include "comm/requests/PcRequests.h"
#include "sim/virtual/ScriptedPeer.h"
#include "tests/comm/ControlFixture.h"
#include "tests/heidenhain/UnitDirectory.h"

namespace {

using comm::ProtDNC;
using comm::ProtHeidenhain;
using comm::ProtNone;
using comm::ProtTavro1;

class PcRequest : public ControlFixture {
protected:
    void activate(comm::ProtocolEnum protocol) {
        ASSERT_TRUE(control.setProtocol(protocol));
        if (protocol == ProtDNC || protocol == ProtHeidenhain || protocol == ProtTavro1) {
            // The operator's requests run inside the service loop, from the host's messages.
            control.setServiceFactory(
                protocol, [](comm::ctrlFerixComm& c) { return std::make_unique<HostLoop>(c); });
        }
    }
    // Runs `request` on a switched-on line, from inside its service loop as a host would.
    void whileActive(std::function<void()> request) {
        bool done = false;
        host.after(1000, [&] {
            request();
            done = true;
            ASSERT_TRUE(control.setActive(false));
        });
        ASSERT_TRUE(control.setActive(true));
        ASSERT_TRUE(done);
    }
    std::vector<std::string> errorTexts() const {
        std::vector<std::string> texts;
        for (const auto& e : site.errors) {
            texts.push_back(e.description);
        }
        return texts;
    }

    class HostLoop : public comm::LineService {
    public:
        explicit HostLoop(comm::ctrlFerixComm& c) : control_(c) {}
        comm::Status run() override {
            while (control_.Active()) {
                control_.host().sleep(std::chrono::milliseconds(10));
                control_.host().pump();
            }
            return {};
        }

    private:
        comm::ctrlFerixComm& control_;
    };
};

TEST(RequestFormats, BlockHeaderAndProgress) {
    EXPECT_EQ(comm::requestBlock(0, 0, 1, "PROG1"), std::string("\0\0\x01///PROG1", 11));
    EXPECT_EQ(comm::requestBlock(4, 0, 9, ""), std::string("\x04\0\x09////////", 11));
    EXPECT_EQ(comm::requestBlock(0, 1, 2, "$$$$$DIR"), std::string("\0\x01\x02$$$$$DIR", 11));
    const std::string header = comm::requestHeader('N', "P1.H", 'E');
    EXPECT_EQ(header.substr(0, header.size() - 1), "\x01NP1.HE\x17");
    std::uint8_t check = 0;
    for (char c : header.substr(0, header.size() - 1)) {
        check ^= static_cast<std::uint8_t>(c);
    }
    EXPECT_EQ(static_cast<std::uint8_t>(header.back()), check);
    std::vector<int> progress;
    for (int i = 0; i < 15; ++i) {
        progress.push_back(comm::commandProgress(i, 15));
    }
    EXPECT_EQ(progress,
              (std::vector<int>{0, 7, 13, 20, 27, 33, 40, 47, 53, 60, 67, 73, 80, 87, 93}));
}

TEST_F(PcRequest, AnInactiveLineGivesExactlyOneErrorAndSendsNothing) {
    control.DoPCRequestRemoveFile(1, "PROG1");
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_FALSE(site.errors[0].reqSidePC);
    EXPECT_EQ(site.errors[0].description,
              "Error while Processing PC Request (Communication is not Activated)");
    EXPECT_EQ(site.errors[0].helpFile, "");
    EXPECT_EQ(site.errors[0].context, 0);
    EXPECT_TRUE(line.receivedByPeer().empty());
    EXPECT_FALSE(control.TransferBusy());

    control.setLangID(0x0407);
    control.DoPCRequestFerixReset(1);
    ASSERT_EQ(site.errors.size(), 2u);
    EXPECT_EQ(site.errors[1].description,
              "Fehler bei der Bearbeitung der PC-Anforderung (Kommunikation ist nicht "
              "aktiviert)");
}

TEST_F(PcRequest, ARequestWhileAnotherRunsIsDroppedWithoutNotice) {
    activate(ProtDNC);
    whileActive([&] {
        control.setTransferBusy(true);
        control.DoPCRequestFerixSTR(1);
        control.DoPcRequestFileToFerix(1, "P.STX");
        control.setTransferBusy(false);
    });
    EXPECT_TRUE(site.errors.empty());
    EXPECT_TRUE(line.receivedByPeer().empty());
    EXPECT_TRUE(site.busyCalls.empty());
}

TEST_F(PcRequest, FileToFerixMatchesExtensionsExactlyOnTheDncProtocol) {
    activate(ProtDNC);
    control.setSourceTextExt("stx");
    whileActive([&] {
        control.DoPcRequestFileToFerix(3, "NINECHARS.STX");  // name part of 9
        control.DoPcRequestFileToFerix(3, ".STX");           // no name part
        control.DoPcRequestFileToFerix(3, "PROG1");          // no extension
        control.DoPcRequestFileToFerix(3, "PROG1.");         // nothing after the dot
        EXPECT_TRUE(site.errors.empty());
        control.DoPcRequestFileToFerix(3, "PROG1.stx");  // lower-case store matches nothing
    });
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_TRUE(site.errors[0].reqSidePC);
    EXPECT_EQ(site.errors[0].description,
              "Error while Processing PC Request (Files of This Type are not Supported)");
    EXPECT_TRUE(line.receivedByPeer().empty());
}

TEST_F(PcRequest, DncRefusalsComeBeforeAnythingIsSent) {
    activate(ProtDNC);
    ASSERT_TRUE(control.setConnected(2, true));
    whileActive([&] {
        control.DoPCRequest(2, 0, 1, 1, "LONGNAME9");  // no room in the request block
        control.DoPCRequest(2, 7, 0, 0, "P");          // unknown action
        control.DoPCRequest(2, 0, 1, 5, "P");          // a kind the PC does not fetch
        control.DoPCRequest(2, 0, 2, 1, "P");          // no such direction
        control.DoPCRequest(2, 0, 1, 3, "..");         // a name that is no file name
        control.DoPCRequest(2, 0, 1, 1, "\xC3\x84\xC3\x96\xC3\x9C.WTX");  // 7 letters, 10 bytes
        control.DoPCRequest(2, 0, 1, 1, ".HID");  // work text .HID.WTX: hidden
    });
    const std::vector<std::string> expected = {
        "Error while Processing PC Request (File name longer than 8 characters: \"LONGNAME9\")",
        "Error while Processing PC Request (Action Request that is not Supported)",
        "Error while Processing PC Request (Files of This Type are not Supported)",
        "Error while Processing PC Request (Incorrectly Stated Transfer Direction)",
        "Error while Processing PC Request (\"..\" is not a file name)",
        "Error while Processing PC Request (File name longer than 8 characters: "
        "\"\xC3\x84\xC3\x96\xC3\x9C.WTX\" (10 bytes in UTF-8; the unit's names are 8 bytes, and "
        "each letter outside ASCII takes 2 or more))",
        "Error while Processing PC Request (\".HID.WTX\" begins with a dot: a hidden file is not a "
        "program)"};
    EXPECT_EQ(errorTexts(), expected);
    for (const auto& e : site.errors) {
        EXPECT_TRUE(e.reqSidePC);
    }
    EXPECT_TRUE(line.receivedByPeer().empty());
}

TEST_F(PcRequest, MemoryListOfAProtocolWithoutOne) {
    activate(ProtNone);
    ASSERT_TRUE(control.setActive(true));
    const comm::MemoryList list = control.FerixLst(1);
    EXPECT_EQ(list.kind, comm::MemoryList::Kind::NotSupported);
    EXPECT_TRUE(line.receivedByPeer().empty());
    ASSERT_TRUE(control.setActive(false));
    ASSERT_TRUE(control.setProtocol(comm::ProtFerix));
    EXPECT_EQ(control.FerixLst(1).kind, comm::MemoryList::Kind::NoValue);
}

TEST_F(PcRequest, MemoryListOfAUnitThatIsNotConnected) {
    activate(ProtDNC);
    comm::MemoryList list;
    whileActive([&] { list = control.FerixLst(4); });
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_FALSE(site.errors[0].reqSidePC);
    EXPECT_EQ(site.errors[0].description,
              "Ferix Memory List Request Processing Error (Ferix is not Connected to DNC "
              "Network)");
    EXPECT_EQ(list.count, -1);
    EXPECT_TRUE(line.receivedByPeer().empty());
}

TEST_F(PcRequest, PlainLinesOnlyTransferFiles) {
    activate(ProtNone);
    ASSERT_TRUE(control.setActive(true));
    control.DoPCRequestRemoveFile(1, "P1");
    control.DoPCRequest(1, 0, 5, 0, "P1");
    control.DoPCRequest(1, 0, 1, 0, "../escape");
    ASSERT_TRUE(control.setActive(false));
    ASSERT_EQ(site.errors.size(), 3u);
    EXPECT_EQ(site.errors[0].description, "Action not supported for given protocol.");
    EXPECT_EQ(site.errors[1].description,
              "Error while Processing PC Request (Incorrectly Stated Transfer Direction)");
    EXPECT_NE(site.errors[2].description.find("directory separator"), std::string::npos);
    EXPECT_TRUE(line.receivedByPeer().empty());
    EXPECT_TRUE(site.prompts.empty());
}

// The first request after the device went away finds it gone and leaves the port closed.
// Once the device is back, the next requests open the port again: a send reaches the machine,
// and a reception replaces the file with what came instead of with nothing.
TEST_F(PcRequest, PlainRequestsOpenThePortAgainOnceTheDeviceIsBack) {
    UnitDirectory dir;
    control.setFerixHomeDir(dir.homeDir());
    ASSERT_TRUE(control.setFerixDir(1, UnitDirectory::unitDir()));
    dir.write("P1", "G1 X1\r\n");
    dir.write("IN", "the older program\r\n");
    activate(ProtNone);
    ASSERT_TRUE(control.setActive(true));
    line.removeDevice();
    control.DoPcRequestFileToFerix(1, "P1");
    control.DoPcRequestFileToFerix(1, "P1");
    ASSERT_EQ(site.errors.size(), 2u);
    EXPECT_NE(site.errors[0].description.find("Port no longer available"), std::string::npos)
        << site.errors[0].description;
    EXPECT_TRUE(line.receivedByPeer().empty());

    line.restoreDevice();
    control.DoPcRequestFileToFerix(1, "P1");
    EXPECT_EQ(site.errors.size(), 2u) << site.errors.back().description;
    EXPECT_EQ(line.receivedText(), "G1 X1\r\n");
    host.after(100'000, [&] { line.peerSend("N10 M30\r\n"); });
    host.after(2'000'000, [&] { control.StopTransfer(); });
    control.DoPcRequestFileFromFerix(1, "IN");
    EXPECT_EQ(site.errors.size(), 2u) << site.errors.back().description;
    EXPECT_EQ(dir.read("IN"), "N10 M30\r\n");
    ASSERT_TRUE(control.setActive(false));
}

class HeidenhainRequest : public PcRequest {
protected:
    void SetUp() override {
        activate(ProtTavro1);
        control.setHeidenhainFileType("h");
    }
    std::string header(char letter, const std::string& name, char command) {
        return comm::requestHeader(letter, name, command);
    }
};

TEST_F(HeidenhainRequest, DeleteIsAcceptedWithAck) {
    sim::ScriptedPeer machine(line);
    machine.expect(header('H', "P1.H", 'D'), "\x06", 2000);
    whileActive([&] { control.DoPCRequestRemoveFile(1, "P1.H"); });
    EXPECT_TRUE(machine.finished());
    EXPECT_TRUE(site.errors.empty());
    EXPECT_EQ(site.memChanged, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(site.stops, (std::vector<std::pair<bool, std::uint8_t>>{{true, 0}, {false, 0}}));
}

TEST_F(HeidenhainRequest, FourRefusalsAreReportedNotSwallowed) {
    sim::ScriptedPeer machine(line);
    const std::string h = header('H', "P1.H", 'D');
    for (int i = 0; i < 4; ++i) {
        machine.expect(h, "\x15", 1000);
    }
    whileActive([&] { control.DoPCRequestRemoveFile(1, "P1.H"); });
    EXPECT_TRUE(machine.finished());
    EXPECT_EQ(machine.unexpected(), "") << "no fifth header";
    EXPECT_EQ(errorTexts(), (std::vector<std::string>{"Request receipt not acknowledged."}));
    EXPECT_TRUE(site.memChanged.empty());
    EXPECT_EQ(site.stops.back(), (std::pair<bool, std::uint8_t>{false, 0}));
}

TEST_F(HeidenhainRequest, SilenceAndStrangeAnswers) {
    whileActive([&] { control.DoPCRequestRemoveFile(1, "P1.H"); });  // nobody answers
    EXPECT_EQ(errorTexts(), (std::vector<std::string>{"Request not accepted (timeout)."}));
    EXPECT_TRUE(site.errors[0].reqSidePC);

    site.errors.clear();
    sim::ScriptedPeer machine(line);
    machine.expect(header('H', "P2.H", 'D'), "?", 1000);
    whileActive([&] { control.DoPCRequestRemoveFile(1, "P2.H"); });
    EXPECT_EQ(errorTexts(), (std::vector<std::string>{"Request receipt not acknowledged."}));
}

TEST_F(HeidenhainRequest, StopDuringTheWaitEndsWithoutAnError) {
    host.setPumpHook([&] {
        if (control.TransferBusy() && host.now().count() > 3000) {
            control.StopTransfer();
        }
    });
    whileActive([&] { control.DoPCRequestRemoveFile(1, "P1.H"); });
    EXPECT_TRUE(site.errors.empty());
    EXPECT_EQ(site.stops.back(), (std::pair<bool, std::uint8_t>{false, 0}));
}

TEST_F(HeidenhainRequest, ActionsAndDirectionsTheFamilyRefuses) {
    whileActive([&] {
        control.DoPCRequestFerixSTR(1);
        control.DoPCRequest(1, 0, 3, 0, "P1.H");
    });
    ASSERT_TRUE(control.setProtocol(ProtHeidenhain));
    activate(ProtHeidenhain);
    whileActive([&] { control.DoPCRequestRemoveFile(1, "P1.H"); });
    const std::vector<std::string> expected = {
        "Action not supported for given protocol.",
        "Error while Processing PC Request(Incorrectly Stated Transfer Direction)",
        "Action not supported for given protocol."};
    EXPECT_EQ(errorTexts(), expected);
    EXPECT_TRUE(line.receivedByPeer().empty());
}

}  // namespace
