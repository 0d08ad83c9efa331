// The gate on a real line: a sub net on one end of a pseudo-terminal pair, simulated DNC units
// on the other, in real time. With ProtectPrograms on, an upload waits for approval and the
// units go on getting the released program; accept, reject and restore change the file in the
// unit directory only while the line rests.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <sstream>

#include "dnc/history/HistoryDatabase.h"
#include "dnc/manager/RevisionDesk.h"
#include "dnc/service/HeadlessService.h"
#include "dnc/service/HistorySettings.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/UnitSimulator.h"
#include "tests/history/ProgramText.h"
#include "tests/service/LogLines.h"

namespace fs = std::filesystem;

namespace {

using namespace dnc::history;
using dnc::revisions::Action;
using dnc::revisions::State;
using sim::unit::RequestSpec;
using sim::unit::UnitEvent;
using sim::unit::UnitSimulator;

constexpr int kSpeed = 9600;

class ServiceRevisions : public ::testing::Test {
protected:
    ServiceRevisions() : driver(units, pty.masterFd(), sim::unit::characterTime(kSpeed, 11)) {
        loc::selectLanguage(loc::kEnglish);
        dir = fs::temp_directory_path() /
              ("ferix-revisions-service-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir / "home" / "Ferix1");
        database = dir / "state" / "history.db";
        file = dir / "home" / "Ferix1" / "PRG1.WTX";
        store = std::make_unique<dnc::ConfigStore>(dir / "DNC.ini");
        EXPECT_TRUE(store->write("Ports", "1", pty.devicePath()));
        EXPECT_TRUE(store->write("Config1", {{"Caption", "Hall A"},
                                             {"CommSpeed", std::to_string(kSpeed)},
                                             {"Protocol", "3"},
                                             {"FerixHomeDir", (dir / "home").string() + "/"},
                                             {"FerixDir1", "Ferix1/"},
                                             {"Connected1", "True"},
                                             {"ProtectPrograms", "True"}}));
        std::ofstream(file, std::ios::binary) << kApproved;
        units.addUnit(1);
        driver.preferPromptAnswers(true);
        driver.start();
        auto options = dnc::historyRecorderOptions(*store, database,
                                                   [this](const std::string& t) { lines.add(t); });
        options.revisionWritten = [this](const RevisionNotice& n) { noticed.push_back(n); };
        recorder = std::make_unique<HistoryRecorder>(std::move(options));
        desk = std::make_unique<dnc::RevisionDesk>(database, *recorder);
        dnc::ServiceOptions serviceOptions;
        serviceOptions.subNets = {1};
        serviceOptions.journal = recorder.get();
        serviceOptions.revisions = desk.get();
        service = std::make_unique<dnc::HeadlessService>(*store, log, serviceOptions);
        EXPECT_EQ(service->start(), 1);
    }
    ~ServiceRevisions() override {
        service->closeAll();
        service.reset();
        recorder.reset();
        driver.stop();
        fs::remove_all(dir);
    }

    template <typename Done>
    bool serveUntil(Done done) {
        for (int turn = 0; turn < 1500 && !done(); ++turn) {
            service->serviceOnce(std::chrono::milliseconds(20));
        }
        return done();
    }
    std::size_t eventsOf(UnitEvent::Kind kind) {
        return driver.withUnits([kind](UnitSimulator& u) { return u.eventsOf(kind).size(); });
    }
    // The unit sends PRG1 with `content`; returns when the history has its revision.
    // (The test's own unit never sends the same program twice in a row.)
    void upload(const std::string& content) {
        const std::size_t before = eventsOf(UnitEvent::ProgramSent);
        driver.withUnits([&](UnitSimulator& u) {
            u.unit(1)->memory().store({"PRG1", 1, content});
            u.unit(1)->raise(RequestSpec::upload("PRG1", 1));
        });
        const std::size_t known = revisions().size();
        ASSERT_TRUE(serveUntil([&] { return eventsOf(UnitEvent::ProgramSent) > before; }));
        // The line reports the transfer's end after the unit's closing block.
        ASSERT_TRUE(serveUntil([&] {
            recorder->flush();
            return revisions().size() > known;
        }));
    }
    // The unit fetches PRG1; what it got.
    std::string download() {
        const std::size_t before = eventsOf(UnitEvent::ProgramReceived);
        driver.withUnits(
            [](UnitSimulator& u) { u.unit(1)->raise(RequestSpec::download("PRG1", 1)); });
        EXPECT_TRUE(serveUntil([&] { return eventsOf(UnitEvent::ProgramReceived) > before; }));
        return driver.withUnits(
            [](UnitSimulator& u) { return u.eventsOf(UnitEvent::ProgramReceived).back().data; });
    }
    ActionResult decide(Action action, std::int64_t id) {
        std::atomic<bool> ended{false};
        ActionResult result;
        desk->act(*service->runningSubNet(1), action, id, "alice", [&](const ActionResult& r) {
            result = r;
            ended = true;
        });
        EXPECT_TRUE(serveUntil([&] { return ended.load(); }));
        return result;
    }
    std::vector<RevisionRow> revisions() {
        std::string error;
        return desk->list({}, error).value_or(std::vector<RevisionRow>{});
    }

    static inline const std::string kApproved = ncProgram(600, 7);
    sim::PtyPair pty;
    UnitSimulator units;
    sim::unit::FdUnitLine driver;
    fs::path dir;
    fs::path database;
    fs::path file;
    std::unique_ptr<dnc::ConfigStore> store;
    LogLines lines;
    dnc::EventLog log{[this](const std::string& t) { lines.add(t); }};
    std::vector<RevisionNotice> noticed;
    std::unique_ptr<HistoryRecorder> recorder;
    std::unique_ptr<dnc::RevisionDesk> desk;
    std::unique_ptr<dnc::HeadlessService> service;
};

TEST_F(ServiceRevisions, AnUploadWaitsAcceptReplacesTheFileAndTheUnitThenGetsTheNewProgram) {
    const std::string edited = ncProgram(700, 11);
    upload(edited);
    EXPECT_EQ(fileText(file), kApproved) << "the released program is untouched";
    auto all = revisions();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].state, State::Pending);
    EXPECT_EQ(all[0].user, "unit 1");
    ASSERT_EQ(noticed.size(), 1u);
    EXPECT_EQ(noticed[0].id, all[0].id);
    EXPECT_EQ(download(), kApproved) << "the unit gets the released program";

