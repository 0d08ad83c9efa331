// Switching the line on and off, per protocol.
#include "tests/comm/ControlFixture.h"

namespace {

using comm::ProtDNC;
using comm::ProtFerix;
using comm::ProtHeidenhain;
using comm::ProtNone;
using comm::ProtNoneEOF;

class ControlActive : public ControlFixture {};

TEST_F(ControlActive, PlainProtocolsOpenAndCloseThePort) {
    for (auto protocol : {ProtNone, ProtNoneEOF}) {
        ASSERT_TRUE(control.setProtocol(protocol));
        site.pictures.clear();
        ASSERT_TRUE(control.setActive(true));
        EXPECT_TRUE(control.Active());
        EXPECT_TRUE(line.controlOpen());
        EXPECT_EQ(line.settings().speed, 4800);
        EXPECT_GE(line.applyControlCalls(), 1) << "line settings applied after the open";
        ASSERT_TRUE(control.setActive(false));
        EXPECT_FALSE(control.Active());
        EXPECT_FALSE(line.controlOpen());
        EXPECT_EQ(site.pictures, (std::vector<int>{2, 1}));
    }
}

TEST_F(ControlActive, SettingTheSameValueDoesNothing) {
    ASSERT_TRUE(control.setProtocol(ProtNone));
    site.changed.clear();
    ASSERT_TRUE(control.setActive(false));
    EXPECT_TRUE(site.changed.empty()) << "not even a change notice";
    ASSERT_TRUE(control.setActive(true));
    ASSERT_TRUE(control.setActive(true));
    EXPECT_EQ(site.changed, (std::vector<std::string>{"Active"}));
}

TEST_F(ControlActive, FerixProtocolOpensNothing) {
    ASSERT_TRUE(control.setProtocol(ProtFerix));
    ASSERT_TRUE(control.setActive(true));
    EXPECT_FALSE(control.Active());
    EXPECT_FALSE(line.controlOpen());
}

TEST_F(ControlActive, AMissingPortFailsWithTheComposedLocalizedText) {
    ASSERT_TRUE(control.setProtocol(ProtNone));
    control.setCommPort(7);
    const comm::Status failed = control.setActive(true);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(failed.error().number), 0x80040001u);
    EXPECT_EQ(failed.error().source, "FerixComm.Active (let 1)");
    EXPECT_EQ(failed.error().description,
              "Error at Start-up or while Communicating (Cannot open virtual:7: No such file or "
              "directory)");
    EXPECT_FALSE(control.Active());
    EXPECT_TRUE(site.errors.empty());

    control.setLangID(0x0407);
    EXPECT_EQ(control.setActive(true).error().description.rfind(
                  "Fehler beim Start oder während der Kommunikation (", 0),
              0u);
}

TEST_F(ControlActive, NotAtDesignTime) {
    site.userMode = false;
    ASSERT_TRUE(control.setProtocol(ProtNone));
    const comm::Status refused = control.setActive(true);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().number, 382);
    EXPECT_FALSE(line.controlOpen());
}

// A service loop that counts its turns and stops when Active turns false.
class CountingService : public comm::LineService {
public:
    CountingService(comm::ctrlFerixComm& control, int* turns, bool fail)
        : control_(control), turns_(turns), fail_(fail) {}
    comm::Status run() override {
        while (control_.Active()) {
            ++*turns_;
            if (fail_) {
                return comm::ComError{5, "FerixComm", "line dropped", "help.hlp", 7};
            }
            control_.host().sleep(std::chrono::milliseconds(10));
            control_.host().pump();
        }
        return {};
    }

private:
    comm::ctrlFerixComm& control_;
    int* turns_;
    bool fail_;
};

TEST_F(ControlActive, BlockProtocolsRunTheirServiceUntilSwitchedOffReentrantly) {
    int turns = 0;
    control.setServiceFactory(ProtDNC, [&](comm::ctrlFerixComm& c) {
        return std::make_unique<CountingService>(c, &turns, false);
    });
    host.after(55'000, [&] { ASSERT_TRUE(control.setActive(false)); });
    ASSERT_TRUE(control.setActive(true));  // returns only when the line has stopped
    EXPECT_EQ(turns, 6);
    EXPECT_FALSE(control.Active());
    EXPECT_FALSE(line.controlOpen());
    EXPECT_EQ(host.now().count(), 60);
}

TEST_F(ControlActive, AServiceErrorEndsTheLineWithItsLet) {
    int turns = 0;
    control.setServiceFactory(ProtHeidenhain, [&](comm::ctrlFerixComm& c) {
        return std::make_unique<CountingService>(c, &turns, true);
    });
    ASSERT_TRUE(control.setProtocol(ProtHeidenhain));
    const comm::Status failed = control.setActive(true);
    ASSERT_FALSE(failed.ok());
    EXPECT_EQ(failed.error().source, "FerixComm.Active (let 3)");
    EXPECT_EQ(failed.error().description,
              "Error at Start-up or while Communicating (line dropped)");
    EXPECT_EQ(failed.error().helpFile, "help.hlp");
    EXPECT_FALSE(control.Active());
    EXPECT_FALSE(line.controlOpen());
}

TEST_F(ControlActive, BlockProtocolOpenFailureNamesItsLet) {
    int turns = 0;
    control.setServiceFactory(ProtDNC, [&](comm::ctrlFerixComm& c) {
        return std::make_unique<CountingService>(c, &turns, false);
    });
    line.setDevicePresent(false);
    EXPECT_EQ(control.setActive(true).error().source, "FerixComm.Active (let 4)");
    ASSERT_TRUE(control.setProtocol(ProtHeidenhain));
    EXPECT_EQ(control.setActive(true).error().source, "FerixComm.Active (let 2)");
    EXPECT_EQ(turns, 0);
    EXPECT_FALSE(control.Active());
}

}  // namespace
