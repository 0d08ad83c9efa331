// The headless service records the transfers of its lines: a sub net on one end of a
// pseudo-terminal pair, simulated units on the other, in real time; the hashes are checked
// against sha256sum.
#include <gtest/gtest.h>
#include <pwd.h>
#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>

#include "dnc/history/HistoryCommands.h"
#include "dnc/history/HistoryDatabase.h"
#include "dnc/history/HistoryLocation.h"
#include "dnc/service/HeadlessService.h"
#include "dnc/service/HistorySettings.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/UnitSimulator.h"
#include "tests/service/LogLines.h"

namespace fs = std::filesystem;

namespace {

using namespace dnc::history;
using sim::unit::RequestSpec;
using sim::unit::UnitEvent;
using sim::unit::UnitSimulator;

constexpr int kSpeed = 4800;

std::string program(std::size_t n, unsigned seed) {
    std::string s;
    for (std::size_t i = 0; i < n; ++i) {
        s += static_cast<char>((i * 37 + seed) & 0xFF);  // DLE, XON and XOFF among them
    }
    return s;
}

std::string sha256sum(const fs::path& file) {
    const std::string command = "sha256sum '" + file.string() + "'";
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        return {};
    }
    char digest[65] = {};
    const std::size_t got = std::fread(digest, 1, 64, pipe);
    ::pclose(pipe);
    return std::string(digest, got);
}

