// ferixdncctl's history and show-program as a script runs them: a child program reading a
// database that the recorder wrote, with no bus anywhere (both bus addresses lead nowhere).
#include <sys/stat.h>
#include <unistd.h>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdlib>
#include <fstream>
#include <sstream>

#include "dnc/history/HistoryRecorder.h"
#include "dnc/history/Sha256.h"
#include "tests/history/HistoryFixture.h"
#include "tests/support/ChildProgram.h"

namespace {

using namespace dnc::history;

// CR LF, a Ctrl-Z at the end, bytes of an 8-bit code page and a NUL: kept as they are.
constexpr char kMillBytes[] =
    "%\r\nO0001 (M\xDC"
    "HLE)\r\nN10 G01 X1\r\nN20 M30\r\n\x1a\0";
const std::string kMill(kMillBytes, sizeof kMillBytes - 1);
const std::string kLathe = "%\nN10 G0 X0\nN20 M30\n%\n";
const std::string kReceived = "%\nN10 T1 M6\n%\n";

struct CtlRun {
    int status;
    std::string output;  // standard output and error as they came
};

// Sets an environment variable for the test's children; the old value comes back at the end.
class Environment {
public:
    void set(const char* name, const std::string& value) {
        save(name);
        ::setenv(name, value.c_str(), 1);
    }
    void unset(const char* name) {
        save(name);
        ::unsetenv(name);
    }
    ~Environment() {
        for (const auto& [name, value] : saved_) {
            if (value) {
                ::setenv(name.c_str(), value->c_str(), 1);
            } else {
                ::unsetenv(name.c_str());
            }
        }
    }

private:
    void save(const char* name) {
        const char* value = std::getenv(name);
        saved_.emplace_back(name,
                            value != nullptr ? std::optional<std::string>(value) : std::nullopt);
    }
    std::vector<std::pair<std::string, std::optional<std::string>>> saved_;
};

class CtlHistory : public HistoryFolder {
protected:
    CtlHistory() {
        const std::string nowhere = "unix:path=" + (dir / "no-bus").string();
        environment.set("DBUS_SESSION_BUS_ADDRESS", nowhere);
        environment.set("DBUS_SYSTEM_BUS_ADDRESS", nowhere);
        environment.unset("XDG_STATE_HOME");
        environment.set("HOME", (dir / "home").string());

        RecorderOptions options;
        options.database = db;
        options.keepPrograms = true;
        options.report = [this](const std::string& text) { reports += text + "\n"; };
        HistoryRecorder recorder(options);
        TransferRecord sent = transfer("MILL1.WTX", kMill, 0, 1, 2);
        sent.user = "unit 2";
        recorder.record(sent);

        TransferRecord pulled = transfer("TOOLS.WTX", kReceived, 60, 1, 2);
        pulled.direction = Direction::FromUnit;
        pulled.startedBy = StartedBy::Operator;
        pulled.user = "anna";
        pulled.stored = true;
        recorder.record(pulled);

        TransferRecord stopped = transfer("LATHE.WTX", kLathe.substr(0, 8), 86400, 3, 1);
        stopped.outcome = Outcome::Stopped;
        stopped.error = "Transfer stopped by the operator";
        recorder.record(stopped);
        recorder.flush();
        EXPECT_EQ(recorder.written(), 3u) << reports;
    }

    CtlRun ctl(std::vector<std::string> arguments) {
        ChildProgram program(FERIXDNCCTL_PROGRAM, std::move(arguments));
        const int status = program.exitCode(std::chrono::seconds(60));
        return {status, program.output()};
    }
    // As an unprivileged user when the test runs as root, whom permissions do not stop.
    CtlRun ctlUnprivileged(std::vector<std::string> arguments) {
        if (::geteuid() != 0) {
            return ctl(std::move(arguments));
        }
        arguments.insert(arguments.begin(), {"--reuid=65534", "--regid=65534", "--clear-groups",
                                             "--", FERIXDNCCTL_PROGRAM});
        ChildProgram program("/usr/bin/setpriv", std::move(arguments));
        const int status = program.exitCode(std::chrono::seconds(60));
        return {status, program.output()};
    }
    CtlRun ctlOnDatabase(std::vector<std::string> arguments) {
        arguments.push_back("--history");
        arguments.push_back(db.string());
        return ctl(std::move(arguments));
    }