    // A shared history holds other sites' revisions: none of them is this desk's.
    EXPECT_FALSE(desk->foreign(1, all[0].id));
    const dnc::RevisionDesk elsewhere(database, *recorder, "Hall East");
    const auto notOurs = elsewhere.foreign(1, all[0].id);
    ASSERT_TRUE(notOurs);
    EXPECT_NE(notOurs->find("belongs to site"), std::string::npos) << *notOurs;
    std::string listed;
    EXPECT_TRUE(elsewhere.list({}, listed)->empty()) << listed;

    std::string error;
    const auto diff = desk->compare(all[0].id, 0, error);
    ASSERT_TRUE(diff) << error;
    EXPECT_NE(diff->find("+++ PRG1.WTX revision 1 (pending"), std::string::npos) << *diff;

    const ActionResult accepted = decide(Action::Accept, all[0].id);
    ASSERT_TRUE(accepted.ok) << accepted.error;
    EXPECT_EQ(fileText(file), edited);
    EXPECT_EQ(download(), edited);
    all = revisions();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].state, State::Released);
    EXPECT_EQ(all[0].user, "alice");
    EXPECT_EQ(all[1].state, State::Superseded);
}

TEST_F(ServiceRevisions, RejectKeepsTheFileAndRestoreBringsBackAnEarlierRevision) {
    const std::string first = ncProgram(500, 3);
    const std::string second = ncProgram(520, 5);
    upload(first);
    ASSERT_TRUE(decide(Action::Accept, revisions().front().id).ok);
    upload(second);
    const std::int64_t pending = revisions().front().id;
    const ActionResult rejected = decide(Action::Reject, pending);
    ASSERT_TRUE(rejected.ok) << rejected.error;
    EXPECT_EQ(fileText(file), first);
    EXPECT_FALSE(decide(Action::Accept, pending).ok) << "a rejected one is decided";

    const std::int64_t firstPending = 1;
    const ActionResult restored = decide(Action::Restore, firstPending);
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(fileText(file), first) << "the same content again";
    ASSERT_TRUE(decide(Action::Restore, pending).ok);
    EXPECT_EQ(fileText(file), second) << "a rejected revision can still be restored";
    EXPECT_EQ(download(), second);
}