class ServiceRecords : public ::testing::Test {
protected:
    ServiceRecords() : driver(units, pty.masterFd(), sim::unit::characterTime(kSpeed, 11)) {
        loc::selectLanguage(loc::kEnglish);
        dir = fs::temp_directory_path() /
              ("ferix-history-service-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "home" / "Ferix1");
        fs::create_directories(dir / "home" / "Ferix2");
        store = std::make_unique<dnc::ConfigStore>(dir / "DNC.ini");
        EXPECT_TRUE(store->write("Ports", "1", pty.devicePath()));
        EXPECT_TRUE(store->write("Common", "HistoryKeepPrograms", "True"));
        EXPECT_TRUE(store->write("Common", "PlantSite", "Hall West"));
        EXPECT_TRUE(store->write("Config1", {{"Caption", "Hall A"},
                                             {"CommSpeed", std::to_string(kSpeed)},
                                             {"Protocol", "3"},
                                             {"FerixHomeDir", (dir / "home").string() + "/"},
                                             {"FerixDir1", "Ferix1/"},
                                             {"Connected1", "True"},
                                             {"FerixDir2", "Ferix2/"},
                                             {"Connected2", "True"}}));
        units.addUnit(1);
        units.addUnit(2);
        driver.preferPromptAnswers(true);
        driver.start();
    }
    ~ServiceRecords() override {
        driver.stop();
        fs::remove_all(dir);
    }

    // Runs sub net 1 with the recorder on `database` until both units have their programs.
    void runTransfers(const fs::path& database) {
        std::ofstream(dir / "home" / "Ferix1" / "PRG1.WTX", std::ios::binary) << program(300, 16);
        driver.withUnits([](UnitSimulator& u) {
            u.unit(2)->memory().store({"PRG2", 1, program(200, 3)});
            u.unit(1)->raise(RequestSpec::download("PRG1", 1));
            u.unit(2)->raise(RequestSpec::upload("PRG2", 1));
        });
        HistoryRecorder recorder(dnc::historyRecorderOptions(
            *store, database, [this](const std::string& text) { note(text); }));
        dnc::EventLog log([this](const std::string& text) { note(text); });
        dnc::ServiceOptions options;
        options.subNets = {1};
        options.journal = &recorder;
        dnc::HeadlessService service(*store, log, options);
        ASSERT_EQ(service.start(), 1);
        for (int turn = 0; turn < 1500 && !bothDone(); ++turn) {
            service.serviceOnce(std::chrono::milliseconds(20));
        }
        EXPECT_TRUE(bothDone());
        service.closeAll();
        recorder.flush();
    }
    bool bothDone() {
        return driver.withUnits([](UnitSimulator& u) {
            return !u.eventsOf(UnitEvent::ProgramReceived).empty() &&
                   !u.eventsOf(UnitEvent::ProgramSent).empty();
        });
    }
    void note(const std::string& text) { lines.add(text); }
    int linesWith(const std::string& text) { return lines.with(text); }

    sim::PtyPair pty;
    UnitSimulator units;
    sim::unit::FdUnitLine driver;
    fs::path dir;
    std::unique_ptr<dnc::ConfigStore> store;
    LogLines lines;
};

TEST_F(ServiceRecords, ADownloadAndAnUploadAreRecordedWithTheFilesHashes) {
    const fs::path database = dir / "state" / "history.db";
    runTransfers(database);
    const fs::path sent = dir / "home" / "Ferix1" / "PRG1.WTX";
    const fs::path received = dir / "home" / "Ferix2" / "PRG2.WTX";
    ASSERT_TRUE(fs::exists(received));

    const auto readerStore = openHistoryStore(database, HistoryStore::Access::Read);

    HistoryStore& reader = *readerStore;
    const auto rows = reader.query({});
    ASSERT_TRUE(rows) << reader.error();
    ASSERT_EQ(rows->size(), 2u);
    const HistoryRow& down = rows->at(0).unit == 1 ? rows->at(0) : rows->at(1);
    const HistoryRow& up = rows->at(0).unit == 1 ? rows->at(1) : rows->at(0);
    EXPECT_EQ(down.subNet, 1);
    EXPECT_EQ(down.caption, "Hall A");
    EXPECT_EQ(down.direction, Direction::ToUnit);
    EXPECT_EQ(down.startedBy, StartedBy::Unit);
    EXPECT_EQ(down.user, "unit 1");
    EXPECT_EQ(down.name, "PRG1.WTX");
    EXPECT_EQ(down.path, sent.string());
    EXPECT_EQ(down.size, 300);
    EXPECT_EQ(down.sha256, sha256sum(sent));
    EXPECT_EQ(down.outcome, Outcome::Done);
    EXPECT_TRUE(down.kept);

    EXPECT_EQ(up.unit, 2);
    EXPECT_EQ(up.user, "unit 2");
    EXPECT_EQ(up.direction, Direction::FromUnit);
    EXPECT_EQ(up.size, 200);
    EXPECT_EQ(up.sha256, sha256sum(received));
    EXPECT_TRUE(up.stored);
    EXPECT_TRUE(up.kept) << "a received program is a revision: its content is kept";
    EXPECT_EQ(down.site, "Hall West");
    EXPECT_EQ(up.site, "Hall West");
    EXPECT_EQ(reader.revisions({})->front().site, "Hall West");

    std::ostringstream out, err;
    ASSERT_EQ(runShowProgramCommand({*down.sha256, "--history", database.string()}, out, err), 0)
        << err.str();
    EXPECT_EQ(out.str(), program(300, 16));
    EXPECT_EQ(linesWith("history:"), 0);
}

TEST_F(ServiceRecords, TheHistoryIsWhereTheCommandLineOrElseTheSettingsSay) {
    EXPECT_EQ(dnc::historyLocation(*store, "/srv/given.db"), "/srv/given.db");
    // The service's own file stands in only while the settings name none.
    const std::string own = "/var/lib/ferixdnc/history.db";
    EXPECT_EQ(dnc::historyLocation(*store, std::nullopt, own), own);
    const std::string uri = "postgresql://dnc@db.plant/history";
    ASSERT_TRUE(store->write("Common", "HistoryDatabase", uri));
    EXPECT_EQ(dnc::historyLocation(*store, std::nullopt).string(), uri);
    EXPECT_EQ(dnc::historyLocation(*store, std::nullopt, own).string(), uri);
    EXPECT_EQ(dnc::historyLocation(*store, "/srv/given.db", own), "/srv/given.db");
    // Another scheme is no file: the default takes its place, as --check-config says.
    ASSERT_TRUE(store->write("Common", "HistoryDatabase", "mysql://db.plant/history"));
    EXPECT_EQ(dnc::historyLocation(*store, std::nullopt), dnc::history::historyPath(std::nullopt));
    // Only a server's records wait in a spool, beside the default history file.
    const auto nothing = [](const std::string&) {};
    EXPECT_EQ(dnc::historyRecorderOptions(*store, uri, nothing).spool,
              dnc::history::historyPath(std::nullopt).parent_path() / "history-spool.sqlite");
    EXPECT_TRUE(dnc::historyRecorderOptions(*store, "/srv/given.db", nothing).spool.empty());
}

TEST_F(ServiceRecords, ADatabaseThatCannotBeWrittenLeavesTheLineAlone) {
    // A folder where the file should be: nothing can be written there, even as root.
    const fs::path database = dir / "history.db";
    fs::create_directories(database);
    runTransfers(database);
    EXPECT_EQ(fs::exists(dir / "home" / "Ferix2" / "PRG2.WTX") ? 1 : 0, 1);
    driver.withUnits([](UnitSimulator& u) {
        ASSERT_FALSE(u.eventsOf(UnitEvent::ProgramReceived).empty());
        EXPECT_EQ(u.eventsOf(UnitEvent::ProgramReceived).back().data, program(300, 16));
    });
    EXPECT_EQ(linesWith("history: cannot write the database " + database.string()), 1);
}

TEST_F(ServiceRecords, AnOperatorsRequestIsRecordedUnderTheUserWhoAsked) {
    const fs::path database = dir / "state" / "history.db";
    std::ofstream(dir / "home" / "Ferix1" / "PRG1.WTX", std::ios::binary) << program(120, 5);
    driver.withUnits([](UnitSimulator& u) {
        u.unit(2)->memory().store({"PRG2", 1, program(90, 7)});
    });
    {
        HistoryRecorder recorder(dnc::historyRecorderOptions(
            *store, database, [this](const std::string& text) { note(text); }));
        dnc::EventLog log([this](const std::string& text) { note(text); });
        dnc::ServiceOptions options;
        options.subNets = {1};
        options.journal = &recorder;
        dnc::HeadlessService service(*store, log, options);
        ASSERT_EQ(service.start(), 1);
        dnc::SubNet* subNet = service.runningSubNet(1);
        ASSERT_NE(subNet, nullptr);
        std::atomic<int> done = 0;
        // One asked for by a caller named by the bus, one by the windows' own user.
        subNet->postRequest(
            [&done](comm::ctrlFerixComm& c) {
                c.DoPcRequestFileToFerix(1, "PRG1.WTX");
                ++done;
            },
            dnc::SubNet::Urgency::Operator, "anna");
        subNet->postRequest([&done](comm::ctrlFerixComm& c) {
            c.DoPcRequestFileFromFerix(2, "PRG2", 0);
            ++done;
        });
        for (int turn = 0; turn < 1500 && done < 2; ++turn) {
            service.serviceOnce(std::chrono::milliseconds(20));
        }
        EXPECT_EQ(done, 2);
        service.closeAll();
        recorder.flush();
    }
    const auto readerStore = openHistoryStore(database, HistoryStore::Access::Read);
    HistoryStore& reader = *readerStore;
    const auto rows = reader.query({});
    ASSERT_TRUE(rows) << reader.error();
    ASSERT_EQ(rows->size(), 2u);
    const HistoryRow& sent = rows->at(0).unit == 1 ? rows->at(0) : rows->at(1);
    const HistoryRow& received = rows->at(0).unit == 1 ? rows->at(1) : rows->at(0);
    EXPECT_EQ(sent.startedBy, StartedBy::Operator);
    EXPECT_EQ(sent.outcome, Outcome::Done) << sent.error;
    EXPECT_EQ(sent.user, "anna");
    EXPECT_EQ(received.startedBy, StartedBy::Operator);
    EXPECT_EQ(received.outcome, Outcome::Done) << received.error;
    const passwd* self = ::getpwuid(::getuid());
    EXPECT_EQ(received.user, self != nullptr ? self->pw_name : std::to_string(::getuid()));
}

}  // namespace
