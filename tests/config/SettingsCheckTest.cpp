// The settings check: every kind of value that does not hold and every kind of line the store
// cannot read, reported with its line, its section and key, the value as typed and what is
// used instead; and the readers using exactly what is reported.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <fstream>

#include "comm/RealHost.h"
#include "dnc/config/SettingRules.h"
#include "dnc/config/SettingsCheck.h"
#include "dnc/config/SubNetConfiguration.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"

namespace fs = std::filesystem;
using Kind = dnc::SettingProblem::Kind;

namespace {

// The texts are compared in English.
std::vector<dnc::SettingProblem> check(const std::string& text) {
    loc::selectLanguage(loc::kEnglish);
    return dnc::checkSettingsText("DNC.ini", text);
}

struct BadValue {
    const char* section;
    const char* key;
    const char* typed;
    const char* message;  // part of the message
    const char* instead;  // the whole of what is used instead
};

TEST(SettingsCheck, EveryKindOfBadValueIsReportedWithItsLineAndTheDefaultUsed) {
    const BadValue cases[] = {
        {"Config2", "CommSpeed", "96OO", "not a line speed", "4800 is used instead"},
        {"Config2", "CommSpeed", "1234", "not a line speed", "4800 is used instead"},
        {"Config2", "CommParity", "X", "not a parity", "N is used instead"},
        {"Config2", "CommDataBit", "4", "not a number of data bits", "8 is used instead"},
        {"Config2", "CommDataBit", "eight", "not a number of data bits", "8 is used instead"},
        {"Config2", "CommStopBit", "3", "not a number of stop bits", "2 is used instead"},
        {"Config2", "CommHandshaking", "4", "not a whole number from 0 to 3", "0 is used instead"},
        {"Config2", "CommXOnChar", "300", "not a whole number from 0 to 255", "17 is used instead"},
        {"Config2", "CommXOffChar", "-1", "not a whole number from 0 to 255", "19 is used instead"},
        {"Config2", "CommPort", "COM3", "not a whole number from 1 to 32767", "1 is used instead"},
        {"Config2", "F4COPYTimeout", "40000", "not a whole number from -32768 to 32767",
         "8000 is used instead"},
        {"Config2", "DNCMaxRepeatNo", "many", "not a whole number", "4 is used instead"},
        {"Config2", "MaxProgramMegabytes", "0", "not a whole number from 1 to 4095",
         "64 is used instead"},
        {"Config2", "MaxProgramMegabytes", "8192", "not a whole number from 1 to 4095",
         "64 is used instead"},
        {"Config2", "Protocol", "7", "not a protocol number", "3 is used instead"},
        {"Config2", "Protocol", "DNC", "not a protocol number", "3 is used instead"},
        {"Config2", "Connected4", "yes", "not a boolean (True or False)", "False is used instead"},
        {"Config2", "HeidenhainMaster", "maybe", "not a boolean", "True is used instead"},
        {"Config2", "LeftSize", "0,5", "not a number", "0.334 is used instead"},
        {"Config2", "Width", "wide", "not a number", "its default is used instead"},
        {"Common", "LangID", "German", "not a whole number from 0 to 65535", "0 is used instead"},
        {"Common", "ShowInTaskbar", "on", "not a boolean", "False is used instead"},
        {"Common", "16", "ja", "not a boolean", "False is used instead"},
        {"Common", "HistoryDatabase", "postgresq://db/history",
         "neither a file nor a postgresql:// URI", "its default is used instead"},
        {"Ports", "3", "ttyUSB0", "not a device path", "the port cannot be opened"},
        {"Ports", "4", "tcp://server", "not HOST:PORT", "the port cannot be opened"},
        {"Ports", "5", "rfc2217://server:70000", "not HOST:PORT", "the port cannot be opened"},
    };
    for (const BadValue& c : cases) {
        const std::string text =
            std::string("; hand written\n\n[") + c.section + "]\n" + c.key + "=" + c.typed + "\n";
        const auto problems = check(text);
        ASSERT_EQ(problems.size(), 1u) << c.key << "=" << c.typed;
        const auto& p = problems[0];
        EXPECT_EQ(p.kind, Kind::BadValue) << c.key;
        EXPECT_EQ(p.line, 4u) << c.key;
        EXPECT_EQ(p.section, c.section);
        EXPECT_EQ(p.key, c.key);
        EXPECT_EQ(p.value, c.typed);
        EXPECT_NE(p.message().find(c.message), std::string::npos) << p.message();
        EXPECT_EQ(p.instead(), c.instead) << c.key;
        EXPECT_EQ(p.text(), "DNC.ini:4: " + std::string(c.section) + "/" + c.key + ": " +
                                p.message() + "; " + c.instead);
        EXPECT_TRUE(p.lostOnWrite());
    }
}

TEST(SettingsCheck, ValuesTheControlStoresChangedAreReportedWithWhatItStores) {
    const auto problems = check(
        "[Config1]\nPrefix3=ABCD\nHeidenhainFileType=xyz\nDNCMaxRepeatNo=2\n"
        "SourceTextExt=\" NC \"\nHeidenhainFileType2=\n");
    ASSERT_EQ(problems.size(), 4u);
    EXPECT_EQ(problems[0].kind, Kind::AdjustedValue);
    EXPECT_EQ(problems[0].text(),
              "DNC.ini:2: Config1/Prefix3: \"ABCD\" is longer than 3 characters; \"ABC\" is used "
              "instead");
    EXPECT_EQ(problems[1].instead(), "\"x\" is used instead");
    EXPECT_EQ(problems[2].instead(), "4 is used instead");
    EXPECT_EQ(problems[3].line, 5u);
    EXPECT_EQ(problems[3].value, "\" NC \"");
    EXPECT_EQ(problems[3].instead(), "\"NC\" is used instead");
}

TEST(SettingsCheck, EveryKindOfUnreadableLineIsReportedAndSkipped) {
    const std::string text = std::string(
                                 "[Config2]\n"
                                 "CommSpeed=9600\n"
                                 "[Config1\n"    // 3: header without "]"
                                 "just words\n"  // 4: no "="
                                 "=4800\n"       // 5: no key
                                 "Bad") +
                             '\0' +
                             "Line=1\n"              // 6: a NUL byte
                             " \xEF\xBB\xBFKey=1\n"  // 7: a byte order mark inside
                             "[Config3] hall B\n"    // 8: text behind the header
                             "Caption=A\n"           // 9: given again on 10
                             "caption=B\n";
    const auto problems = check(text);
    ASSERT_EQ(problems.size(), 7u);
    const std::size_t lines[] = {3, 4, 5, 6, 7, 8, 9};
    const Kind kinds[] = {Kind::UnreadableLine, Kind::UnreadableLine, Kind::UnreadableLine,
                          Kind::UnreadableLine, Kind::UnreadableLine, Kind::IgnoredText,
                          Kind::RepeatedKey};
    for (std::size_t i = 0; i < problems.size(); ++i) {
        EXPECT_EQ(problems[i].line, lines[i]) << i;
        EXPECT_EQ(problems[i].kind, kinds[i]) << i;
        EXPECT_TRUE(problems[i].lostOnWrite()) << i;
    }
    EXPECT_EQ(problems[0].text(),
              "DNC.ini:3: Config2: \"[Config1\" cannot be read: a section header without its "
              "closing \"]\"; the line is skipped");
    EXPECT_NE(problems[1].message().find("neither \"key=value\" nor a [section]"),
              std::string::npos);
    EXPECT_NE(problems[2].message().find("a value without a key"), std::string::npos);
    EXPECT_EQ(problems[3].value, "Bad\\x00Line=1") << "a NUL is shown, not printed";
    EXPECT_NE(problems[4].message().find("byte order mark"), std::string::npos);
    EXPECT_EQ(problems[5].section, "Config3");
    EXPECT_EQ(problems[5].value, "hall B");
    EXPECT_EQ(problems[6].key, "Caption");
    EXPECT_EQ(problems[6].instead(),
              "the value of line 10 is used and this line is dropped when the settings are saved");
}

TEST(SettingsCheck, EntriesThatAreNeverReadAreReportedButNotLost) {
    const auto problems = check("Stray=1\n[Ports]\nCOM1=/dev/ttyS0\n");
    ASSERT_EQ(problems.size(), 2u);
    EXPECT_EQ(problems[0].kind, Kind::OutsideSection);
    EXPECT_EQ(problems[0].text(),
              "DNC.ini:1: /Stray: the entry stands before the first [section]; "
              "it is ignored");
    EXPECT_EQ(problems[1].kind, Kind::NotAPortNumber);
    EXPECT_FALSE(problems[0].lostOnWrite());
    EXPECT_FALSE(problems[1].lostOnWrite());
}

TEST(SettingsCheck, WhatTheProgramWritesAndWhatAPersonMayWriteHolds) {
    const auto problems = check(
        "\xEF\xBB\xBF; settings\r\n[common]\r\nLangID=1031\r\n1=true\r\n2=-1\r\n3=0\r\n"
        "[PORTS]\r\n1=/dev/ttyUSB0\r\n2=tcp://moxa.hall-b:4001\r\n3=rfc2217://[fe80::1]:7000\r\n"
        "4=rfc2217://10.0.0.7:2217\r\n"
        "[config16]\r\ncommspeed=115200\r\nCommParity=e\r\nCommDataBit=7\r\nCommStopBit=1.5\r\n"
        "CommHandshaking=3\r\nProtocol=5\r\nPrefix1=AB\r\nPrefix2=\r\nF4COPYTimeout=-1\r\n"
        "Caption=\" Hall \"\r\nFerixDir11=anything\r\nUnknownKey=anything\r\n"
        "[Config17]\r\nCommSpeed=fast\r\n[Other]\r\nCommSpeed=fast\r\n");
    for (const auto& p : problems) {
        ADD_FAILURE() << p.text();
    }
}

TEST(SettingsCheck, TheTextsFollowTheLanguageOfTheThread) {
    auto problems = check("[Config2]\nCommSpeed=96OO\nfoo\n");
    ASSERT_EQ(problems.size(), 2u);
    loc::selectLanguage(loc::kGerman);
    EXPECT_EQ(problems[0].text(),
              "DNC.ini:2: Config2/CommSpeed: \"96OO\" ist keine Geschwindigkeit einer seriellen "
              "Schnittstelle (eine Normrate von 50 bis 921600 Baud, etwa 9600); stattdessen gilt "
              "4800");
    loc::selectLanguage(loc::kCzech);
    EXPECT_EQ(problems[1].text(),
              "DNC.ini:3: Config2: \"foo\" nelze přečíst: není to \"klíč=hodnota\" ani [oddíl]; "
              "řádek se přeskočí");
    loc::selectLanguage(loc::kEnglish);
}

// Every text of the check in every language, with the same values to fill in.
TEST(SettingsCheck, EveryLanguageHasEveryTextWithTheSameValues) {
    const auto markers = [](const std::string& text) {
        std::string found;
        for (std::size_t i = 0; i + 1 < text.size(); ++i) {
            if (text[i] == '%' && text[i + 1] >= '1' && text[i + 1] <= '9') {
                found += text[i + 1];
            }
        }
        std::sort(found.begin(), found.end());
        return found;
    };
    for (int id = 1400; id <= 1437; ++id) {
        const std::string english = loc::resString(id, loc::kEnglish);
        if (id > 1424 && id < 1430) {
            EXPECT_TRUE(english.empty()) << id;
            continue;
        }
        ASSERT_FALSE(english.empty()) << id;
        for (const std::uint16_t language : {loc::kGerman, loc::kCzech}) {
            const std::string text = loc::resString(id, language);
            EXPECT_FALSE(text.empty()) << id;
            EXPECT_NE(text, english) << id;
            EXPECT_EQ(markers(text), markers(english)) << id << " " << text;
        }
    }
}

TEST(SettingsCheck, NetworkPortNamesAreCheckedForTheirShapeOnly) {
    EXPECT_TRUE(dnc::isNetworkPortName("tcp://127.0.0.1:3001"));
    EXPECT_TRUE(dnc::isNetworkPortName("rfc2217://ser2net.local:7000"));
    EXPECT_TRUE(dnc::isNetworkPortName("tcp://[::1]:65535"));
    for (const char* bad :
         {"tcp://host", "tcp://:80", "tcp://host:0", "tcp://host:65536", "tcp://host:+80",
          "tcp://ho st:80", "tcp://[::1:80", "udp://host:80", "rfc2217://host:port"}) {
        EXPECT_FALSE(dnc::isNetworkPortName(bad)) << bad;
    }
}

TEST(SettingsCheck, AnAbsentFileHasNoProblems) {
    EXPECT_TRUE(dnc::checkSettingsFile("/nonexistent/DNC.ini").empty());
}

// The control reads what the check reports.
class CheckedReading : public ::testing::Test {
protected:
    void SetUp() override {
        loc::selectLanguage(loc::kEnglish);
        dir = fs::temp_directory_path() /
              ("ferix-checked-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    void TearDown() override { fs::remove_all(dir); }

    comm::RealHost host;
    sim::RecordingSite site;
    comm::ctrlFerixComm control{host, site};
    fs::path dir;
};

TEST_F(CheckedReading, TheControlGetsWhatTheCheckSaysIsUsed) {
    std::ofstream(dir / "DNC.ini") << "[Config2]\nCommSpeed=96OO\nCommDataBit=4\nCommStopBit=3\n"
                                      "CommParity=Q\nCommHandshaking=7\nProtocol=9\n"
                                      "DNCMaxRepeatNo=2\nPrefix1=ABCD\nConnected1=maybe\n"
                                      "HeidenhainCRLF=nope\nCommPort=0\n";
    const dnc::ConfigStore store(dir / "DNC.ini");
    dnc::SubNetConfiguration config;
    ASSERT_TRUE(control.setProtocol(comm::ProtNone));
    config.ConfigureFerixCommFromRegister(control, store, 2);
    EXPECT_EQ(control.link().settings(), "4800,N,8,2");
    EXPECT_EQ(control.LineSpeed(), 4800);
    EXPECT_EQ(control.CommHandshaking(), 0);
    EXPECT_EQ(control.Protocol(), comm::ProtDNC);
    EXPECT_EQ(control.DNCMaxRepeatNo(), 4);
    EXPECT_EQ(control.Prefix(1).value(), "ABC");
    EXPECT_FALSE(control.Connected(1).value());
    EXPECT_TRUE(control.HeidenhainCRLF());
    EXPECT_EQ(control.CommPort(), 1);
    EXPECT_EQ(dnc::checkSettingsFile(dir / "DNC.ini").size(), 11u);
}

}  // namespace
