// Copying a sub net's configuration between the store and its control.
#include <gtest/gtest.h>
#include <unistd.h>

#include "comm/RealHost.h"
#include "dnc/config/SubNetConfiguration.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"

namespace fs = std::filesystem;

namespace {

class SubNetConfig : public ::testing::Test {
protected:
    void SetUp() override {
        loc::selectLanguage(loc::kEnglish);
        control.setLangID(loc::kEnglish);
        dir = fs::temp_directory_path() /
              ("ferix-subnet-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    dnc::ConfigStore store() { return dnc::ConfigStore(dir / "DNC.ini"); }

    comm::RealHost host;
    sim::RecordingSite site;
    comm::ctrlFerixComm control{host, site};
    fs::path dir;
};

std::string home() {
    return std::getenv("HOME");
}

TEST_F(SubNetConfig, AnEmptyStoreGivesEverySubNetItsDefaults) {
    dnc::SubNetConfiguration config;
    int changed = 0;
    config.onConfigChanged([&] { ++changed; });
    config.ConfigureFerixCommFromRegister(control, store(), 3);
    EXPECT_EQ(changed, 1);
    EXPECT_EQ(control.Caption(), "Sub Net 3");
    EXPECT_EQ(control.CommPort(), 1);
    EXPECT_EQ(control.CommSpeed(), "4800");
    EXPECT_EQ(control.CommDataBit(), "8");
    EXPECT_EQ(control.CommParity(), "N");
    EXPECT_EQ(control.CommStopBit(), "2");
    EXPECT_EQ(control.link().settings(), "4800,N,8,2");
    EXPECT_EQ(control.CommHandshaking(), 0);
    EXPECT_EQ(control.CommXOnChar(), 17);
    EXPECT_EQ(control.CommXOffChar(), 19);
    EXPECT_EQ(control.FerixHomeDir(), home() + "/DNC3/");
    EXPECT_EQ(control.Protocol(), comm::ProtDNC);
    for (int n = 1; n <= 10; ++n) {
        EXPECT_EQ(control.FerixDir(n).value(), "Machine" + std::to_string(n) + "/");
        EXPECT_EQ(control.Prefix(n).value(), "PPG");
        EXPECT_FALSE(control.Connected(n).value());
    }
    EXPECT_TRUE(config.AutoFerixLst);
    EXPECT_FALSE(config.AutoFerixLstCont);
    EXPECT_EQ(config.Editor, dnc::defaultEditor());
    EXPECT_FALSE(fs::exists(dir / "DNC.ini")) << "reading creates nothing";
}

TEST_F(SubNetConfig, LocalizedDefaultsFollowTheLanguageInForce) {
    loc::selectLanguage(loc::kGerman);
    dnc::SubNetConfiguration german;
    german.ConfigureFerixCommFromRegister(control, store(), 12);
    EXPECT_EQ(control.Caption(), "Zweig 12");
    EXPECT_EQ(control.FerixDir(4).value(), "Maschine4/");
    loc::selectLanguage(loc::kCzech);
    dnc::SubNetConfiguration czech;
    EXPECT_EQ(czech.defaultCaption(1), "Větev 1");
    EXPECT_EQ(czech.defaultFerixDir(2), "Stroj2/");
}

TEST_F(SubNetConfig, ClosingWritesAllFiftyEightKeysInOrder) {
    dnc::SubNetConfiguration config;
    auto s = store();
    config.ConfigureFerixCommFromRegister(control, s, 3);
    ASSERT_TRUE(config.ConfigureRegisterFromFerixComm(control, s, 3));
    const auto section = s.section("Config3");
    ASSERT_EQ(section.size(), 58u);
    const auto& v = section.values();
    EXPECT_EQ(v[0], (std::pair<std::string, std::string>{"AutoFerixLst", "True"}));
    EXPECT_EQ(v[1], (std::pair<std::string, std::string>{"AutoFerixLstCont", "False"}));
    EXPECT_EQ(v[2].first, "Editor");
    EXPECT_EQ(v[3], (std::pair<std::string, std::string>{"Caption", "Sub Net 3"}));
    EXPECT_EQ(v[4], (std::pair<std::string, std::string>{"CommPort", "1"}));
    EXPECT_EQ(v[16], (std::pair<std::string, std::string>{"Protocol", "3"}));
    EXPECT_EQ(v[17].first, "SourceTextExt");
    EXPECT_EQ(v[23].first, "WorkDiagExt");
    EXPECT_EQ(v[24], (std::pair<std::string, std::string>{"FerixDir1", "Machine1/"}));
    EXPECT_EQ(v[25], (std::pair<std::string, std::string>{"Prefix1", "PPG"}));
    EXPECT_EQ(v[26], (std::pair<std::string, std::string>{"Connected1", "False"}));
    EXPECT_EQ(v[53].first, "Connected10");
    EXPECT_EQ(v[56], (std::pair<std::string, std::string>{"HeidenhainFileType", "N"}));
    EXPECT_EQ(v[57], (std::pair<std::string, std::string>{"ProtectPrograms", "False"}));
    EXPECT_EQ(s.section("Config1").size(), 0u);
}

TEST_F(SubNetConfig, WhatIsWrittenReadsBackTheSame) {
    dnc::SubNetConfiguration config;
    auto s = store();
    control.setCaption("Mill hall");
    control.setCommPort(5);
    ASSERT_TRUE(control.setCommSpeed("9600"));
    ASSERT_TRUE(control.setCommParity("e"));
    ASSERT_TRUE(control.setCommDataBit("7"));
    ASSERT_TRUE(control.setCommHandshaking(1));
    control.setF4COPYTimeout(-1);
    ASSERT_TRUE(control.setProtocol(comm::ProtTavro1));
    ASSERT_TRUE(control.setConnected(4, true));
    control.setHeidenhainCRLF(false);
    config.AutoFerixLstCont = true;
    config.Editor = "/usr/bin/vi";
    ASSERT_TRUE(config.ConfigureRegisterFromFerixComm(control, s, 7));

    comm::ctrlFerixComm other(host, site);
    dnc::SubNetConfiguration again;
    again.ConfigureFerixCommFromRegister(other, s, 7);
    EXPECT_EQ(other.Caption(), "Mill hall");
    EXPECT_EQ(other.CommPort(), 5);
    EXPECT_EQ(other.link().settings(), "9600,e,7,2");
    EXPECT_EQ(other.CommHandshaking(), 1);
    EXPECT_EQ(other.F4COPYTimeout(), -1);
    EXPECT_EQ(other.Protocol(), comm::ProtTavro1);
    EXPECT_FALSE(other.HeidenhainCRLF());
    EXPECT_TRUE(again.AutoFerixLstCont);
    EXPECT_EQ(again.Editor, "/usr/bin/vi");
    // The unit flags survive a one-unit protocol.
    ASSERT_TRUE(other.setProtocol(comm::ProtDNC));
    EXPECT_TRUE(other.Connected(4).value());
}

TEST_F(SubNetConfig, HandWrittenValuesAndBadOnesFallBackToTheirDefaults) {
    auto s = store();
    ASSERT_TRUE(s.write("Config2", {{"Connected1", "true"},
                                    {"Connected2", "-1"},
                                    {"Connected3", "0"},
                                    {"ZerosInName", "TRUE"},
                                    {"CommPort", "COM3"},
                                    {"CommXOnChar", "300"},
                                    {"CommSpeed", "fast"},
                                    {"Protocol", "2"},
                                    {"HeidenhainMaster", "maybe"}}));
    dnc::SubNetConfiguration config;
    config.ConfigureFerixCommFromRegister(control, s, 2);
    EXPECT_EQ(control.Protocol(), comm::ProtHeidenhain);
    ASSERT_TRUE(control.setProtocol(comm::ProtDNC));
    EXPECT_TRUE(control.Connected(1).value());
    EXPECT_TRUE(control.Connected(2).value());
    EXPECT_FALSE(control.Connected(3).value());
    EXPECT_TRUE(control.ZerosInName());
    EXPECT_EQ(control.CommPort(), 1);
    EXPECT_EQ(control.CommXOnChar(), 17);
    EXPECT_EQ(control.CommSpeed(), "4800");
    EXPECT_TRUE(control.HeidenhainMaster());
}

}  // namespace
