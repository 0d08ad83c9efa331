// The configuration dialog's rules without a window: lists, protocol changes, unit rules, the
// checks before applying, the refused values, and applying to a control.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>

#include "TestFolder.h"
#include "comm/RealHost.h"
#include "dnc/common/FileChecks.h"
#include "dnc/config/ApplyChecks.h"
#include "dnc/config/ConfigDialogRules.h"
#include "dnc/config/ConfigFields.h"
#include "dnc/config/SubNetConfiguration.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"

namespace fs = std::filesystem;
using namespace dnc;
using namespace dnc::configdialog;

namespace {

std::string english(int id) {
    return loc::resString(id);
}

class Folder : public TestFolder {
public:
    Folder() : TestFolder("ferix-cfgrules") {}
};

void executable(const fs::path& file) {
    std::ofstream(file) << "#!/bin/sh\n";
    ::chmod(file.c_str(), 0755);
}

// Fields that pass every check: a root with unit 1 connected and an editor on the path.
ConfigFields goodFields(const Folder& folder) {
    fs::create_directories(folder.path() / "Mill1");
    executable(folder.path() / "myeditor");
    ConfigFields f;
    f.ferixHomeDir = folder.text();
    f.ferixDir[0] = "Mill1/";
    f.connected[0] = true;
    f.editor = "myeditor";
    f.commSpeed = "9600";
    f.commXOnChar = "17";
    f.commXOffChar = "19";
    f.f4copyTimeout = "8000";
    f.dncMaxRepeatNo = "4";
    return f;
}

class ConfigDialogRules : public ::testing::Test {
protected:
    void SetUp() override { loc::selectLanguage(loc::kEnglish); }
};

TEST_F(ConfigDialogRules, ListsHoldTheirItemsVerbatimAndInOrder) {
    const auto& protocols = protocolItems();
    ASSERT_EQ(protocols.size(), 5u);
    EXPECT_STREQ(protocols[0].text, "Bez protokolu");
    EXPECT_EQ(protocols[0].data, comm::ProtNone);
    EXPECT_STREQ(protocols[1].text, "Bez protokolu, s koncovým znakem  EOF");
    EXPECT_EQ(protocols[1].data, comm::ProtNoneEOF);
    EXPECT_EQ(protocols[2].data, comm::ProtHeidenhain);
    EXPECT_STREQ(protocols[3].text, "protokol Tavro1");
    EXPECT_EQ(protocols[3].data, comm::ProtTavro1);
    EXPECT_EQ(protocols[4].data, comm::ProtDNC);
    EXPECT_EQ(indexOfData(protocols, comm::ProtFerix), -1);  // not offered

    ASSERT_EQ(speedItems().size(), 12u);
    EXPECT_STREQ(speedItems()[9], "38400 ");
    EXPECT_STREQ(speedItems().back(), "115200");
    EXPECT_STREQ(parityItems()[1].text, "E - Sudá ( Even)");
    EXPECT_EQ(parityItems()[3].data, 'M');
    EXPECT_EQ(parityIndex("e"), 1);  // the stored parity in any case
    EXPECT_EQ(parityIndex("Space"), 4);
    EXPECT_EQ(parityIndex(""), -1);
    EXPECT_STREQ(handshakingItems()[3], "RTS/CTS a XON/XOFF");
}

TEST_F(ConfigDialogRules, ProtocolChangeSetsTheSerialSettingsOfItsProtocol) {
    const ProtocolChange heidenhain = protocolChange(comm::ProtHeidenhain);
    EXPECT_EQ(heidenhain.dataBits, "7");
    EXPECT_EQ(heidenhain.parity, 'E');
    EXPECT_EQ(heidenhain.stopBits, "2");
    EXPECT_EQ(heidenhain.handshaking, 0);
    EXPECT_FALSE(heidenhain.fileTypeList);
    EXPECT_TRUE(heidenhain.oneUnit);

    const ProtocolChange dncLine = protocolChange(comm::ProtDNC);
    EXPECT_EQ(dncLine.dataBits, "8");
    EXPECT_EQ(dncLine.parity, 'N');
    EXPECT_EQ(dncLine.handshaking, 0);
    EXPECT_FALSE(dncLine.oneUnit);

    const ProtocolChange tavro = protocolChange(comm::ProtTavro1);
    EXPECT_EQ(tavro.dataBits, "8");
    EXPECT_EQ(tavro.parity, 'N');
    EXPECT_FALSE(tavro.handshaking.has_value());  // handshaking stays
    EXPECT_TRUE(tavro.fileTypeList);

    for (const comm::ProtocolEnum plain : {comm::ProtNone, comm::ProtNoneEOF}) {
        const ProtocolChange change = protocolChange(plain);
        EXPECT_FALSE(change.dataBits || change.parity || change.stopBits || change.handshaking);
        EXPECT_FALSE(change.fileTypeList);
        EXPECT_TRUE(change.oneUnit);
    }
}

TEST_F(ConfigDialogRules, FileTypeKeepsTheRememberedLetter) {
    std::vector<std::string> items;
    for (int id = kFileTypeFirst; id <= kFileTypeLast; ++id) {
        items.push_back(english(id));
    }
    EXPECT_EQ(firstCharacter("  A (text in directory CMOS, partprograms) "), "A");
    EXPECT_EQ(fileTypeIndex(items, "A"), 2);
    EXPECT_EQ(fileTypeIndex(items, "D"), 8);
    EXPECT_EQ(fileTypeIndex(items, "X"), -1);  // stands as typed text
    EXPECT_EQ(fileTypeIndex({}, "A"), -1);     // an emptied list
    EXPECT_EQ(fileTypeIndex(items, ""), -1);
}

TEST_F(ConfigDialogRules, UnitRulesFollowProtocolAndTicks) {
    std::array<bool, comm::kUnitCount> connected{};
    connected[3] = true;
    auto units = unitRules(comm::ProtDNC, connected);
    for (std::size_t i = 0; i < units.size(); ++i) {
        EXPECT_TRUE(units[i].connectedBox) << i;
        EXPECT_EQ(units[i].fields, i == 3) << i;
    }
    connected[3] = false;
    EXPECT_FALSE(unitRules(comm::ProtDNC, connected)[3].fields);

    connected.fill(true);  // whatever is ticked, a one-unit line has unit 1 only
    units = unitRules(comm::ProtHeidenhain, connected);
    EXPECT_FALSE(units[0].connectedBox);
    EXPECT_TRUE(units[0].fields);
    for (std::size_t i = 1; i < units.size(); ++i) {
        EXPECT_FALSE(units[i].connectedBox || units[i].fields) << i;
    }
}

TEST_F(ConfigDialogRules, RootAndUnitsAreCheckedInTurnTheEditorOnlyWarned) {
    const Folder folder;
    ConfigFields f = goodFields(folder);
    const std::string path = folder.path().string();
    EXPECT_FALSE(applyProblem(f, path, english));

    f.ferixHomeDir = "  " + folder.text() + " ";  // blanks and the last separator go
    EXPECT_FALSE(applyProblem(f, path, english));

    f.ferixHomeDir = folder.text() + "gone/";
    EXPECT_EQ(applyProblem(f, path, english), english(770) + "\n(" + folder.text() + "gone/)");

    f = goodFields(folder);
    f.connected[3] = true;
    f.ferixDir[3] = "Lathe4/";
    EXPECT_EQ(applyProblem(f, path, english),
              "Ferix directory 4 " + english(772) + "\n(" + folder.text() + "Lathe4/)");
    f.connected[3] = false;  // a unit that is not connected needs no directory
    EXPECT_FALSE(applyProblem(f, path, english));

    // A missing editor is a warning of its own, never a reason to refuse the settings.
    f.editor = "nosucheditor";
    EXPECT_FALSE(applyProblem(f, path, english));
    EXPECT_EQ(editorProblem(f.editor, path, english), english(773) + " (nosucheditor)");
    EXPECT_FALSE(editorProblem((folder.path() / "myeditor").string(), "/nonexistent", english))
        << "a path as written";
}

TEST_F(ConfigDialogRules, EditorIsLookedUpAlongColonSeparatedPath) {
    const Folder folder;
    fs::create_directories(folder.path() / "bin");
    executable(folder.path() / "bin" / "ed2");
    std::ofstream(folder.path() / "plain") << "not executable";
    const std::string path = "/nonexistent:" + (folder.path() / "bin").string() + ":/usr/bin";
    EXPECT_EQ(findOnPath(" ed2 ", path), (folder.path() / "bin" / "ed2").string());
    EXPECT_TRUE(FileExistsOnPath("sh", path));
    EXPECT_FALSE(FileExistsOnPath("ed2", "/usr/bin"));
    EXPECT_FALSE(FileExistsOnPath((folder.path() / "plain").string(), path));
    EXPECT_FALSE(FileExistsOnPath("", path));
    // A bare name is not taken from the current directory unless the path says so.
    const fs::path before = fs::current_path();
    fs::current_path(folder.path() / "bin");
    EXPECT_FALSE(FileExistsOnPath("ed2", "/usr/bin"));
    EXPECT_TRUE(FileExistsOnPath("ed2", "/usr/bin:"));
    fs::current_path(before);

    EXPECT_TRUE(DirectoryExists(" " + folder.text() + " "));
    EXPECT_FALSE(DirectoryExists((folder.path() / "plain").string()));
    EXPECT_FALSE(DirectoryExists("   "));
    EXPECT_EQ(trimDirectoryPath("/"), "/");
}

TEST_F(ConfigDialogRules, OutOfRangeNumbersAreRefusedNamingTheirField) {
    const Folder folder;
    ConfigFields f = goodFields(folder);
    ConfigNumbers numbers;
    f.commXOnChar = " 18 ";
    f.dncMaxRepeatNo = "2";  // raised to the least count by the control, not refused
    EXPECT_FALSE(readNumbers(f, numbers));
    EXPECT_EQ(numbers.xon, 18);
    EXPECT_EQ(numbers.repeats, 2);

    struct Case {
        std::string ConfigFields::*field;
        std::string text;
        int label;
    };
    const Case cases[] = {{&ConfigFields::commXOnChar, "256", fieldlabel::XOn},
                          {&ConfigFields::commXOffChar, "-1", fieldlabel::XOff},
                          {&ConfigFields::commXOffChar, "DC3", fieldlabel::XOff},
                          {&ConfigFields::commXOnChar, "", fieldlabel::XOn},
                          {&ConfigFields::f4copyTimeout, "8000.5", fieldlabel::Timeout},
                          {&ConfigFields::f4copyTimeout, "40000", fieldlabel::Timeout},
                          {&ConfigFields::dncMaxRepeatNo, "four", fieldlabel::Repeats},
                          {&ConfigFields::commSpeed, "96OO", fieldlabel::Speed}};
    for (const Case& c : cases) {
        ConfigFields bad = goodFields(folder);
        bad.*c.field = c.text;
        const auto refusal = readNumbers(bad, numbers);
        ASSERT_TRUE(refusal) << c.text;
        EXPECT_EQ(refusal->field, c.label) << c.text;
        EXPECT_NE(refusal->message.find("\"" + c.text + "\""), std::string::npos)
            << refusal->message;
    }
    ConfigFields bad = goodFields(folder);
    bad.commXOnChar = "300";
    EXPECT_EQ(readNumbers(bad, numbers)->message, "\"300\" is not a whole number from 0 to 255");
}

TEST_F(ConfigDialogRules, UnitDirectoryIsTakenOnlyBeneathTheRoot) {
    EXPECT_EQ(unitDirectoryText("/srv/dnc/", "/srv/dnc/Mill1"), "Mill1/");
    EXPECT_EQ(unitDirectoryText("/srv/dnc", "/srv/dnc/hall/Mill1/"), "hall/Mill1/");
    EXPECT_EQ(unitDirectoryText("/srv/dnc/", "/srv/dnc"), "");
    EXPECT_EQ(unitDirectoryText("/srv/dnc/", "/srv/dnc/a/../b"), "b/");
    EXPECT_FALSE(unitDirectoryText("/srv/dnc/", "/srv/dnc2/Mill1"));  // not a name prefix
    EXPECT_FALSE(unitDirectoryText("/srv/dnc/", "/srv/DNC/Mill1"));   // names compare exactly
    EXPECT_FALSE(unitDirectoryText("/srv/dnc/", "/srv"));
    EXPECT_FALSE(unitDirectoryText("/srv/dnc/", "/srv/dnc/../other"));
    EXPECT_FALSE(unitDirectoryText("", "/srv/dnc"));
    EXPECT_EQ(rootDirectoryText("/srv/dnc"), "/srv/dnc/");
    EXPECT_EQ(rootDirectoryText("/srv/dnc/"), "/srv/dnc/");
}

TEST_F(ConfigDialogRules, ChainFilesJoinRootUnitAndName) {
    EXPECT_EQ(chainFilePath(" /srv/dnc/", "Mill1/ ", Chain::In), fs::path("/srv/dnc/Mill1/In.cnv"));
    EXPECT_EQ(chainFilePath("/srv/dnc/", "Mill1/", Chain::Out), fs::path("/srv/dnc/Mill1/Out.cnv"));
}

TEST_F(ConfigDialogRules, PortItemsShowDeviceAndState) {
    EXPECT_EQ(portItemText(3, "/dev/ttyUSB0", PortState::Free, english),
              "Com 3: /dev/ttyUSB0 (free)");
    EXPECT_EQ(portItemText(1, "/dev/ttyS0", PortState::NotAvailable, english),
              "Com 1: /dev/ttyS0 (not available)");
    EXPECT_EQ(portItemText(2, "/dev/x", PortState::Used, english), "Com 2: /dev/x (used)");
    EXPECT_EQ(portItemText(2, "/dev/x", PortState::NoPermission, english),
              "Com 2: /dev/x (no permission)");
    EXPECT_EQ(portItemText(2, "/dev/x", PortState::NotSerial, english), "Com 2: /dev/x (error)");
    EXPECT_EQ(portItemText(16, "/dev/x", std::nullopt, english), "Com 16: /dev/x");
    for (const std::uint16_t language : {loc::kGerman, loc::kCzech}) {
        loc::selectLanguage(language);
        EXPECT_NE(portStateText(PortState::NoPermission, english), " (no permission)");
        EXPECT_NE(english(kPortPermissionHint).find("dialout"), std::string::npos);
    }
}

class ApplyToControl : public ConfigDialogRules {
protected:
    comm::RealHost host;
    sim::RecordingSite site;
    comm::ctrlFerixComm control{host, site};
};

TEST_F(ApplyToControl, EveryFieldReachesItsPropertyAndConfigChangedIsRaisedOnce) {
    const Folder folder;
    SubNetConfiguration configuration;
    int raised = 0;
    configuration.onConfigChanged([&] { ++raised; });
    ConfigFields f = goodFields(folder);
    f.caption = "Hall B";
    f.protocol = comm::ProtHeidenhain;
    f.autoFerixLst = false;
    f.autoFerixLstCont = true;
    f.editor = "  myeditor ";
    f.commPort = 5;
    f.commSpeed = "38400 ";
    f.commDataBit = "7";
    f.commStopBit = "1";
    f.commParity = 'E';
    f.commHandshaking = 2;
    f.commXOnChar = "1";
    f.commXOffChar = "2";
    f.ferixDir[0] = " Mill1/ ";
    f.prefix[1] = "ABC";
    f.zerosInName = true;
    f.f4copyTimeout = "1234";
    f.dncMaxRepeatNo = "9";
    f.extensions = {"a", "b", "c", "d", "e", "f", "g"};
    f.heidenhainMaster = false;
    f.heidenhainCRLF = false;
    f.heidenhainFileType = " A (text in directory CMOS, partprograms)";
    ConfigNumbers numbers;
    ASSERT_FALSE(readNumbers(f, numbers));
    EXPECT_TRUE(applyToControl(f, numbers, control, configuration));
    EXPECT_EQ(raised, 1);

    EXPECT_FALSE(configuration.AutoFerixLst);
    EXPECT_TRUE(configuration.AutoFerixLstCont);
    EXPECT_EQ(configuration.Editor, "myeditor");
    EXPECT_EQ(control.Caption(), "Hall B");
    EXPECT_EQ(control.Protocol(), comm::ProtHeidenhain);
    EXPECT_EQ(control.CommPort(), 5);
    EXPECT_EQ(control.link().settings(), "38400,E,7,1");
    EXPECT_EQ(control.CommHandshaking(), 2);
    EXPECT_EQ(control.CommXOnChar(), 1);
    EXPECT_EQ(control.CommXOffChar(), 2);
    EXPECT_EQ(control.FerixDir(1).value(), "Mill1/");
    EXPECT_EQ(control.Prefix(2).value(), "ABC");
    EXPECT_TRUE(control.ZerosInName());
    EXPECT_EQ(control.F4COPYTimeout(), 1234);
    EXPECT_EQ(control.DNCMaxRepeatNo(), 9);
    EXPECT_EQ(control.ext(comm::KindExt::WorkDiag), "g");
    EXPECT_FALSE(control.HeidenhainMaster());
    EXPECT_FALSE(control.HeidenhainCRLF());
    EXPECT_EQ(control.HeidenhainFileType(), "A");

    // What is read back is what was applied (as the control keeps it).
    const ControlSnapshot back = readControl(control, configuration);
    EXPECT_FALSE(back.active);
    EXPECT_EQ(back.fields.caption, "Hall B");
    EXPECT_EQ(back.fields.commParity, 'E');
    EXPECT_EQ(back.fields.commXOnChar, "1");
    EXPECT_EQ(back.fields.f4copyTimeout, "1234");
    EXPECT_EQ(back.fields.heidenhainFileType, "A");
    // Under a one-unit protocol the control reports unit 1 connected, unit 2 not.
    EXPECT_TRUE(back.fields.connected[0]);
    EXPECT_FALSE(back.fields.connected[1]);
}

TEST_F(ApplyToControl, AVisitToAOneUnitProtocolKeepsTheUnitsOfTheLine) {
    const Folder folder;
    SubNetConfiguration configuration;
    ConfigFields f = goodFields(folder);
    f.protocol = comm::ProtDNC;
    f.connected = {true, false, true, true};
    f.ferixDir[2] = "Mill3/";
    f.ferixDir[3] = "Mill4/";
    f.commDataBit = "8";
    f.commStopBit = "1";
    ConfigNumbers numbers;
    ASSERT_FALSE(readNumbers(f, numbers));
    ASSERT_TRUE(applyToControl(f, numbers, control, configuration));

    // The dialog shows a Heidenhain line as the control reports it: unit 1 only.
    ConfigFields heidenhain = readControl(control, configuration).fields;
    heidenhain.protocol = comm::ProtHeidenhain;
    heidenhain.connected = {true};
    ASSERT_TRUE(applyToControl(heidenhain, numbers, control, configuration));
    EXPECT_FALSE(control.Connected(3).value());

    ConfigFields back = readControl(control, configuration).fields;
    back.protocol = comm::ProtDNC;
    back.connected = back.storedConnected;  // as the dialog shows them again
    ASSERT_TRUE(applyToControl(back, numbers, control, configuration));
    EXPECT_TRUE(control.Connected(1).value());
    EXPECT_FALSE(control.Connected(2).value());
    EXPECT_TRUE(control.Connected(3).value());
    EXPECT_TRUE(control.Connected(4).value());
}

}  // namespace
