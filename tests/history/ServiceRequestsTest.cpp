// Two sites of a plant on one PostgreSQL server, each with its headless service: an accept or
// reject asked at site B of site A's pending revision is carried out by A's service on A's line
// (the file in A's unit directory replaced while the line rests) and settled; one that can no
// longer be carried out is settled failed with the reason; B never touches its own files for it.
#include <gtest/gtest.h>
#include <unistd.h>

#include <fstream>

#include "dnc/service/HeadlessService.h"
#include "dnc/service/HistoryServices.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/IdleLineService.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/UnitSimulator.h"
#include "tests/history/PostgresServer.h"
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
using Status = DecisionRequest::Status;

constexpr int kSpeed = 9600;

// One site: its settings, unit directory, history services and headless service.
struct Site {
    Site(const fs::path& root, const std::string& name, const std::string& port,
         const std::string& uri, std::chrono::milliseconds interval, bool idle) {
        fs::create_directories(root / "home" / "Ferix1");
        file = root / "home" / "Ferix1" / "PRG1.WTX";
        std::ofstream(file, std::ios::binary) << kApproved;
        store = std::make_unique<dnc::ConfigStore>(root / "DNC.ini");
        EXPECT_TRUE(store->write("Common", "PlantSite", name));
        EXPECT_TRUE(store->write("Ports", "1", port));
        EXPECT_TRUE(store->write("Config1", {{"Caption", "Hall"},
                                             {"CommSpeed", std::to_string(kSpeed)},
                                             {"Protocol", "3"},
                                             {"FerixHomeDir", (root / "home").string() + "/"},
                                             {"FerixDir1", "Ferix1/"},
                                             {"Connected1", "True"},
                                             {"ProtectPrograms", "True"}}));
        history = std::make_unique<dnc::HistoryServices>(
            *store, uri, [this](const std::string& t) { lines.add(t); }, interval);
        dnc::ServiceOptions options;
        options.subNets = {1};
        options.journal = &history->recorder();
        options.revisions = &history->desk();
        if (idle) {
            options.setup = [](comm::ctrlFerixComm& c) {
                sim::IdleLineService::install(c, comm::ProtDNC);
            };
        }
        service = std::make_unique<dnc::HeadlessService>(*store, log, options);
        EXPECT_EQ(service->start(), 1);
        history->requests().attach(service.get());
    }
    ~Site() {
        history->requests().attach(nullptr);
        service->closeAll();
        service.reset();
        history.reset();
    }

    static inline const std::string kApproved = ncProgram(600, 7);
    fs::path file;
    std::unique_ptr<dnc::ConfigStore> store;
    LogLines lines;
    dnc::EventLog log{[this](const std::string& t) { lines.add(t); }};
    std::unique_ptr<dnc::HistoryServices> history;
    std::unique_ptr<dnc::HeadlessService> service;
};

