// The settings file: case rules, verbatim values, skipped lines, atomic and serialized writes.
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <sstream>
#include <thread>

#include "dnc/config/ConfigStore.h"
#include "dnc/config/SettingsCheck.h"

namespace fs = std::filesystem;

namespace {

class Store : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("ferix-store-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        file = dir / "DNC" / "DNC.ini";
    }
    void TearDown() override { fs::remove_all(dir); }

    void putFile(const std::string& text) {
        fs::create_directories(file.parent_path());
        std::ofstream(file, std::ios::binary) << text;
    }
    // The lines that the settings check reports as unreadable.
    std::vector<std::size_t> unreadableLines() const {
        std::vector<std::size_t> numbers;
        for (const auto& p : dnc::checkSettingsFile(file)) {
            if (p.kind == dnc::SettingProblem::Kind::UnreadableLine) {
                numbers.push_back(p.line);
            }
        }
        return numbers;
    }
    std::string fileText() const {
        std::ifstream in(file, std::ios::binary);
        std::stringstream s;
        s << in.rdbuf();
        return s.str();
    }
    dnc::ConfigStore store() {
        return dnc::ConfigStore(file, [this](const std::string& w) { warnings.push_back(w); });
    }

    fs::path dir;
    fs::path file;
    std::vector<std::string> warnings;
};

TEST_F(Store, AnAbsentStoreReadsAsEmptyAndReadsCreateNothing) {
    auto s = store();
    EXPECT_EQ(s.section("Config1").size(), 0u);
    EXPECT_EQ(s.section("Common").readString("LangID", "0"), "0");
    EXPECT_FALSE(fs::exists(file));
    EXPECT_TRUE(warnings.empty());
}

TEST_F(Store, NamesCompareWithoutCaseAndKeepTheirFirstSpelling) {
    putFile("[config3]\ncommport=5\n");
    auto s = store();
    EXPECT_EQ(s.section("Config3").readInt("CommPort", 1, 0, 99), 5);
    ASSERT_TRUE(s.write("CONFIG3", "COMMPORT", "6"));
    EXPECT_EQ(s.section("Config3").readInt("CommPort", 1, 0, 99), 6);
    EXPECT_EQ(fileText().find("COMMPORT"), std::string::npos);
    EXPECT_NE(fileText().find("[config3]"), std::string::npos);
    EXPECT_NE(fileText().find("commport=6"), std::string::npos);
}

TEST_F(Store, SectionNamesAreComparedWhole) {
    auto s = store();
    ASSERT_TRUE(s.write("Config1", "Caption", "One"));
    ASSERT_TRUE(s.write("Config10", "Caption", "Ten"));
    EXPECT_EQ(s.section("Config1").readString("Caption", ""), "One");
    EXPECT_EQ(s.section("Config10").readString("Caption", ""), "Ten");
    EXPECT_EQ(s.section("Config").size(), 0u);
}

TEST_F(Store, ValuesAreKeptVerbatim) {
    auto s = store();
    const std::string windowsPath = R"(C:\DNC\Ferix 3\)";
    const std::string odd = "a=b; c # d \"quoted\" [x]";
    ASSERT_TRUE(s.write("Config1", {{"FerixHomeDir", windowsPath},
                                    {"Editor", odd},
                                    {"Empty", ""},
                                    {"Umlaut", "Maschine Česky"}}));
    const auto section = s.section("Config1");
    EXPECT_EQ(section.readString("FerixHomeDir", ""), windowsPath);
    EXPECT_EQ(section.readString("Editor", ""), odd);
    EXPECT_EQ(section.readString("Empty", "default"), "");
    EXPECT_EQ(section.readString("Umlaut", ""), "Maschine Česky");
    // Keys keep the order in which they were written.
    EXPECT_EQ(section.values().front().first, "FerixHomeDir");
    EXPECT_EQ(section.values().back().first, "Umlaut");
}

TEST_F(Store, BlanksAroundAValueAndQuotesAroundItAreKept) {
    auto s = store();
    const dnc::ConfigStore::Values values = {{"Lead", " C:\\DNC"},  {"Trail", "notepad "},
                                             {"Tabs", "\tx\t"},     {"Blanks", "   "},
                                             {"Quoted", "\"a b\""}, {"OneQuote", "\""},
                                             {"TwoQuotes", "\"\""}, {"Inner", "say \"hi\" "}};
    ASSERT_TRUE(s.write("Config1", values));
    EXPECT_EQ(s.section("Config1").values(), values);
    // Every write saves the whole file again: the values stay as they were.
    ASSERT_TRUE(s.write("Config2", "Caption", "Lathe"));
    EXPECT_EQ(s.section("Config1").values(), values);
}

