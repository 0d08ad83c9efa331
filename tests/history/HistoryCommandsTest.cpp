// The history and show-program commands as a command-line client runs them.
#include <sstream>

#include "dnc/history/HistoryCommands.h"
#include "dnc/history/HistoryLocation.h"
#include "dnc/history/Sha256.h"
#include "tests/history/HistoryFixture.h"

namespace {

using namespace dnc::history;

class Commands : public HistoryFolder {
protected:
    Commands() {
        const auto writerStore = openHistoryStore(db, HistoryStore::Access::Write, "hall-a");
        HistoryStore& writer = *writerStore;
        EXPECT_TRUE(writer.add(prepare(transfer("MILL1.WTX", "G01 X1\r\n", 0, 1, 1)), true));
        TransferRecord failed = transfer("LATHE.WTX", "", 86400, 2, 3);
        failed.content.reset();
        failed.outcome = Outcome::Failed;
        failed.direction = Direction::FromUnit;
        failed.startedBy = StartedBy::Operator;
        failed.user = "anna";
        failed.error = "Error \"while\" receiving\n\x1b[31m";
        failed.caption = "Halle \xC3\x9C \xFC";  // UTF-8 and a byte of the 8-bit code page
        EXPECT_TRUE(writer.add(prepare(failed), false));
    }

    int history(std::vector<std::string> args) {
        args.push_back("--history");
        args.push_back(db.string());
        out.str("");
        err.str("");
        return runHistoryCommand(args, out, err);
    }

