// A plant on one PostgreSQL server, end to end: two headless services as two sites, each with a
// line of simulated units on a pseudo-terminal transferring programs in real time, both writing
// at once; the server stopped while the units go on and started again; a third site's history
// file moved onto the server with ferixdncctl beforehand. Every transfer a unit made is on the
// server once, under its site, and the chains verify there.
#include <gtest/gtest.h>
#include <unistd.h>

#include <future>
#include <map>
#include <set>
#include <tuple>

#include "dnc/history/HistoryRecorder.h"
#include "dnc/service/HeadlessService.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/pty/PtyPair.h"
#include "sim/unit/FdUnitLine.h"
#include "sim/unit/UnitSimulator.h"
#include "tests/history/PostgresServer.h"
#include "tests/history/ProgramText.h"
#include "tests/service/LogLines.h"
#include "tests/support/ChildProgram.h"

namespace fs = std::filesystem;

namespace {

using namespace dnc::history;
using sim::unit::RequestSpec;
using sim::unit::UnitEvent;
using sim::unit::UnitSimulator;

constexpr int kSpeed = 9600;
// Unit 1 fetches PRG1 from the PC, unit 2 sends PRG2 to it, each again and again.
constexpr int kFetcher = 1;
constexpr int kSender = 2;

// One PC of the plant: its service with one line, its units, its history's thread and spool.
class Site {
public:
    Site(const std::string& name, const fs::path& root, const std::string& server)
        : name_(name), driver_(units_, pty_.masterFd(), sim::unit::characterTime(kSpeed, 11)) {
        fs::create_directories(root / "home" / "Ferix1");
        fs::create_directories(root / "home" / "Ferix2");
        store_ = std::make_unique<dnc::ConfigStore>(root / "DNC.ini");
        EXPECT_TRUE(store_->write("Ports", "1", pty_.devicePath()));
        EXPECT_TRUE(store_->write("Config1", {{"Caption", name + " lathes"},
                                              {"CommSpeed", std::to_string(kSpeed)},
                                              {"Protocol", "3"},
                                              {"FerixHomeDir", (root / "home").string() + "/"},
                                              {"FerixDir1", "Ferix1/"},
                                              {"Connected1", "True"},
                                              {"FerixDir2", "Ferix2/"},
                                              {"Connected2", "True"}}));
        std::ofstream(root / "home" / "Ferix1" / "PRG1.WTX", std::ios::binary) << ncProgram(240, 3);
        units_.addUnit(kFetcher);
        units_.addUnit(kSender);
        driver_.preferPromptAnswers(true);
        driver_.start();

        RecorderOptions history;
        history.database = server;
        history.site = name;
        history.keepPrograms = true;
        history.spool = root / "history-spool.sqlite";
        history.spoolRetry = std::chrono::milliseconds(200);
        history.report = [this](const std::string& text) { log_.add(text); };
        recorder_ = std::make_unique<HistoryRecorder>(std::move(history));
        dnc::ServiceOptions options;
        options.subNets = {1};
        options.journal = recorder_.get();
        options.heartbeat = [this](Heartbeat beat) { recorder_->beat(std::move(beat)); };
        options.heartbeatInterval = std::chrono::milliseconds(300);
        events_ = std::make_unique<dnc::EventLog>([this](const std::string& t) { log_.add(t); });
        service_ = std::make_unique<dnc::HeadlessService>(*store_, *events_, options);
        EXPECT_EQ(service_->start(), 1);
    }
    ~Site() {
        service_->closeAll();
        service_.reset();
        recorder_.reset();
        driver_.stop();
    }

    // Each unit is given `more` transfers to make, one after another.
    void ask(int more) { wanted_ += more; }
    // Serves the events and gives each unit its next transfer once the last one ended.
    void serve(std::chrono::milliseconds wait) {
        service_->serviceOnce(wait);
        driver_.withUnits([this](UnitSimulator& u) {
            const int fetched = static_cast<int>(u.eventsOf(UnitEvent::ProgramReceived).size());
            const int sent = static_cast<int>(u.eventsOf(UnitEvent::ProgramSent).size());
            if (fetched == raised_[0] && raised_[0] < wanted_) {
                u.unit(kFetcher)->raise(RequestSpec::download("PRG1", 1));
                ++raised_[0];
            }
            if (sent == raised_[1] && raised_[1] < wanted_) {
                // Each one differs from the last: a new revision every time.
                u.unit(kSender)->memory().store(
                    {"PRG2", 1, ncProgram(200, static_cast<unsigned>(7 + raised_[1]))});
                u.unit(kSender)->raise(RequestSpec::upload("PRG2", 1));
                ++raised_[1];
            }
        });
    }
    // Transfers the units saw to their end.
    int ended() {
        return driver_.withUnits([](UnitSimulator& u) {
            return static_cast<int>(u.eventsOf(UnitEvent::ProgramReceived).size() +
                                    u.eventsOf(UnitEvent::ProgramSent).size());
        });
    }
    bool allEnded() { return ended() == 2 * wanted_; }