TEST_F(Store, AHeaderWithoutItsBracketIsSkippedAndAWriteKeepsTheOtherSections) {
    putFile("[Common]\nLangID=1031\n[[Com\nShowInTaskbar=True\n[Config1]\nCaption=Mill\n");
    auto s = store();
    const auto common = s.section("Common").values();
    const auto config1 = s.section("Config1").values();
    EXPECT_EQ(common, (dnc::ConfigStore::Values{{"LangID", "1031"}, {"ShowInTaskbar", "True"}}));
    EXPECT_EQ(config1, (dnc::ConfigStore::Values{{"Caption", "Mill"}}));
    EXPECT_EQ(unreadableLines(), (std::vector<std::size_t>{3}));
    EXPECT_TRUE(warnings.empty()) << "reads say nothing";
    ASSERT_TRUE(s.write("Config2", "Caption", "Lathe"));
    EXPECT_EQ(s.section("Common").values(), common);
    EXPECT_EQ(s.section("Config1").values(), config1);
}

TEST_F(Store, ANulByteSpoilsOnlyItsOwnLine) {
    putFile(std::string("[Common]\nLangID=1031\nBad\0Line=1\n[Config1]\nCaption=Mill\n", 55));
    auto s = store();
    EXPECT_EQ(s.section("Config1").readString("Caption", ""), "Mill");
    EXPECT_EQ(unreadableLines(), (std::vector<std::size_t>{3}));
    ASSERT_TRUE(s.write("Common", "LangID", "1029"));
    EXPECT_EQ(s.section("Config1").readString("Caption", ""), "Mill");
    EXPECT_EQ(s.section("Common").readString("LangID", ""), "1029");
}

TEST_F(Store, AByteOrderMarkOnlyStartsTheFile) {
    putFile("\xEF\xBB\xBF[Common]\nLangID=1031\n \xEF\xBB\xBFKey=1\n");
    auto s = store();
    EXPECT_EQ(s.section("Common").values(), (dnc::ConfigStore::Values{{"LangID", "1031"}}));
    EXPECT_EQ(unreadableLines(), (std::vector<std::size_t>{3}));
}

TEST_F(Store, ALineBreakInAValueCannotSplitTheEntry) {
    auto s = store();
    ASSERT_TRUE(s.write("Config1", "Caption", "Line\n[Common]\n1=True"));
    EXPECT_EQ(s.section("Config1").readString("Caption", ""), "Line [Common] 1=True");
    EXPECT_EQ(s.section("Common").size(), 0u);
}

TEST_F(Store, UnreadableLinesAreSkippedAndReportedByTheCheck) {
    putFile("; settings\n[Common]\nLangID=1031\ngarbage line\n=novalue\n[Config1]\nCaption=Mill\n");
    auto s = store();
    EXPECT_EQ(s.section("Common").readInt("LangID", 0, 0, 65535), 1031);
    EXPECT_EQ(s.section("Config1").readString("Caption", ""), "Mill");
    EXPECT_EQ(unreadableLines(), (std::vector<std::size_t>{4, 5}));
}

TEST_F(Store, WritesKeepOtherSectionsAndLeaveNoTemporaryFiles) {
    putFile("; kept comment\n[Common]\nLangID=1029\n");
    auto s = store();
    ASSERT_TRUE(s.write("Config2", {{"A", "1"}, {"B", "2"}}));
    ASSERT_TRUE(s.write("Config2", "A", "3"));
    EXPECT_EQ(s.section("Common").readString("LangID", ""), "1029");
    EXPECT_EQ(s.section("Config2").readString("A", ""), "3");
    EXPECT_NE(fileText().find("; kept comment"), std::string::npos);
    for (const auto& entry : fs::directory_iterator(file.parent_path())) {
        const auto name = entry.path().filename().string();
        // The lock is hidden; the folder shows what a person expects.
        EXPECT_TRUE(name == "DNC.ini" || name == ".DNC.ini.lock") << name;
    }
}

TEST_F(Store, ConcurrentWritersOnManyThreadsLoseNothing) {
    std::vector<std::thread> writers;
    for (int n = 1; n <= 16; ++n) {
        writers.emplace_back([this, n] {
            auto s = store();
            for (int round = 0; round < 5; ++round) {
                ASSERT_TRUE(s.write("Config" + std::to_string(n), {{"Round", std::to_string(round)},
                                                                   {"Net", std::to_string(n)}}));
            }
        });
    }
    for (auto& t : writers) {
        t.join();
    }
    auto s = store();
    for (int n = 1; n <= 16; ++n) {
        const auto section = s.section("Config" + std::to_string(n));
        EXPECT_EQ(section.readString("Round", ""), "4") << n;
        EXPECT_EQ(section.readString("Net", ""), std::to_string(n));
    }
}

