// Saving and restoring the control's state.
#include "tests/comm/ControlFixture.h"

namespace {

using Value = comm::PropertyBag::Value;

class ControlPersistence : public ControlFixture {};

std::vector<std::string> names(const comm::PropertyBag& bag) {
    std::vector<std::string> result;
    for (const auto& entry : bag.entries()) {
        result.push_back(entry.first);
    }
    return result;
}

TEST_F(ControlPersistence, AnEmptyBagGivesTheDefaults) {
    ASSERT_TRUE(control.setFerixDir(7, "elsewhere/"));
    ASSERT_TRUE(control.setPrefix(7, "Q"));
    ASSERT_TRUE(control.setCommSpeed("9600"));
    control.setCommPort(4);
    control.setWorkDiagExt("X");
    control.setF4COPYTimeout(1);
    control.ReadProperties(comm::PropertyBag());
    EXPECT_EQ(control.FerixDir(7).value(), "Ferix7/");
    EXPECT_EQ(control.Prefix(7).value(), "PPG");
    EXPECT_EQ(control.Protocol(), comm::ProtDNC);
    EXPECT_EQ(control.CommSpeed(), "4800");
    EXPECT_EQ(control.CommPort(), 1);
    EXPECT_EQ(control.SourceTextExt(), "STX");
    EXPECT_EQ(control.WorkTextExt(), "WTX");
    EXPECT_EQ(control.ListExt(), "FDI");
    EXPECT_EQ(control.SourceMacroExt(), "SMC");
    EXPECT_EQ(control.WorkMacroExt(), "WMC");
    EXPECT_EQ(control.SourceDiagExt(), "SDG");
    EXPECT_EQ(control.WorkDiagExt(), "WDG");
    EXPECT_EQ(control.F4COPYTimeout(), 8000);
    EXPECT_FALSE(control.Active());
    EXPECT_EQ(control.FerixHomeDir(), comm::defaultFerixHomeDir());
}

TEST_F(ControlPersistence, SavesOnlyWhatDiffersInTheFixedKeyOrder) {
    comm::PropertyBag bag;
    control.WriteProperties(bag);
    EXPECT_TRUE(bag.entries().empty()) << "defaults are not kept";

    ASSERT_TRUE(control.setConnected(10, true));
    ASSERT_TRUE(control.setPrefix(1, "AB"));
    control.setHeidenhainCRLF(false);
    control.setZerosInName(true);
    ASSERT_TRUE(control.setCommStopBit("1"));
    control.setCommXOnChar(1);
    control.setCommPort(2);
    control.WriteProperties(bag);
    const std::vector<std::string> expected = {"CommPort",    "CommStopBit",    "CommXOnChar",
                                               "ZerosInName", "HeidenhainCRLF", "Prefix1",
                                               "Connected10"};
    EXPECT_EQ(names(bag), expected);
    EXPECT_EQ(bag.find("Connected10"), Value(true));
    EXPECT_EQ(bag.find("CommStopBit"), Value(std::string("1")));
}

TEST_F(ControlPersistence, RoundTripsEveryValue) {
    control.setCommPort(5);
    ASSERT_TRUE(control.setCommSpeed("19200"));
    ASSERT_TRUE(control.setCommParity("o"));
    ASSERT_TRUE(control.setCommDataBit("7"));
    ASSERT_TRUE(control.setCommStopBit("1"));
    ASSERT_TRUE(control.setCommHandshaking(3));
    control.setCommXOnChar(0x21);
    control.setCommXOffChar(0x22);
    control.setDNCMaxRepeatNo(7);
    control.setFerixHomeDir("/srv/dnc/");
    control.setZerosInName(true);
    control.setListExt("LST");
    control.setF4COPYTimeout(1234);
    ASSERT_TRUE(control.setProtocol(comm::ProtTavro1));
    control.setHeidenhainMaster(false);
    control.setHeidenhainFileType("I");
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        ASSERT_TRUE(control.setFerixDir(n, "Mill" + std::to_string(n) + "/"));
        ASSERT_TRUE(control.setConnected(n, n % 2 == 0));
    }
    comm::PropertyBag bag;
    control.WriteProperties(bag);