TEST_F(ServiceRevisions, AnAcceptAskedWhileATransferRunsWaitsForTheLineToRest) {
    const std::string edited = ncProgram(700, 13);
    upload(edited);
    const std::int64_t id = revisions().front().id;
    const std::string big = kApproved + ncProgram(3000, 17);
    std::ofstream(file, std::ios::binary | std::ios::trunc) << big;
    const std::size_t requests = eventsOf(UnitEvent::RequestSent);
    driver.withUnits([](UnitSimulator& u) { u.unit(1)->raise(RequestSpec::download("PRG1", 1)); });
    ASSERT_TRUE(serveUntil([&] { return eventsOf(UnitEvent::RequestSent) > requests; }));
    std::atomic<bool> ended{false};
    std::atomic<bool> downloadEndedFirst{false};
    desk->act(*service->runningSubNet(1), Action::Accept, id, "alice", [&](const ActionResult& r) {
        EXPECT_TRUE(r.ok) << r.error;
        downloadEndedFirst = eventsOf(UnitEvent::ProgramReceived) == 1;
        ended = true;
    });
    ASSERT_TRUE(serveUntil([&] { return ended.load(); }));
    EXPECT_TRUE(downloadEndedFirst);
    driver.withUnits([&](UnitSimulator& u) {
        EXPECT_EQ(u.eventsOf(UnitEvent::ProgramReceived).back().data, big)
            << "the running download was not disturbed";
    });
    EXPECT_EQ(fileText(file), edited);
}

TEST_F(ServiceRevisions, WithoutTheGateAnUploadReplacesTheFileAndIsReleased) {
    service->closeAll();
    service.reset();
    EXPECT_TRUE(store->write("Config1", "ProtectPrograms", "False"));
    dnc::ServiceOptions serviceOptions;
    serviceOptions.subNets = {1};
    serviceOptions.journal = recorder.get();
    service = std::make_unique<dnc::HeadlessService>(*store, log, serviceOptions);
    ASSERT_EQ(service->start(), 1);
    const std::string edited = ncProgram(650, 19);
    upload(edited);
    EXPECT_EQ(fileText(file), edited);
    const auto all = revisions();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].state, State::Released);
}

TEST(ReleasedFile, AProcessKilledWhileReplacingLeavesTheOldFileOrTheNewNeverAMixture) {
    const fs::path dir = fs::temp_directory_path() / ("ferix-kill-" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const fs::path file = dir / "PRG.WTX";
    const std::string before(2 << 20, 'A');
    const std::string after(2 << 20, 'B');
    for (int round = 0; round < 20; ++round) {
        std::ofstream(file, std::ios::binary | std::ios::trunc) << before;
        int ready[2];
        ASSERT_EQ(::pipe(ready), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(ready[0]);
            (void)!::write(ready[1], "x", 1);
            std::string error;
            for (;;) {
                dnc::replaceReleased(file.parent_path(), file, after, error);
                dnc::replaceReleased(file.parent_path(), file, before, error);
            }
        }
        ::close(ready[1]);
        char c = 0;
        ASSERT_EQ(::read(ready[0], &c, 1), 1);
        ::close(ready[0]);
        ::usleep(static_cast<useconds_t>(1000 * (round % 7)));
        ::kill(child, SIGKILL);
        ::waitpid(child, nullptr, 0);
        const std::string now = fileText(file);
        EXPECT_TRUE(now == before || now == after) << "round " << round << ": " << now.size();
    }
    fs::remove_all(dir);
}

}  // namespace