TEST_F(Store, AFailedWriteWarnsAndChangesNothing) {
    fs::create_directories(dir / "blocked");
    std::ofstream(dir / "blocked" / "DNC") << "a file where a folder should be";
    dnc::ConfigStore s(dir / "blocked" / "DNC" / "DNC.ini",
                       [this](const std::string& w) { warnings.push_back(w); });
    EXPECT_FALSE(s.write("Common", "LangID", "1031"));
    EXPECT_FALSE(warnings.empty());
}

std::string readText(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

TEST_F(Store, CommentsAfterTheLastEntryStayAtTheEnd) {
    putFile("; head\n[Common]\nLangID=1031\n; Hall A was moved to line 3.\n\n# keep this\n");
    auto s = store();
    ASSERT_TRUE(s.write("Config1", "Caption", "Mill"));
    const std::string once = fileText();
    EXPECT_NE(once.find("; head"), std::string::npos);
    EXPECT_NE(once.find("; Hall A was moved to line 3.\n# keep this\n"), std::string::npos) << once;
    ASSERT_TRUE(s.write("Config1", "Caption", "Mill"));
    EXPECT_EQ(fileText(), once) << "the same write gives the same file";
    EXPECT_FALSE(fs::exists(dnc::backupPath(file)));
}

TEST_F(Store, ACleanFileGetsNoBackupAndNoNote) {
    putFile("; hall A\n[Common]\nLangID=1031\n1=True\n[Config1]\nCommSpeed=9600\n");
    auto s = store();
    ASSERT_TRUE(s.write("Config1", "CommSpeed", "4800"));
    ASSERT_TRUE(s.write("Config2", "Caption", "Lathe"));
    EXPECT_FALSE(fs::exists(dnc::backupPath(file)));
    EXPECT_TRUE(warnings.empty());
}

TEST_F(Store, TheFirstWriteOverAPersonsTyposKeepsTheFileOnceAsItWas) {
    const std::string typed =
        "[Config2]\r\nCommSpeed=96OO\r\n[Config1\r\nCaption=Mill\r\n; note\r\n";
    putFile(typed);
    std::ofstream(dnc::backupPath(file), std::ios::binary) << "an older backup";
    auto s = store();
    ASSERT_TRUE(s.write("Config2", "CommSpeed", "4800"));
    EXPECT_EQ(dnc::backupPath(file).filename(), "DNC.ini.bak");
    EXPECT_EQ(readText(dnc::backupPath(file)), typed) << "byte for byte, replacing the older one";
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("kept in " + dnc::backupPath(file).string()), std::string::npos)
        << warnings[0];
    EXPECT_EQ(fileText().find("[Config1"), std::string::npos) << "the broken line went";

    // Later writes of this run leave the backup alone: it holds the person's file.
    ASSERT_TRUE(s.write("Config3", "Caption", "Drill"));
    auto other = store();  // another sub net's store of the same file
    ASSERT_TRUE(other.write("Config4", "Caption", "Saw"));
    EXPECT_EQ(readText(dnc::backupPath(file)), typed);
    EXPECT_EQ(warnings.size(), 1u);
}

TEST_F(Store, AValueEditedBetweenWritesIsKeptAgain) {
    putFile("[Config2]\nProtocol=3\n");
    auto s = store();
    ASSERT_TRUE(s.write("Config2", "Caption", "Mill"));
    EXPECT_FALSE(fs::exists(dnc::backupPath(file)));
    // The person edits the file while the program runs.
    const std::string edited = fileText() + "[Config5]\nCommParity=Z\n";
    putFile(edited);
    ASSERT_TRUE(s.write("Config5", "CommParity", "N"));
    EXPECT_EQ(readText(dnc::backupPath(file)), edited);
}

TEST_F(Store, WithoutABackupTheWriteIsRefusedAndTheFileStays) {
    const std::string typed = "[Config2]\nCommSpeed=fast\n";
    putFile(typed);
    fs::create_directories(dnc::backupPath(file));  // a folder where the backup should go
    auto s = store();
    EXPECT_FALSE(s.write("Config2", "CommSpeed", "4800"));
    EXPECT_EQ(fileText(), typed);
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("backup cannot be written"), std::string::npos) << warnings[0];
}

TEST_F(Store, TheLockOfEarlierVersionsIsRemovedOnceFree) {
    putFile("[Common]\nLangID=0\n");
    std::ofstream(file.string() + ".lock") << "";
    auto s = store();
    ASSERT_TRUE(s.write("Common", "LangID", "1031"));
    EXPECT_FALSE(fs::exists(file.string() + ".lock"));
    EXPECT_TRUE(fs::exists(file.parent_path() / ".DNC.ini.lock"));
}