    const std::string& name() const { return name_; }
    HistoryRecorder& recorder() { return *recorder_; }
    const LogLines& log() const { return log_; }

private:
    std::string name_;
    sim::PtyPair pty_;
    UnitSimulator units_;
    sim::unit::FdUnitLine driver_;
    std::unique_ptr<dnc::ConfigStore> store_;
    LogLines log_;
    std::unique_ptr<HistoryRecorder> recorder_;
    std::unique_ptr<dnc::EventLog> events_;
    std::unique_ptr<dnc::HeadlessService> service_;
    int wanted_ = 0;
    int raised_[2] = {0, 0};
};

struct CtlRun {
    int status;
    std::string output;
};

CtlRun ctl(std::vector<std::string> arguments) {
    ChildProgram program(FERIXDNCCTL_PROGRAM, std::move(arguments));
    const int status = program.exitCode(std::chrono::seconds(60));
    return {status, program.output()};
}

class PlantSites : public ::testing::Test {
protected:
    PlantSites() {
        loc::selectLanguage(loc::kEnglish);
        dir = fs::temp_directory_path() / ("ferix-plant-" + std::to_string(::getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
    }
    ~PlantSites() override { fs::remove_all(dir); }

    // Serves both sites until `done`, or fails after a generous while.
    template <typename Done>
    bool serveUntil(Site& a, Site& b, Done done) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(90);
        while (!done() && std::chrono::steady_clock::now() < giveUp) {
            a.serve(std::chrono::milliseconds(10));
            b.serve(std::chrono::milliseconds(10));
        }
        return done();
    }

    fs::path dir;
};

// Site C's history file as it stood before the plant shared a server: a few records on its
// own chain.
void writeFileHistory(const fs::path& file) {
    RecorderOptions options;
    options.database = file;
    options.site = "Hall C";
    options.keepPrograms = true;
    HistoryRecorder recorder(options);
    for (int n = 0; n < 3; ++n) {
        TransferRecord r;
        r.time = std::chrono::system_clock::now() - std::chrono::hours(24 * (3 - n));
        r.subNet = 1;
        r.caption = "Hall C mills";
        r.unit = n + 1;
        r.user = "unit " + std::to_string(n + 1);
        r.name = "MILL" + std::to_string(n) + ".H";
        r.path = "/srv/dnc/Ferix" + std::to_string(n + 1) + "/" + r.name;
        r.content = ncProgram(100, static_cast<unsigned>(n + 2));
        recorder.record(std::move(r));
    }
    recorder.flush();
    EXPECT_EQ(recorder.written(), 3u);
}

TEST_F(PlantSites, TwoSitesWritingAtOnceThroughAnOutageEndWithEveryTransferOnTheServerOnce) {
    REQUIRE_POSTGRES();
    PostgresServer& server = PostgresServer::instance();
    const std::string uri = server.freshDatabase();

    // Site C moves its file onto the empty server first; its chain goes with it.
    const fs::path fileC = dir / "hall-c.sqlite";
    writeFileHistory(fileC);
    const CtlRun fileVerified = ctl({"history", "--verify", "--history", fileC.string()});
    EXPECT_EQ(fileVerified.status, 0) << fileVerified.output;
    const CtlRun copied = ctl({"history", "--copy-to", uri, "--history", fileC.string()});
    ASSERT_EQ(copied.status, 0) << copied.output;

    Site a("Hall A", dir / "a", uri);
    Site b("Hall B", dir / "b", uri);

    // Both lines transfer while the server is up.
    a.ask(2);
    b.ask(2);
    ASSERT_TRUE(serveUntil(a, b, [&] { return a.allEnded() && b.allEnded(); }));

    // The server goes away while the units keep transferring: every transfer still ends, and
    // the records wait in each site's spool.
    std::future<bool> stopped = std::async(std::launch::async, [&server] { return server.stop(); });
    ASSERT_TRUE(serveUntil(a, b, [&] {
        return stopped.wait_for(std::chrono::seconds(0)) == std::future_status::ready;
    }));
    ASSERT_TRUE(stopped.get());
    a.ask(3);
    b.ask(3);
    ASSERT_TRUE(serveUntil(a, b, [&] { return a.allEnded() && b.allEnded(); }))
        << "a line waited for the history: " << a.ended() << " and " << b.ended() << " ended";
    ASSERT_TRUE(
        serveUntil(a, b, [&] { return a.recorder().behind() > 0 && b.recorder().behind() > 0; }));
    EXPECT_GE(a.log().with("shared history behind by"), 1);

    // Back again, with more transfers under way while the spools drain.
    std::future<bool> started =
        std::async(std::launch::async, [&server] { return server.restart(); });
    a.ask(1);
    b.ask(1);
    ASSERT_TRUE(serveUntil(a, b,
                           [&] {
                               return started.wait_for(std::chrono::seconds(0)) ==
                                          std::future_status::ready &&
                                      a.allEnded() && b.allEnded() && a.recorder().behind() == 0 &&
                                      b.recorder().behind() == 0;
                           }))
        << "behind: " << a.recorder().behind() << " and " << b.recorder().behind();
    ASSERT_TRUE(started.get());
    const int endedA = a.ended();
    const int endedB = b.ended();
    // The last records may still be on their way to the history's thread.
    auto shared = openHistoryStore(uri, HistoryStore::Access::Read);
    ASSERT_TRUE(shared->ok()) << shared->error();
    std::map<std::string, std::vector<HistoryRow>> bySite;
    ASSERT_TRUE(serveUntil(a, b, [&] {
        a.recorder().flush();
        b.recorder().flush();
        const auto rows = shared->query({});
        bySite.clear();
        for (const HistoryRow& row : rows.value_or(std::vector<HistoryRow>{})) {
            bySite[row.site].push_back(row);
        }
        return static_cast<int>(bySite["Hall A"].size()) >= endedA &&
               static_cast<int>(bySite["Hall B"].size()) >= endedB && a.recorder().behind() == 0 &&
               b.recorder().behind() == 0;
    }));
    EXPECT_EQ(a.log().with("shared history caught up"), 1);
    EXPECT_EQ(b.log().with("shared history caught up"), 1);

    // Exactly what each site's units did, each once, and nothing lost on the way.
    EXPECT_EQ(endedA, 12);
    EXPECT_EQ(endedB, 12);
    EXPECT_EQ(static_cast<int>(bySite["Hall A"].size()), endedA);
    EXPECT_EQ(static_cast<int>(bySite["Hall B"].size()), endedB);
    EXPECT_EQ(bySite["Hall C"].size(), 3u);
    EXPECT_EQ(bySite.size(), 3u);
    for (Site* site : {&a, &b}) {
        EXPECT_EQ(site->recorder().lost(), 0u) << site->name();
        std::set<std::tuple<std::string, int, std::string>> seen;
        // A transfer the line failed (a loaded machine can make a unit late) is a record like
        // any other: only its count matters here.
        for (const HistoryRow& row : bySite[site->name()]) {
            EXPECT_TRUE(seen.insert({row.time, row.unit, row.sha256.value_or("")}).second)
                << site->name() << " " << row.time << " unit " << row.unit << " twice";
        }
    }

    const auto beats = shared->heartbeats();
    ASSERT_TRUE(beats) << shared->error();
    std::set<std::string> beating;
    for (const Heartbeat& beat : *beats) {
        beating.insert(beat.site);
    }
    EXPECT_EQ(beating, (std::set<std::string>{"Hall A", "Hall B"}));

    const auto chains = shared->verifyChain();
    ASSERT_TRUE(chains) << shared->error();
    EXPECT_TRUE(chains->intact) << chains->table << " " << chains->id << ": " << chains->reason;
    const CtlRun verified = ctl({"history", "--verify", "--history", uri});
    EXPECT_EQ(verified.status, 0) << verified.output;
}

}  // namespace