class ServiceRequests : public ::testing::Test {
protected:
    void SetUp() override {
        REQUIRE_POSTGRES();
        loc::selectLanguage(loc::kEnglish);
        dir = fs::temp_directory_path() /
              ("ferix-requests-service-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        uri = PostgresServer::instance().freshDatabase();
        units.addUnit(1);
        driver.preferPromptAnswers(true);
        driver.start();
        // A looks only when told (checkNow), B all the time: a B that took A's requests would
        // get at them first.
        a = std::make_unique<Site>(dir / "a", "hall-a", pty.devicePath(), uri,
                                   std::chrono::hours(1), false);
        b = std::make_unique<Site>(dir / "b", "hall-b", idlePty.devicePath(), uri,
                                   std::chrono::milliseconds(10), true);
    }
    void TearDown() override {
        a.reset();
        b.reset();
        driver.stop();
        fs::remove_all(dir);
    }

    template <typename Done>
    bool serveUntil(Done done) {
        for (int turn = 0; turn < 1500 && !done(); ++turn) {
            a->service->serviceOnce(std::chrono::milliseconds(10));
            b->service->serviceOnce(std::chrono::milliseconds(10));
        }
        return done();
    }
    std::size_t eventsOf(UnitEvent::Kind kind) {
        return driver.withUnits([kind](UnitSimulator& u) { return u.eventsOf(kind).size(); });
    }
    std::vector<RevisionRow> revisions() {
        const auto db = openHistoryStore(uri, HistoryStore::Access::Read);
        return db->revisions({}).value_or(std::vector<RevisionRow>{});
    }
    DecisionRequest request(std::int64_t id) {
        const auto db = openHistoryStore(uri, HistoryStore::Access::Read);
        for (const DecisionRequest& r : db->requests({}).value_or(std::vector<DecisionRequest>{})) {
            if (r.id == id) {
                return r;
            }
        }
        ADD_FAILURE() << "no request " << id;
        return {};
    }
    // A's unit sends PRG1 with `content`; A's pending revision of it.
    std::int64_t upload(const std::string& content) {
        const std::size_t before = eventsOf(UnitEvent::ProgramSent);
        driver.withUnits([&](UnitSimulator& u) {
            u.unit(1)->memory().store({"PRG1", 1, content});
            u.unit(1)->raise(RequestSpec::upload("PRG1", 1));
        });
        const std::size_t known = revisions().size();
        EXPECT_TRUE(serveUntil([&] { return eventsOf(UnitEvent::ProgramSent) > before; }));
        EXPECT_TRUE(serveUntil([&] {
            a->history->recorder().flush();
            return revisions().size() > known;
        }));
        const auto all = revisions();
        return all.empty() ? 0 : all.front().id;
    }
    // B's operator asks A.
    std::int64_t ask(Action action, std::int64_t revision) {
        std::string error;
        const auto id = b->history->desk().ask(action, revision, "bob", error);
        EXPECT_TRUE(id) << error;
        return id.value_or(0);
    }
    // A looks for its requests and carries `id` out.
    DecisionRequest settled(std::int64_t id) {
        a->history->requests().checkNow();
        EXPECT_TRUE(serveUntil([&] { return request(id).status != Status::Open; }));
        // B has looked meanwhile too: what it would have done with A's request is done.
        b->history->requests().checkNow();
        b->history->recorder().flush();
        b->service->serviceOnce(std::chrono::milliseconds(0));
        return request(id);
    }
    void expectBUntouched() {
        EXPECT_EQ(fileText(b->file), Site::kApproved) << "B's own file";
        EXPECT_EQ(b->lines.with("decision request"), 0) << "B carries out none of A's";
    }

    sim::PtyPair pty;
    sim::PtyPair idlePty;
    UnitSimulator units;
    sim::unit::FdUnitLine driver{units, pty.masterFd(), sim::unit::characterTime(kSpeed, 11)};
    fs::path dir;
    std::string uri;
    std::unique_ptr<Site> a;
    std::unique_ptr<Site> b;
};

TEST_F(ServiceRequests, AnAcceptAskedAtAnotherSiteReplacesTheOwnersFileAndIsSettledDone) {
    const std::string edited = ncProgram(700, 11);
    const std::int64_t pending = upload(edited);
    ASSERT_NE(pending, 0);
    EXPECT_EQ(fileText(a->file), Site::kApproved);
    EXPECT_EQ(
        a->lines.with(": PRG1.WTX waits for approval (revision " + std::to_string(pending) + ")"),
        1);
    const std::int64_t id = ask(Action::Accept, pending);
    EXPECT_EQ(fileText(a->file), Site::kApproved) << "nothing happens at A before A looks";

    const DecisionRequest done = settled(id);
    EXPECT_EQ(done.status, Status::Done) << done.result;
    EXPECT_EQ(done.result, "");
    EXPECT_NE(done.settledUs, 0);
    EXPECT_EQ(fileText(a->file), edited) << "byte for byte";
    const auto all = revisions();
    ASSERT_EQ(all.size(), 2u);
    EXPECT_EQ(all[0].state, State::Released);
    EXPECT_EQ(all[0].site, "hall-a");
    EXPECT_EQ(all[0].user, "bob@hall-b") << "who asked, and where";
    EXPECT_EQ(done.settledUs, all[0].timeUs) << "settled with the decision, in one transaction";
    EXPECT_EQ(all[1].state, State::Superseded);
    EXPECT_EQ(a->lines.with("decision request " + std::to_string(id) +
                            " from hall-b (bob) to accept revision " + std::to_string(pending) +
                            ": done"),
              1);
    expectBUntouched();
    const auto check = openHistoryStore(uri, HistoryStore::Access::Read)->verifyChain();
    ASSERT_TRUE(check);
    EXPECT_TRUE(check->intact) << check->table << " " << check->id << ": " << check->reason;
}

TEST_F(ServiceRequests, ARejectAskedAtAnotherSiteKeepsTheOwnersFile) {
    const std::int64_t pending = upload(ncProgram(650, 5));
    const DecisionRequest done = settled(ask(Action::Reject, pending));
    EXPECT_EQ(done.status, Status::Done) << done.result;
    EXPECT_EQ(fileText(a->file), Site::kApproved);
    const auto all = revisions();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].state, State::Rejected);
    expectBUntouched();
}