    std::ostringstream out;
    std::ostringstream err;
};

TEST_F(Commands, TheTableShowsEveryTransferNewestFirst) {
    ASSERT_EQ(history({}), 0) << err.str();
    std::istringstream lines(out.str());
    std::string header, first, second, more;
    std::getline(lines, header);
    std::getline(lines, first);
    std::getline(lines, second);
    EXPECT_FALSE(std::getline(lines, more));
    EXPECT_EQ(header.rfind("TIME (UTC)", 0), 0u);
    EXPECT_NE(header.find("SHA-256"), std::string::npos);
    EXPECT_EQ(first.rfind("2026-03-05T05:06:07.000Z", 0), 0u);
    EXPECT_NE(first.find("LATHE.WTX"), std::string::npos);
    EXPECT_NE(first.find("from-unit"), std::string::npos);
    EXPECT_NE(first.find("operator  anna "), std::string::npos) << first;
    EXPECT_NE(header.find("BY        USER"), std::string::npos) << header;
    EXPECT_NE(second.find("unit      -  "), std::string::npos) << "no user recorded: " << second;
    EXPECT_NE(first.find("failed: Error \"while\" receiving??[31m"), std::string::npos)
        << "control characters never reach the terminal: " << first;
    EXPECT_NE(second.find(sha256Hex("G01 X1\r\n")), std::string::npos);
    EXPECT_NE(second.find("1 Hall 1"), std::string::npos);
    EXPECT_NE(second.find(" yes "), std::string::npos) << "kept";
    // The columns line up.
    EXPECT_EQ(header.find("NAME"), first.find("LATHE.WTX"));
    EXPECT_EQ(header.find("NAME"), second.find("MILL1.WTX"));
}

TEST_F(Commands, FiltersAndNoMatch) {
    ASSERT_EQ(history({"--subnet", "1", "--unit=1", "--name", "mill"}), 0);
    EXPECT_NE(out.str().find("MILL1.WTX"), std::string::npos);
    EXPECT_EQ(out.str().find("LATHE"), std::string::npos);
    ASSERT_EQ(history({"--since", "2026-03-05", "--until=2026-03-05T23:00"}), 0);
    EXPECT_NE(out.str().find("LATHE.WTX"), std::string::npos);
    EXPECT_EQ(out.str().find("MILL1"), std::string::npos);
    ASSERT_EQ(history({"--unit", "9"}), 0);
    EXPECT_EQ(out.str(), "No transfers recorded that match.\n");
    ASSERT_EQ(history({"--unit", "9", "--json"}), 0);
    EXPECT_EQ(out.str(), "[]\n");
    ASSERT_EQ(history({"--site", "hall-a", "--subnet", "2"}), 0);
    EXPECT_NE(out.str().find("LATHE.WTX"), std::string::npos);
    ASSERT_EQ(history({"--site=hall-b"}), 0);
    EXPECT_EQ(out.str(), "No transfers recorded that match.\n") << "the site is matched exactly";
}

TEST_F(Commands, JsonForScripts) {
    ASSERT_EQ(history({"--json"}), 0) << err.str();
    const std::string json = out.str();
    EXPECT_EQ(json.front(), '[');
    EXPECT_NE(json.find("\"time\": \"2026-03-05T05:06:07.000Z\", \"subnet\": 2, \"caption\": "
                        "\"Halle \xC3\x9C \\u00fc\", \"unit\": 3, \"direction\": \"from-unit\", "
                        "\"started_by\": \"operator\", \"user\": \"anna\", "
                        "\"name\": \"LATHE.WTX\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"size\": null, \"sha256\": null, \"stored\": false, \"outcome\": "
                        "\"failed\", \"error\": \"Error \\\"while\\\" receiving\\n\\u001b[31m\""),
              std::string::npos)
        << json;
    EXPECT_NE(json.find("\"size\": 8, \"sha256\": \"" + sha256Hex("G01 X1\r\n") +
                        "\", \"stored\": false, \"outcome\": \"done\", \"error\": \"\", "
                        "\"kept\": true, \"site\": \"hall-a\"}\n]\n"),
              std::string::npos)
        << json;
}

TEST_F(Commands, WrongArgumentsAreUsageErrors) {
    for (const std::vector<std::string>& args :
         std::vector<std::vector<std::string>>{{"--subnet", "17"},
                                               {"--unit", "0"},
                                               {"--unit"},
                                               {"--since", "yesterday"},
                                               {"--since", "2026-03-05", "--until", "2026-03-04"},
                                               {"--name="},
                                               {"--site="},
                                               {"--limit", "-3"},
                                               {"--colour"}}) {
        std::vector<std::string> line = args;
        out.str("");
        err.str("");
        EXPECT_EQ(runHistoryCommand(line, out, err), 2) << args[0];
        EXPECT_EQ(err.str().rfind("history: ", 0), 0u) << err.str();
        EXPECT_NE(err.str().find("Usage:"), std::string::npos);
        EXPECT_TRUE(out.str().empty());
    }
}

TEST_F(Commands, AMissingDatabaseIsSaidAndNotCreated) {
    const auto missing = dir / "none" / "history.db";
    std::ostringstream o, e;
    EXPECT_EQ(runHistoryCommand({"--history", missing.string()}, o, e), 1);
    EXPECT_NE(e.str().find("no history database at " + missing.string()), std::string::npos);
    EXPECT_FALSE(std::filesystem::exists(missing));
    EXPECT_EQ(runShowProgramCommand({sha256Hex("x"), "--history", missing.string()}, o, e), 1);
}

TEST_F(Commands, TheDefaultDatabaseFollowsTheStateFolder) {
    const char* saved = std::getenv("XDG_STATE_HOME");
    const std::string before = saved != nullptr ? saved : "";
    ::setenv("XDG_STATE_HOME", (dir / "xdg").c_str(), 1);
    EXPECT_EQ(historyPath(std::nullopt), dir / "xdg" / "DNC" / "history.db");
    EXPECT_EQ(historyPath(std::string("/var/lib/ferixdnc/h.db")), "/var/lib/ferixdnc/h.db");
    ::setenv("XDG_STATE_HOME", "relative/ignored", 1);
    ::setenv("HOME", (dir / "home").c_str(), 1);
    EXPECT_EQ(historyPath(std::nullopt), dir / "home" / ".local" / "state" / "DNC" / "history.db");
    if (saved != nullptr) {
        ::setenv("XDG_STATE_HOME", before.c_str(), 1);
    } else {
        ::unsetenv("XDG_STATE_HOME");
    }
}

TEST_F(Commands, ShowProgramPrintsTheKeptBytesUnchanged) {
    std::ostringstream o, e;
    ASSERT_EQ(runShowProgramCommand({"--history=" + db.string(), sha256Hex("G01 X1\r\n")}, o, e), 0)
        << e.str();
    EXPECT_EQ(o.str(), "G01 X1\r\n");
    o.str("");
    EXPECT_EQ(runShowProgramCommand(
                  {sha256Hex("G01 X1\r\n").substr(0, 8), "--history", db.string()}, o, e),
              0);
    EXPECT_EQ(o.str(), "G01 X1\r\n");

    std::ostringstream none, why;
    EXPECT_EQ(runShowProgramCommand({sha256Hex("other"), "--history", db.string()}, none, why), 1);
    EXPECT_TRUE(none.str().empty());
    EXPECT_NE(why.str().find("no program kept"), std::string::npos);
    EXPECT_EQ(runShowProgramCommand({"--history", db.string()}, none, why), 2);
    EXPECT_EQ(runShowProgramCommand({"a", "b"}, none, why), 2);
    EXPECT_EQ(runShowProgramCommand({"abc", "--history", db.string()}, none, why), 2);
    EXPECT_EQ(runShowProgramCommand({std::string(8, 'g'), "--history", db.string()}, none, why), 2);
}

}  // namespace
