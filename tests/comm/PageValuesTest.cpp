// The values the property pages carry: read from a control, written back through its setters
// (directly, or recorded and replayed on the control's own thread).
#include <gtest/gtest.h>

#include "ControlFixture.h"
#include "comm/PageValues.h"

using comm::KindExt;
using comm::PageValues;

namespace {

class PageValuesTest : public ControlFixture {};

// A writer that only notes each call, to see what a replay hands on.
class NotingWriter : public comm::PropertyWriter {
public:
    void setCommPort(std::int16_t v) override { note("CommPort=" + std::to_string(v)); }
    void setCommSpeed(const std::string& v) override { note("CommSpeed=" + v); }
    void setFerixHomeDir(const std::string& v) override { note("FerixHomeDir=" + v); }
    void setZerosInName(bool v) override { note(std::string("ZerosInName=") + (v ? "1" : "0")); }
    void setF4COPYTimeout(std::int16_t v) override { note("F4COPY=" + std::to_string(v)); }
    void setExt(KindExt k, const std::string& v) override {
        note("Ext" + std::to_string(static_cast<int>(k)) + "=" + v);
    }
    void setFerixDir(int n, const std::string& v) override {
        note("FerixDir" + std::to_string(n) + "=" + v);
    }
    void setPrefix(int n, const std::string& v) override {
        note("Prefix" + std::to_string(n) + "=" + v);
    }
    void setConnected(int n, bool v) override {
        note("Connected" + std::to_string(n) + "=" + (v ? "1" : "0"));
    }
    std::vector<std::string> calls;

private:
    void note(std::string call) { calls.push_back(std::move(call)); }
};

}  // namespace

TEST_F(PageValuesTest, ReadsEveryValueThePagesShow) {
    control.setCommPort(3);
    ASSERT_TRUE(control.setCommSpeed("9600"));
    control.setFerixHomeDir("/srv/dnc/hall-a/");
    control.setZerosInName(true);
    control.setF4COPYTimeout(2500);
    control.setExt(KindExt::WorkDiag, "WDX");
    ASSERT_TRUE(control.setFerixDir(10, "Lathe10/"));
    ASSERT_TRUE(control.setPrefix(10, "L"));
    ASSERT_TRUE(control.setConnected(10, true));

    const PageValues v = comm::readPageValues(control);
    EXPECT_EQ(v.commPort, 3);
    EXPECT_EQ(v.commSpeed, "9600");
    EXPECT_EQ(v.ferixHomeDir, "/srv/dnc/hall-a/");
    EXPECT_TRUE(v.zerosInName);
    EXPECT_EQ(v.f4copyTimeout, 2500);
    EXPECT_EQ(v.extensions[0], "STX");
    EXPECT_EQ(v.extensions[6], "WDX");
    EXPECT_EQ(v.units[0].ferixDir, "Ferix1/");
    EXPECT_EQ(v.units[0].prefix, "PPG");
    EXPECT_FALSE(v.units[0].connected);
    EXPECT_EQ(v.units[9].ferixDir, "Lathe10/");
    EXPECT_EQ(v.units[9].prefix, "L");
    EXPECT_TRUE(v.units[9].connected);
}

// On a single-unit line Connected answers "unit 1 only"; writing that answer back would wipe
// the flags the line needs again when it returns to the addressed protocol.
TEST_F(PageValuesTest, KeptConnectedFlagsSurviveAReadAndWriteOnASingleUnitLine) {
    ASSERT_TRUE(control.setConnected(1, false));
    ASSERT_TRUE(control.setConnected(5, true));
    ASSERT_TRUE(control.setProtocol(comm::ProtHeidenhain));
    const PageValues v = comm::readPageValues(control);
    EXPECT_FALSE(v.units[0].connected);
    EXPECT_TRUE(v.units[4].connected);

    comm::ControlWriter writer(control);
    for (int n = 1; n <= comm::kUnitCount; ++n) {
        writer.setConnected(n, v.units[static_cast<std::size_t>(n - 1)].connected);
    }
    ASSERT_TRUE(control.setProtocol(comm::ProtDNC));
    EXPECT_FALSE(control.Connected(1).value());
    EXPECT_TRUE(control.Connected(5).value());
}

TEST_F(PageValuesTest, WritesGoThroughTheSettersAndTheirRules) {
    comm::ControlWriter writer(control);
    writer.setPrefix(2, "ABCD");
    writer.setPrefix(3, "AB");
    writer.setExt(KindExt::SourceText, "  NC  ");
    writer.setConnected(4, true);
    writer.setConnected(4, false);
    EXPECT_EQ(control.Prefix(2).value(), "ABC");
    EXPECT_EQ(control.Prefix(3).value(), "AB");
    EXPECT_EQ(control.SourceTextExt(), "NC");
    EXPECT_FALSE(control.StoredConnected(4));
    EXPECT_TRUE(writer.errors().empty());
    // The control tells its host of each change, in the order of the writes.
    const std::vector<std::string> expected = {"Prefix2", "Prefix3", "SourceTextExt", "Connected4",
                                               "Connected4"};
    EXPECT_EQ(site.changed, expected);
}

TEST_F(PageValuesTest, ARefusedValueIsReportedAndTheOtherWritesStillHappen) {
    comm::ControlWriter writer(control);
    writer.setCommSpeed("96OO");
    writer.setFerixDir(11, "Nowhere/");
    writer.setFerixHomeDir("/srv/dnc/");
    EXPECT_EQ(control.CommSpeed(), "4800");
    EXPECT_EQ(control.FerixHomeDir(), "/srv/dnc/");
    ASSERT_EQ(writer.errors().size(), 2U);
    EXPECT_NE(writer.errors()[0].find("96OO"), std::string::npos) << writer.errors()[0];
    EXPECT_NE(writer.errors()[1].find("11"), std::string::npos) << writer.errors()[1];
}

TEST_F(PageValuesTest, RecordedWritesReplayInTheirOrderFromACopy) {
    comm::RecordedWrites recorded;
    EXPECT_TRUE(recorded.empty());
    recorded.setCommPort(2);
    recorded.setCommSpeed("2400");
    recorded.setFerixHomeDir("/srv/");
    recorded.setZerosInName(true);
    recorded.setF4COPYTimeout(100);
    recorded.setExt(KindExt::List, "LST");
    recorded.setFerixDir(1, "A/");
    recorded.setPrefix(1, "ABCD");
    recorded.setConnected(1, true);
    const comm::RecordedWrites copy = recorded;  // as it travels in a message
    recorded.setConnected(2, true);              // the copy does not follow

    NotingWriter noted;
    copy.replay(noted);
    const std::vector<std::string> expected = {
        "CommPort=2", "CommSpeed=2400", "FerixHomeDir=/srv/", "ZerosInName=1", "F4COPY=100",
        "Ext2=LST",   "FerixDir1=A/",   "Prefix1=ABCD",       "Connected1=1"};
    EXPECT_EQ(noted.calls, expected);

    comm::ControlWriter writer(control);
    copy.replay(writer);
    EXPECT_EQ(control.CommPort(), 2);
    EXPECT_EQ(control.LineSpeed(), 2400);
    EXPECT_EQ(control.Prefix(1).value(), "ABC");
    EXPECT_TRUE(control.Connected(1).value());
    EXPECT_FALSE(control.StoredConnected(2));
}