    static std::vector<std::string> lines(const std::string& text) {
        std::vector<std::string> all;
        std::istringstream in(text);
        for (std::string line; std::getline(in, line);) {
            all.push_back(line);
        }
        return all;
    }

    Environment environment;
    std::string reports;
};

TEST_F(CtlHistory, TheTableListsEveryTransferNewestFirstWithoutABus) {
    // There really is no bus: the commands that need FerixDNC say nobody runs.
    EXPECT_EQ(ctl({"list"}).status, 3);

    const CtlRun r = ctlOnDatabase({"history"});
    ASSERT_EQ(r.status, 0) << r.output;
    const auto table = lines(r.output);
    ASSERT_EQ(table.size(), 4u) << r.output;
    EXPECT_EQ(table[0].rfind("TIME (UTC)", 0), 0u) << r.output;
    EXPECT_EQ(table[1].rfind("2026-03-05T05:06:07.000Z", 0), 0u) << r.output;
    EXPECT_NE(table[1].find("3 Hall 3"), std::string::npos);
    EXPECT_NE(table[1].find("stopped: Transfer stopped by the operator"), std::string::npos);
    EXPECT_NE(table[1].find(sha256Hex(kLathe.substr(0, 8))), std::string::npos);
    EXPECT_NE(table[2].find("TOOLS.WTX"), std::string::npos);
    EXPECT_NE(table[2].find("from-unit  operator  anna"), std::string::npos) << table[2];
    EXPECT_NE(table[3].find("to-unit    unit      unit 2"), std::string::npos) << table[3];
    EXPECT_NE(table[2].find(sha256Hex(kReceived)), std::string::npos);
    EXPECT_NE(table[3].find("MILL1.WTX"), std::string::npos);
    EXPECT_NE(table[3].find(" " + std::to_string(kMill.size()) + " "), std::string::npos)
        << "the size in bytes: " << table[3];
    EXPECT_NE(table[3].find(sha256Hex(kMill) + "  yes   done"), std::string::npos) << table[3];
    // A received program that was stored is a revision: its content is kept as well.
    EXPECT_NE(table[2].find(sha256Hex(kReceived) + "  yes   done"), std::string::npos) << table[2];
}

TEST_F(CtlHistory, JsonAndFiltersForScripts) {
    CtlRun r = ctlOnDatabase({"--json", "history"});
    ASSERT_EQ(r.status, 0) << r.output;
    QJsonParseError error{};
    const QJsonArray rows =
        QJsonDocument::fromJson(QByteArray::fromStdString(r.output), &error).array();
    ASSERT_EQ(error.error, QJsonParseError::NoError) << r.output;
    ASSERT_EQ(rows.size(), 3) << r.output;
    const QJsonObject mill = rows[2].toObject();
    EXPECT_EQ(mill["time"].toString(), "2026-03-04T05:06:07.000Z");
    EXPECT_EQ(mill["subnet"].toInt(), 1);
    EXPECT_EQ(mill["caption"].toString(), "Hall 1");
    EXPECT_EQ(mill["unit"].toInt(), 2);
    EXPECT_EQ(mill["direction"].toString(), "to-unit");
    EXPECT_EQ(mill["started_by"].toString(), "unit");
    EXPECT_EQ(mill["user"].toString(), "unit 2");
    EXPECT_EQ(rows[1].toObject()["user"].toString(), "anna");
    EXPECT_EQ(mill["name"].toString(), "MILL1.WTX");
    EXPECT_EQ(mill["path"].toString(), "/srv/dnc/Ferix2/MILL1.WTX");
    EXPECT_EQ(mill["size"].toInt(), static_cast<int>(kMill.size()));
    EXPECT_EQ(mill["sha256"].toString().toStdString(), sha256Hex(kMill));
    EXPECT_EQ(mill["outcome"].toString(), "done");
    EXPECT_TRUE(mill["kept"].toBool());
    EXPECT_TRUE(rows[1].toObject()["stored"].toBool());
    EXPECT_EQ(rows[0].toObject()["outcome"].toString(), "stopped");

    // --json after the command as well; filters combine.
    r = ctlOnDatabase({"history", "--subnet", "1", "--unit=2", "--name", "mill", "--json"});
    ASSERT_EQ(r.status, 0) << r.output;
    const QJsonArray one = QJsonDocument::fromJson(QByteArray::fromStdString(r.output)).array();
    ASSERT_EQ(one.size(), 1) << r.output;
    EXPECT_EQ(one[0].toObject()["name"].toString(), "MILL1.WTX");

    r = ctlOnDatabase({"history", "--since", "2026-03-05"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(lines(r.output).size(), 2u) << r.output;
    EXPECT_NE(r.output.find("LATHE.WTX"), std::string::npos);

    r = ctlOnDatabase({"history", "--until", "2026-03-04T05:06"});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("MILL1.WTX"), std::string::npos) << r.output;
    EXPECT_EQ(r.output.find("TOOLS.WTX"), std::string::npos) << r.output;

    r = ctlOnDatabase({"history", "--subnet", "16"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "No transfers recorded that match.\n");
    r = ctlOnDatabase({"--json", "history", "--subnet", "16"});
    EXPECT_EQ(r.status, 0);
    EXPECT_EQ(r.output, "[]\n");
}

TEST_F(CtlHistory, AKeptProgramIsPrintedByteForByte) {
    CtlRun r = ctlOnDatabase({"show-program", sha256Hex(kMill)});
    ASSERT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, kMill) << "nothing on standard error, the bytes unchanged on output";
    r = ctl({"show-program", "--history=" + db.string(), sha256Hex(kMill).substr(0, 8)});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, kMill);

    // Nothing unknown is printed.
    r = ctlOnDatabase({"show-program", sha256Hex("never sent")});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output.rfind("ferixdncctl: show-program: no program kept", 0), 0u) << r.output;
}

