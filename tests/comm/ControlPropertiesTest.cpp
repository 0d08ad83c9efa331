// The control's properties: rules on setting, reading rules, change notices.
#include <algorithm>

#include "tests/comm/ControlFixture.h"

namespace {

using comm::ProtDNC;
using comm::ProtHeidenhain;
using comm::ProtNone;

class ControlProperties : public ControlFixture {};

TEST_F(ControlProperties, ANewControlStartsFromTheSavedStateDefaults) {
    EXPECT_FALSE(control.Active());
    EXPECT_EQ(control.Protocol(), ProtDNC);
    EXPECT_EQ(control.CommPort(), 1);
    EXPECT_EQ(control.CommSpeed(), "4800");
    EXPECT_EQ(control.LineSpeed(), 4800);
    EXPECT_EQ(control.link().settings(), "4800,n,8,2");
    EXPECT_EQ(control.DNCMaxRepeatNo(), 4);
    EXPECT_EQ(control.FerixDir(3).value(), "Ferix3/");
    EXPECT_TRUE(site.changed.empty()) << "no change notices while the control is created";
}

TEST_F(ControlProperties, PrefixIsCutToThreeCharacters) {
    ASSERT_TRUE(control.setPrefix(2, "ABCD"));
    EXPECT_EQ(control.Prefix(2).value(), "ABC");
    ASSERT_TRUE(control.setPrefix(2, "AB"));
    EXPECT_EQ(control.Prefix(2).value(), "AB");
    ASSERT_TRUE(control.setPrefix(2, ""));
    EXPECT_EQ(control.Prefix(2).value(), "");
    ASSERT_TRUE(control.setPrefix(2, "ČŘŽX"));  // characters, not bytes
    EXPECT_EQ(control.Prefix(2).value(), "ČŘŽ");
}

TEST_F(ControlProperties, SmallRulesOnSetting) {
    control.setHeidenhainFileType("");
    EXPECT_EQ(control.HeidenhainFileType(), "N");
    control.setHeidenhainFileType("xyz");
    EXPECT_EQ(control.HeidenhainFileType(), "x");
    control.setDNCMaxRepeatNo(2);
    EXPECT_EQ(control.DNCMaxRepeatNo(), 4);
    control.setDNCMaxRepeatNo(9);
    EXPECT_EQ(control.DNCMaxRepeatNo(), 9);
    control.setDNCMaxRepeatNo(-3);
    EXPECT_EQ(control.DNCMaxRepeatNo(), 4);
    control.setSourceTextExt("  NC  ");
    EXPECT_EQ(control.SourceTextExt(), "NC");
    control.setWorkDiagExt("   ");
    EXPECT_EQ(control.WorkDiagExt(), "");
}

TEST_F(ControlProperties, UnitNumbersOutsideOneToTenAreRefused) {
    for (int n : {0, 11, -1}) {
        EXPECT_FALSE(control.FerixDir(n).ok()) << n;
        EXPECT_FALSE(control.setFerixDir(n, "x").ok()) << n;
        EXPECT_FALSE(control.Prefix(n).ok()) << n;
        EXPECT_FALSE(control.setPrefix(n, "x").ok()) << n;
        EXPECT_FALSE(control.setConnected(n, true).ok()) << n;
        EXPECT_FALSE(control.Connected(n).ok()) << n;
    }
    EXPECT_EQ(control.FerixDir(0).error().number, comm::kErrSubscriptOutOfRange);
    EXPECT_THROW((void)control.FerixDir(11).value(), std::logic_error);
    EXPECT_TRUE(site.changed.empty()) << "nothing stored, nothing notified";
}

TEST_F(ControlProperties, ConnectedReadsTheStoredFlagOnlyWithTheDncProtocol) {
    ASSERT_TRUE(control.setConnected(5, true));
    ASSERT_TRUE(control.setConnected(1, false));
    ASSERT_TRUE(control.setProtocol(ProtHeidenhain));
    EXPECT_TRUE(control.Connected(1).value());
    EXPECT_FALSE(control.Connected(5).value());
    EXPECT_FALSE(control.Connected(11).value()) << "no range error outside the DNC protocol";
    ASSERT_TRUE(control.setProtocol(ProtDNC));
    EXPECT_FALSE(control.Connected(1).value());
    EXPECT_TRUE(control.Connected(5).value());
}

TEST_F(ControlProperties, PortSettingsBuildTheSettingsStringOneFieldAtATime) {
    ASSERT_TRUE(control.setCommSpeed("9600"));
    ASSERT_TRUE(control.setCommParity("e"));
    ASSERT_TRUE(control.setCommDataBit("7"));
    ASSERT_TRUE(control.setCommStopBit("1"));
    EXPECT_EQ(control.link().settings(), "9600,e,7,1");
    EXPECT_EQ(control.LineSpeed(), 9600);
}

TEST_F(ControlProperties, AnInvalidPortSettingIsRefusedAndNotStored) {
    const comm::Status refused = control.setCommParity("x");
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(refused.error().number, 380);
    EXPECT_EQ(control.CommParity(), "n");
    EXPECT_FALSE(control.setCommSpeed("fast").ok());
    EXPECT_EQ(control.CommSpeed(), "4800");
    EXPECT_EQ(control.LineSpeed(), 4800);
    EXPECT_FALSE(control.setCommHandshaking(4).ok());
    EXPECT_EQ(control.CommHandshaking(), 0);
    EXPECT_EQ(control.link().settings(), "4800,n,8,2");
}

TEST_F(ControlProperties, ClosedPortOnlyChangesTheSettingsString) {
    ASSERT_TRUE(control.setCommSpeed("19200"));
    EXPECT_EQ(line.applyControlCalls(), 0);
    EXPECT_FALSE(line.controlOpen());
    control.setCommXOnChar(0x11);
    EXPECT_EQ(line.applyControlCalls(), 0);
}

TEST_F(ControlProperties, OpenPortGetsEveryChangeApplied) {
    ASSERT_TRUE(control.setProtocol(ProtNone));
    ASSERT_TRUE(control.setActive(true));
    const int before = line.applyControlCalls();
    ASSERT_TRUE(control.setCommSpeed("9600"));
    EXPECT_EQ(line.settings().speed, 9600);
    control.setCommXOffChar(0x14);
    EXPECT_EQ(line.control().xoffChar, 0x14);
    ASSERT_TRUE(control.setCommHandshaking(comm::kHandshakeRts));
    EXPECT_EQ(line.control().handshaking, comm::kHandshakeRts);
    EXPECT_EQ(line.applyControlCalls(), before + 3);
}

TEST_F(ControlProperties, CommPortIsHandedToTheLinkOnlyWhenItDiffers) {
    control.setCommPort(3);
    EXPECT_EQ(control.CommPort(), 3);
    EXPECT_EQ(control.link().devicePath(), "virtual:3");
}

TEST_F(ControlProperties, EverySetterNotifiesUnderItsName) {
    ASSERT_TRUE(control.setFerixDir(3, "M3/"));
    ASSERT_TRUE(control.setPrefix(3, "P"));
    ASSERT_TRUE(control.setConnected(3, true));
    control.setFerixHomeDir("/srv/dnc/");
    control.setCommPort(2);
    ASSERT_TRUE(control.setCommSpeed("9600"));
    control.setWorkTextExt("NC");
    control.setF4COPYTimeout(100);
    ASSERT_TRUE(control.setProtocol(ProtHeidenhain));
    control.setHeidenhainMaster(false);
    control.setZerosInName(true);
    control.setCaption("Line 1");
    control.setLangID(0x0407);
    const std::vector<std::string> expected = {
        "FerixDir3",   "Prefix3",     "Connected3",    "FerixHomeDir", "CommPort",
        "CommSpeed",   "WorkTextExt", "F4COPYTimeout", "Protocol",     "HeidenhainMaster",
        "ZerosInName", "Caption",     "LangID"};
    EXPECT_EQ(site.changed, expected);
}

TEST_F(ControlProperties, ProtocolCannotChangeWhileActive) {
    ASSERT_TRUE(control.setProtocol(ProtNone));
    ASSERT_TRUE(control.setActive(true));
    site.changed.clear();
    EXPECT_TRUE(control.setProtocol(ProtNone).ok()) << "the same value is accepted silently";
    const comm::Status refused = control.setProtocol(ProtDNC);
    ASSERT_FALSE(refused.ok());
    EXPECT_EQ(static_cast<std::uint32_t>(refused.error().number), 0x80040014u);
    EXPECT_EQ(refused.error().source, "FerixComm");
    EXPECT_EQ(refused.error().description, "Cannot change protocol while communication is active.");
    EXPECT_EQ(refused.error().helpFile, "");
    EXPECT_EQ(refused.error().helpContext, 0);
    EXPECT_EQ(control.Protocol(), ProtNone);
    EXPECT_TRUE(site.changed.empty());
    EXPECT_TRUE(site.errors.empty()) << "raised to the caller, not as an event";
}

TEST_F(ControlProperties, LangIdSelectsTheLanguageOfTheControlsMessages) {
    control.setLangID(0x0407);
    EXPECT_EQ(control.LangID(), 0x0407);
    ASSERT_TRUE(control.setProtocol(ProtNone));
    ASSERT_TRUE(control.setActive(true));
    EXPECT_EQ(control.setProtocol(ProtDNC).error().description,
              "Das Protokoll kann bei aktiver Kommunikation nicht geändert werden.");
    control.setLangID(0x0C07);  // Austrian German: German alone
    EXPECT_EQ(control.LangID(), 0x0007);
    control.setLangID(0x040C);
    EXPECT_EQ(control.LangID(), 0);
}

}  // namespace