TEST_F(ServiceRequests, ARequestOvertakenByTheOwnersOperatorIsSettledByWhatHappened) {
    // The owner's operator decided otherwise meanwhile: failed, with the reason.
    const std::string first = ncProgram(610, 3);
    std::int64_t pending = upload(first);
    std::int64_t id = ask(Action::Accept, pending);
    std::atomic<bool> ended{false};
    a->history->desk().act(*a->service->runningSubNet(1), Action::Reject, pending, "alice",
                           [&](const ActionResult& r) {
                               EXPECT_TRUE(r.ok) << r.error;
                               ended = true;
                           });
    ASSERT_TRUE(serveUntil([&] { return ended.load(); }));
    DecisionRequest failed = settled(id);
    EXPECT_EQ(failed.status, Status::Failed);
    EXPECT_EQ(failed.result, "revision " + std::to_string(pending) +
                                 ": the revision is rejected, only a pending one can be accepted");
    EXPECT_EQ(fileText(a->file), Site::kApproved);
    EXPECT_EQ(a->lines.with("decision request " + std::to_string(id)), 1);

    // The same decision made at the owner: what was asked for holds, the file once replaced.
    const std::string second = ncProgram(620, 9);
    pending = upload(second);
    id = ask(Action::Accept, pending);
    ended = false;
    a->history->desk().act(*a->service->runningSubNet(1), Action::Accept, pending, "alice",
                           [&](const ActionResult& r) {
                               EXPECT_TRUE(r.ok) << r.error;
                               ended = true;
                           });
    ASSERT_TRUE(serveUntil([&] { return ended.load(); }));
    const std::size_t revisionsBefore = revisions().size();
    const DecisionRequest done = settled(id);
    EXPECT_EQ(done.status, Status::Done) << done.result;
    EXPECT_EQ(revisions().size(), revisionsBefore) << "not carried out a second time";
    EXPECT_EQ(revisions().front().user, "alice");
    EXPECT_EQ(fileText(a->file), second);
    expectBUntouched();
}

TEST_F(ServiceRequests, ARequestTheOwnerCannotCarryOutIsSettledFailedWithTheReason) {
    // The file is a link now: a program is never written through one.
    const std::int64_t pending = upload(ncProgram(630, 13));
    const fs::path elsewhere = dir / "elsewhere.WTX";
    std::ofstream(elsewhere, std::ios::binary) << "untouched";
    fs::remove(a->file);
    fs::create_symlink(elsewhere, a->file);
    DecisionRequest failed = settled(ask(Action::Accept, pending));
    EXPECT_EQ(failed.status, Status::Failed);
    EXPECT_NE(failed.result.find("cannot write " + a->file.string()), std::string::npos)
        << failed.result;
    EXPECT_EQ(fileText(elsewhere), "untouched");
    EXPECT_EQ(revisions().front().state, State::Pending) << "nothing recorded";

    // The sub net is not running.
    a->service->stopSubNet(1);
    ASSERT_TRUE(serveUntil([&] { return a->service->runningSubNet(1) == nullptr; }));
    failed = settled(ask(Action::Reject, pending));
    EXPECT_EQ(failed.status, Status::Failed);
    EXPECT_EQ(failed.result, "sub net 1 is not running");
    EXPECT_EQ(revisions().front().state, State::Pending);
    expectBUntouched();
}

}  // namespace