TEST_F(CtlHistory, TheDatabaseIsFoundInTheStateFolder) {
    const auto home = dir / "home" / ".local" / "state" / "DNC";
    std::filesystem::create_directories(home);
    std::filesystem::copy_file(db, home / "history.db");
    CtlRun r = ctl({"show-program", sha256Hex(kMill)});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_EQ(r.output, kMill);

    // $XDG_STATE_HOME comes first: there is none there.
    environment.set("XDG_STATE_HOME", (dir / "xdg").string());
    r = ctl({"history"});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output, "ferixdncctl: no history database at " +
                            (dir / "xdg" / "DNC" / "history.db").string() +
                            " (nothing recorded yet, or give --history FILE)\n");
    EXPECT_FALSE(std::filesystem::exists(dir / "xdg")) << "asking creates nothing";
    std::filesystem::create_directories(dir / "xdg" / "DNC");
    std::filesystem::copy_file(db, dir / "xdg" / "DNC" / "history.db");
    r = ctl({"--json", "history", "--name", "TOOLS"});
    EXPECT_EQ(r.status, 0) << r.output;
    EXPECT_NE(r.output.find("\"sha256\": \"" + sha256Hex(kReceived) + "\""), std::string::npos)
        << r.output;
}

TEST_F(CtlHistory, ExitStatusesForMissingDatabasesAndWrongArguments) {
    const std::string missing = (dir / "none.db").string();
    CtlRun r = ctl({"history", "--history", missing});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output.rfind("ferixdncctl: no history database at " + missing, 0), 0u);
    r = ctl({"show-program", sha256Hex(kMill), "--history", missing});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_FALSE(std::filesystem::exists(missing));

    // Something that is no database.
    std::ofstream(dir / "notes.db") << "not a database, but notes\n";
    r = ctl({"history", "--history", (dir / "notes.db").string()});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output.rfind("ferixdncctl: history: " + (dir / "notes.db").string(), 0), 0u)
        << r.output;

    // A folder and a FIFO are refused before anything opens them as a database.
    const auto folder = dir / "folder.db";
    std::filesystem::create_directories(folder);
    r = ctl({"history", "--history", folder.string()});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output, "ferixdncctl: history: " + folder.string() +
                            " is a folder, not a history database\n");
    const auto fifo = dir / "fifo.db";
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    for (const std::string command : {"history", "show-program"}) {
        std::vector<std::string> line{command, "--history", fifo.string()};
        if (command == "show-program") {
            line.push_back(sha256Hex(kMill));
        }
        r = ctl(line);
        EXPECT_EQ(r.status, 1) << command << " must not wait on the FIFO: " << r.output;
        EXPECT_EQ(r.output, "ferixdncctl: " + command + ": " + fifo.string() +
                                " is a FIFO, not a history database\n");
    }

    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"history", "--subnet", "17"},
             {"history", "--unit"},
             {"history", "--since", "last tuesday"},
             {"history", "--since", "2026-03-05", "--until", "2026-03-04"},
             {"history", "--colour"},
             {"history", "3"},
             {"show-program"},
             {"show-program", "xyz"},
             {"show-program", "--json", sha256Hex(kMill)}}) {
        r = ctlOnDatabase(wrong);
        EXPECT_EQ(r.status, 2) << wrong[1] << ": " << r.output;
        EXPECT_EQ(r.output.rfind("ferixdncctl: " + wrong[0] + ": ", 0), 0u) << r.output;
        EXPECT_NE(r.output.find("Usage:"), std::string::npos) << r.output;
    }
    // Options of the bus have no meaning for a file.
    for (const std::vector<std::string>& wrong : std::vector<std::vector<std::string>>{
             {"--system", "history"},
             {"--instance", "42", "show-program", sha256Hex(kMill)},
             {"--json", "show-program", sha256Hex(kMill)}}) {
        r = ctlOnDatabase(wrong);
        EXPECT_EQ(r.status, 2) << r.output;
        EXPECT_NE(r.output.find("Usage: ferixdncctl"), std::string::npos) << r.output;
    }

    r = ctl({"history", "--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.output.find("$XDG_STATE_HOME/DNC/history.db"), std::string::npos) << r.output;
    EXPECT_NE(r.output.find("~/.local/state/DNC/history.db"), std::string::npos);
}

TEST_F(CtlHistory, AFileThatCannotBeReadIsSaidToBeUnreadable) {
    // Readable folders down to it, the file itself for its owner only.
    std::filesystem::permissions(dir, std::filesystem::perms::owner_all |
                                          std::filesystem::perms::group_exec |
                                          std::filesystem::perms::others_exec);
    std::filesystem::permissions(
        db.parent_path(), std::filesystem::perms::owner_all | std::filesystem::perms::others_exec);
    std::filesystem::permissions(
        db, std::filesystem::perms::owner_read | std::filesystem::perms::owner_write);
    CtlRun r = ctlUnprivileged({"history", "--history", db.string()});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output, "ferixdncctl: history: cannot read the history database " + db.string() +
                            ": Permission denied\n");
    r = ctlUnprivileged({"show-program", sha256Hex(kMill), "--history", db.string()});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_EQ(r.output.rfind("ferixdncctl: show-program: cannot read the history database", 0), 0u)
        << r.output;

    // A folder on the way that may not be searched hides whether the file is there at all.
    std::filesystem::permissions(db.parent_path(), std::filesystem::perms::owner_all);
    r = ctlUnprivileged({"history", "--history", db.string()});
    EXPECT_EQ(r.status, 1) << r.output;
    EXPECT_NE(
        r.output.find("cannot read the history database " + db.string() + ": Permission denied"),
        std::string::npos)
        << r.output;
}

}  // namespace
