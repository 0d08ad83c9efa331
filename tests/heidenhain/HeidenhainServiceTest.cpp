// The Heidenhain/Tavro1 service loop against the simulated machine control, on virtual time:
// the machine's own request headers, their dispatch, and names that must not be used.
#include <sys/stat.h>

#include "comm/heidenhain/BlockFrames.h"
#include "sim/heidenhain/HeidenhainMachine.h"
#include "sim/heidenhain/link/VirtualPeerLink.h"
#include "tests/heidenhain/TransferFixture.h"

namespace {

class HeidenhainService : public TransferFixture {
protected:
    // Runs the service loop until the machine has finished `records` transfers and is idle
    // again, plus a second of idle turns, then switches the line off.
    void serve(comm::ProtocolEnum protocol, std::size_t records) {
        ASSERT_TRUE(control.setProtocol(protocol));
        machine.settings().keepLineEnds = protocol == comm::ProtTavro1 && control.HeidenhainCRLF();
        machine.settings().pcIsMaster = control.HeidenhainMaster();
        sim::VirtualHost::Micros doneAt = -1;
        host.setPumpHook([&, records] {
            busySeen = busySeen || control.TransferBusy();
            if (!control.Active()) {
                return;
            }
            const bool done = machine.records().size() >= records && !machine.busy();
            if (done && doneAt < 0) {
                doneAt = host.nowMicros();
            }
            if ((doneAt >= 0 && host.nowMicros() > doneAt + 1'000'000) ||
                host.nowMicros() > 600'000'000) {
                ASSERT_TRUE(control.setActive(false));
            }
        });
        const comm::Status ran = control.setActive(true);
        host.setPumpHook({});
        ASSERT_TRUE(ran);
        EXPECT_FALSE(line.controlOpen()) << "the loop closes the port when it ends";
        EXPECT_FALSE(control.TransferBusy());
    }
    // The machine's operator acts 100 ms after the line is up.
    void soon(std::function<void()> action) { host.at(100'000, std::move(action)); }

    const sim::MachineRecord& lastRecord() const { return machine.records().back(); }

    sim::VirtualPeerLink peer{line};
    sim::HeidenhainMachine machine{peer};
    bool busySeen = false;
};

TEST_F(HeidenhainService, TheMachineAsksForAProgramWithEAndTheMasterPcSendsIt) {
    dir.write("P1.H", "G1 X10\r\nM30\r\n");
    soon([this] { machine.requestFile("P1.H"); });
    serve(comm::ProtHeidenhain, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_EQ(machine.programs()["P1.H"], "G1 X10\r\nM30\r\n");
    EXPECT_EQ(site.stops, (std::vector<std::pair<bool, std::uint8_t>>{{true, 0}, {false, 0}}));
    EXPECT_TRUE(busySeen) << "a PC request must be kept out meanwhile";
    EXPECT_TRUE(site.errors.empty());
    EXPECT_TRUE(site.memChanged.empty()) << "only Tavro1 lines report the machine's memory";
}

TEST_F(HeidenhainService, WithoutMasterTheMachineAsksWithA) {
    control.setHeidenhainMaster(false);
    dir.write("P1.H", "M30\r\n");
    soon([this] { machine.requestFile("P1.H"); });
    serve(comm::ProtHeidenhain, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_EQ(machine.heard().substr(0, 1), "\x06");
    EXPECT_EQ(machine.programs()["P1.H"], "M30\r\n");
}

TEST_F(HeidenhainService, TheMachineSendsAProgramWithAAndThePcStoresIt) {
    dir.write("P2.H", "old");
    machine.programs()["P2.H"] = "G0 Z100\r\nM2\r\n";
    soon([this] { machine.sendFile("P2.H"); });
    serve(comm::ProtHeidenhain, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_EQ(dir.read("P2.H"), "G0 Z100\r\nM2\r\n");
    EXPECT_EQ(site.dirChanged, (std::vector<std::uint8_t>{1}));
    EXPECT_EQ(site.stops, (std::vector<std::pair<bool, std::uint8_t>>{{true, 1}, {false, 1}}));
}

TEST_F(HeidenhainService, ANameDiffersOnlyInCaseFindsTheFile) {
    dir.write("Part7.h", "M30\r\n");
    soon([this] { machine.requestFile("PART7.H"); });
    serve(comm::ProtHeidenhain, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_EQ(machine.programs()["PART7.H"], "M30\r\n");
}

TEST_F(HeidenhainService, AHeaderWithAWrongCheckByteIsAnsweredNakAndIgnored) {
    std::string header = comm::heidenhain::requestHeader('N', "P1.H", 'D');
    header.back() ^= 0x10;
    dir.write("P1.H", "keep");
    soon([&] { machine.sendRaw(header); });
    machine.faults().badHeaderChecks = 0;
    ASSERT_TRUE(control.setProtocol(comm::ProtTavro1));
    host.setPumpHook([&] {
        if (control.Active() && host.nowMicros() > 2'000'000) {
            ASSERT_TRUE(control.setActive(false));
        }
    });
    ASSERT_TRUE(control.setActive(true));
    EXPECT_EQ(machine.stray(), "\x15");
    EXPECT_EQ(dir.read("P1.H"), "keep");
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(HeidenhainService, TheMachineRepeatsARefusedHeaderAndIsServed) {
    machine.faults().badHeaderChecks = 2;
    dir.write("P1.H", "M30\r\n");
    soon([this] { machine.requestFile("P1.H"); });
    serve(comm::ProtHeidenhain, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_EQ(machine.heard().substr(0, 3), "\x15\x15\x06");
}

TEST_F(HeidenhainService, Tavro1ListingListsTheDirectoryAndTouchesNoFile) {
    dir.write("A.T", "abc");
    dir.write("B.T", std::string(1234, 'b'));
    dir.write("LIST", "a program that happens to have the listing's name");
    dir.write("In.cnv", std::string(128, '\0'));  // the unit's chain is not listed
    std::filesystem::create_directory(dir.path("sub"));
    soon([this] { machine.requestListing("LIST", 'n'); });
    serve(comm::ProtTavro1, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_EQ(machine.listings().at("LIST"), "A.T 3\r\nB.T 1234\r\n");
    EXPECT_EQ(dir.read("LIST"), "a program that happens to have the listing's name");
    EXPECT_EQ(site.stops, (std::vector<std::pair<bool, std::uint8_t>>{{true, 0}, {false, 0}}));
}

TEST_F(HeidenhainService, AListingLeavesOutLinksAndFifos) {
    dir.write("A.T", "abc");
    std::filesystem::create_symlink(dir.path("GONE.T"), dir.path("DANGLE.T"));
    std::filesystem::create_symlink("/etc/passwd", dir.path("PASSWD.T"));
    ASSERT_EQ(::mkfifo(dir.path("FIFO.T").c_str(), 0644), 0);
    soon([this] { machine.requestListing("LIST", 'n'); });
    serve(comm::ProtTavro1, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_EQ(machine.listings().at("LIST"), "A.T 3\r\n");
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(HeidenhainService, AMachineCanNeitherFetchNorDeleteAChainFile) {
    dir.write("Out.cnv", "chain");
    soon([this] { machine.deleteOnPc("OUT.CNV"); });
    serve(comm::ProtTavro1, 1);
    EXPECT_EQ(dir.read("Out.cnv"), "chain");
    soon([this] { machine.requestFile("Out.cnv"); });
    serve(comm::ProtTavro1, 1);
    EXPECT_EQ(machine.programs().count("Out.cnv"), 0u);
    ASSERT_FALSE(site.errors.empty());
    for (const auto& error : site.errors) {
        EXPECT_NE(error.description.find("conversion chain"), std::string::npos)
            << error.description;
    }
}

TEST_F(HeidenhainService, AnUpperCaseTypeAsksForTheFileNotTheListing) {
    dir.write("LIST", "M30\r\n");
    soon([this] { machine.requestListing("LIST", 'N'); });
    serve(comm::ProtTavro1, 1);
    EXPECT_EQ(machine.listings().at("LIST"), "M30\r\n");
}

TEST_F(HeidenhainService, Tavro1DeleteRemovesTheFile) {
    dir.write("OLD.T", "x");
    soon([this] { machine.deleteOnPc("OLD.T"); });
    serve(comm::ProtTavro1, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_FALSE(dir.exists("OLD.T"));
    EXPECT_EQ(site.dirChanged, (std::vector<std::uint8_t>{1}));
}

TEST_F(HeidenhainService, HeidenhainLinesDoNotDelete) {
    dir.write("OLD.H", "x");
    soon([this] { machine.deleteOnPc("OLD.H"); });
    serve(comm::ProtHeidenhain, 1);
    EXPECT_TRUE(dir.exists("OLD.H"));
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_F(HeidenhainService, Tavro1ReportsTheMachinesMemoryAtStartAndAfterASend) {
    dir.write("P.T", "M30\r\n");
    soon([this] { machine.requestFile("P.T"); });
    serve(comm::ProtTavro1, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_EQ(site.memChanged, (std::vector<std::uint8_t>{1, 1}));
}

TEST_F(HeidenhainService, AFailedSendIsReportedAndTheLoopGoesOn) {
    dir.write("P.H", "M30\r\n");
    machine.faults().nakBlock[0] = 4;
    soon([this] { machine.requestFile("P.H"); });
    host.at(20'000'000, [this] {
        machine.faults() = {};
        machine.requestFile("P.H");
    });
    serve(comm::ProtHeidenhain, 2);
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_FALSE(site.errors[0].reqSidePC);
    EXPECT_EQ(site.errors[0].description,
              "Error while Transferring File to Ferix: Block repeated 4 times.");
    ASSERT_EQ(machine.records().size(), 2u);
    EXPECT_TRUE(machine.records()[1].ok) << "served after the failure";
}

TEST_F(HeidenhainService, AMissingProgramIsReportedAndTheMachineToldAtOnce) {
    soon([this] { machine.requestFile("NONE.H"); });
    serve(comm::ProtHeidenhain, 1);
    EXPECT_FALSE(lastRecord().ok);
    EXPECT_EQ(lastRecord().detail, "the PC interrupted the transfer");
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description.rfind("Error while Transferring File to Ferix: ", 0), 0u);
    EXPECT_LT(host.nowMicros(), 5'000'000) << "no waiting for a time-out";
}

TEST_F(HeidenhainService, AFailedReceiveIsReportedWithMessage419) {
    dir.write("P.H", "old");
    machine.programs()["P.H"] = "A\r\nB\r\nC\r\n";
    machine.faults().eotBeforeBlock = 2;
    soon([this] { machine.sendFile("P.H"); });
    serve(comm::ProtHeidenhain, 1);
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description,
              "Error while Transferring File from Ferix: Transfer interrupted.");
    EXPECT_EQ(dir.read("P.H"), "old");
}

TEST_F(HeidenhainService, TheMachineMayHoldThePcOffWithDc1) {
    dir.write("P.H", "A\r\nB\r\n");
    machine.faults().dc1BeforeAck = {0, 1};
    machine.settings().dc1Hold = std::chrono::milliseconds(2000);
    soon([this] { machine.requestFile("P.H"); });
    serve(comm::ProtHeidenhain, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_EQ(machine.programs()["P.H"], "A\r\nB\r\n");
    EXPECT_TRUE(site.errors.empty());
}

TEST_F(HeidenhainService, ABlockWithAWrongCheckFromTheMachineIsRepeated) {
    machine.programs()["P.H"] = "A\r\nB\r\n";
    machine.faults().badCheckOnce = {1};
    soon([this] { machine.sendFile("P.H"); });
    serve(comm::ProtHeidenhain, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_EQ(dir.read("P.H"), "A\r\nB\r\n");
}

// Names from the line that would lead out of unit 1's directory.
TEST_F(HeidenhainService, ARequestForAnOutsideNameGetsEotAndReadsNothing) {
    UnitDirectory::writeAt(dir.home() / "secret", "not for the machine");
    soon([this] { machine.requestFile("../secret"); });
    host.at(5'000'000, [this] { machine.requestFile("ok.H"); });
    dir.write("ok.H", "M30\r\n");
    serve(comm::ProtHeidenhain, 2);
    ASSERT_EQ(machine.records().size(), 2u);
    EXPECT_FALSE(machine.records()[0].ok);
    EXPECT_EQ(machine.programs().count("../secret"), 0u);
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_EQ(site.errors[0].description,
              "Error while Transferring File to Ferix: the file name \"../secret\" contains a "
              "directory separator");
    EXPECT_TRUE(machine.records()[1].ok) << "the loop goes on listening";
}

TEST_F(HeidenhainService, AProgramWithAnOutsideNameIsTakenAndDropped) {
    machine.programs()["..\\evil"] = "M30\r\n";
    machine.programs()["."] = "M30\r\n";
    soon([this] { machine.sendFile("..\\evil"); });
    host.at(5'000'000, [this] { machine.sendFile("."); });
    serve(comm::ProtHeidenhain, 2);
    EXPECT_TRUE(machine.records()[0].ok) << "the machine is not left hanging";
    EXPECT_TRUE(machine.records()[1].ok);
    EXPECT_TRUE(std::filesystem::is_empty(dir.path(""))) << "nothing written";
    EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir.home()), {}), 1);
    ASSERT_EQ(site.errors.size(), 2u);
    EXPECT_EQ(site.errors[0].description.rfind("Error while Transferring File from Ferix: ", 0),
              0u);
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_F(HeidenhainService, ADeleteCannotReachOutsideTheDirectory) {
    UnitDirectory::writeAt(dir.home() / "victim", "precious");
    soon([this] { machine.deleteOnPc("../victim"); });
    serve(comm::ProtTavro1, 1);
    EXPECT_EQ(UnitDirectory::readAt(dir.home() / "victim"), "precious");
    ASSERT_EQ(site.errors.size(), 1u);
    EXPECT_NE(site.errors[0].description.find("directory separator"), std::string::npos);
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_F(HeidenhainService, TheMemoryListNameIsNoDirectoryChange) {
    machine.programs()["$$$$$DIR"] = "A 1\r\n";
    soon([this] { machine.sendFile("$$$$$DIR"); });
    serve(comm::ProtTavro1, 1);
    EXPECT_EQ(dir.read("$$$$$DIR"), "A 1\r\n");
    EXPECT_TRUE(site.dirChanged.empty());
}

TEST_F(HeidenhainService, BytesOutsideHeadersAreIgnored) {
    dir.write("P.H", "M30\r\n");
    soon([this] {
        machine.sendRaw("garbage\x17\x03");
        machine.requestFile("P.H");
    });
    serve(comm::ProtHeidenhain, 1);
    ASSERT_TRUE(lastRecord().ok) << lastRecord().detail;
    EXPECT_TRUE(site.errors.empty());
}

}  // namespace