TEST_F(Store, AFileThatIsThereButCannotBeReadIsNeverWritten) {
    // Root reads any file whatever its mode: a FIFO and a folder stand for a file the program
    // may not read (the real case runs as another user in the hostile-input suite).
    fs::create_directories(file.parent_path());
    ASSERT_EQ(::mkfifo(file.c_str(), 0600), 0);
    auto fifo = store();
    EXPECT_NE(fifo.problem().value_or("").find("cannot be read: not a regular file"),
              std::string::npos);
    EXPECT_EQ(fifo.section("Common").size(), 0u) << "read without waiting for a writer";
    EXPECT_FALSE(fifo.write("Config1", "CommPort", "1"));
    EXPECT_TRUE(fs::is_fifo(file));
    ASSERT_EQ(warnings.size(), 1u);
    EXPECT_NE(warnings[0].find("the file is left as it is"), std::string::npos) << warnings[0];
    fs::remove(file);

    fs::create_directory(file);
    EXPECT_TRUE(store().problem().has_value());
    EXPECT_FALSE(store().write("Config1", "CommPort", "1"));
    EXPECT_TRUE(fs::is_directory(file));
    EXPECT_TRUE(fs::is_empty(file));
    fs::remove(file);
    EXPECT_FALSE(fs::exists(dnc::backupPath(file)));
}

TEST_F(Store, AFileThatIsNoTextIsNeverWritten) {
    // As an editor saves "Unicode": UTF-16 with its byte order mark, or without it.
    const std::string utf16("\xFF\xFE[\0C\0o\0m\0m\0o\0n\0]\0\n\0", 18);
    putFile(utf16);
    EXPECT_NE(store().problem().value_or("").find("is not a text file"), std::string::npos);
    EXPECT_FALSE(store().write("Common", "LangID", "0"));
    EXPECT_EQ(fileText(), utf16);
    putFile(utf16.substr(2));
    EXPECT_TRUE(store().problem().has_value());
    EXPECT_FALSE(store().write("Common", "LangID", "0"));
    EXPECT_EQ(fileText(), utf16.substr(2));
    putFile("[Common]\nLangID=0\n");
    EXPECT_EQ(store().problem(), std::nullopt);
}

TEST_F(Store, ALinkedFileStaysALinkAndItsTargetIsWritten) {
    fs::create_directories(dir / "shared");
    std::ofstream(dir / "shared" / "real.ini") << "[Common]\nLangID=0\n";
    fs::create_directories(file.parent_path());
    fs::create_symlink("../shared/real.ini", file);
    auto s = store();
    ASSERT_TRUE(s.write("Config1", "Caption", "Hall"));
    EXPECT_TRUE(fs::is_symlink(file));
    const dnc::ConfigStore target(dir / "shared" / "real.ini");
    EXPECT_EQ(target.section("Config1").readString("Caption", ""), "Hall");
    EXPECT_EQ(target.section("Common").readString("LangID", ""), "0");
    EXPECT_EQ(s.section("Config1").readString("Caption", ""), "Hall");
    for (const auto& entry : fs::directory_iterator(dir / "shared")) {
        EXPECT_EQ(entry.path().filename(), "real.ini") << "no temporary file left beside it";
    }
}

TEST(ConfigPath, CommandLineThenEnvironmentThenXdgThenHome) {
    const std::string home = std::getenv("HOME") != nullptr ? std::getenv("HOME") : "";
    ::setenv("FERIXDNC_CONFIG", "/tmp/env.ini", 1);
    ::setenv("XDG_CONFIG_HOME", "/tmp/xdg", 1);
    ::setenv("HOME", "/home/op", 1);
    EXPECT_EQ(dnc::configPath(std::string("/tmp/cli.ini")), "/tmp/cli.ini");
    EXPECT_EQ(dnc::configPath(std::nullopt), "/tmp/env.ini");
    ::unsetenv("FERIXDNC_CONFIG");
    EXPECT_EQ(dnc::configPath(std::nullopt), "/tmp/xdg/DNC/DNC.ini");
    ::setenv("XDG_CONFIG_HOME", "relative", 1);  // not absolute: ignored
    EXPECT_EQ(dnc::configPath(std::nullopt), "/home/op/.config/DNC/DNC.ini");
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(dnc::configPath(std::nullopt), "/home/op/.config/DNC/DNC.ini");
    ::setenv("HOME", home.c_str(), 1);
}

}  // namespace