    sim::VirtualLine otherLine(host, "virtual:9");
    comm::ctrlFerixComm restored(host, site, otherLine.controlEnd());
    restored.ReadProperties(bag);
    comm::PropertyBag again;
    restored.WriteProperties(again);
    EXPECT_EQ(again.entries(), bag.entries());
    EXPECT_EQ(restored.link().settings(), "19200,o,7,1");
    EXPECT_EQ(restored.LineSpeed(), 19200);
}

TEST_F(ControlPersistence, LoadingTakesFiveValuesWithoutTheirRules) {
    comm::PropertyBag bag;
    bag.set("Protocol", Value(std::int32_t{2}));
    bag.set("HeidenhainFileType", Value(std::string("xyz")));
    bag.set("HeidenhainMaster", Value(false));
    bag.set("Active", Value(true));
    bag.set("DNCMaxRepeatNo", Value(std::int32_t{1}));
    bag.set("Prefix4", Value(std::string("LONGER")));
    bag.set("SourceTextExt", Value(std::string(" NC ")));
    control.ReadProperties(bag);
    EXPECT_EQ(control.Protocol(), comm::ProtHeidenhain);
    EXPECT_EQ(control.HeidenhainFileType(), "xyz");
    EXPECT_FALSE(control.HeidenhainMaster());
    EXPECT_FALSE(control.Active()) << "a loaded Active never claims an open line";
    EXPECT_FALSE(line.controlOpen());
    EXPECT_EQ(control.DNCMaxRepeatNo(), 4);
    EXPECT_EQ(control.Prefix(4).value(), "LON");
    EXPECT_EQ(control.SourceTextExt(), "NC");
}

TEST_F(ControlPersistence, LoadingWhileActiveNeitherFailsNorStopsTheLine) {
    ASSERT_TRUE(control.setProtocol(comm::ProtNone));
    ASSERT_TRUE(control.setActive(true));
    comm::PropertyBag bag;
    bag.set("Protocol", Value(std::int32_t{4}));
    bag.set("Active", Value(false));
    control.ReadProperties(bag);
    EXPECT_TRUE(control.Active());
    EXPECT_TRUE(line.controlOpen());
}

TEST_F(ControlPersistence, BadStoredValuesFallBackInsteadOfFailing) {
    comm::PropertyBag bag;
    bag.set("CommPort", Value(std::string("three")));
    bag.set("CommSpeed", Value(std::string("fast")));
    bag.set("ZerosInName", Value(std::string("True")));
    bag.set("Connected2", Value(std::string("-1")));
    bag.set("F4COPYTimeout", Value(std::string("250")));
    control.ReadProperties(bag);
    EXPECT_EQ(control.CommPort(), 1);
    EXPECT_EQ(control.CommSpeed(), "4800");
    EXPECT_TRUE(control.ZerosInName());
    EXPECT_TRUE(control.Connected(2).value());
    EXPECT_EQ(control.F4COPYTimeout(), 250);
}

TEST(PropertyBag, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    comm::PropertyBag bag;
    bag.WriteProperty("FerixDir1", Value(std::string("a")), Value(std::string("b")));
    bag.WriteProperty("FERIXDIR1", Value(std::string("c")), Value(std::string("b")));
    ASSERT_EQ(bag.entries().size(), 1u);
    EXPECT_EQ(bag.entries()[0].first, "FerixDir1");
    EXPECT_EQ(bag.readString("ferixdir1", "b"), "c");
    bag.WriteProperty("FerixDir1", Value(std::string("b")), Value(std::string("b")));
    EXPECT_TRUE(bag.entries().empty()) << "writing the default drops the kept value";
}

}  // namespace
