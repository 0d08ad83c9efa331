// The gate on the lines without unit addresses, in real time over a pseudo-terminal pair: a
// Heidenhain or Tavro1 control and a tape reader and puncher on the master end, a sub net on
// the other. With ProtectPrograms on, an upload leaves the released file as it was and waits
// as one pending revision; once accepted, the next download carries it. A Tavro1 delete leaves
// the file until the removal is accepted; restoring brings it back.
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <fstream>
#include <future>
#include <sstream>
#include <thread>

#include "comm/FerixComm.h"
#include "dnc/history/HistoryDatabase.h"
#include "dnc/manager/RevisionDesk.h"
#include "dnc/service/HeadlessService.h"
#include "dnc/service/HistorySettings.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/heidenhain/HeidenhainMachine.h"
#include "sim/heidenhain/link/FdPeerLink.h"
#include "sim/pty/PtyPair.h"
#include "sim/tape/TapePuncher.h"
#include "sim/tape/TapeReader.h"
#include "tests/history/ProgramText.h"
#include "tests/service/LogLines.h"

namespace fs = std::filesystem;

namespace {

using namespace std::chrono_literals;
using namespace dnc::history;
using dnc::revisions::Action;
using dnc::revisions::State;

const std::string kIntoTheDirectory = "program received into the unit directory";

// Tells the test when the line is served and when it has begun to take a program from the
// reader: the machine speaks only then, what came before would be flushed away.
class LineWatch : public dnc::NetworkObserver {
public:
    void subNetStarted(int) override {}
    void subNetClosed(int) override {}
    void subNetEvent(const dnc::SubNetEvent& event) override {
        if (event.kind == dnc::SubNetEvent::Kind::CommunicationStarted) {
            served = true;
        }
        if (event.kind == dnc::SubNetEvent::Kind::ShowStop && event.showButton &&
            event.direction == 1) {
            ++receiving;
        }
    }
    bool served = false;
    int receiving = 0;
};

class LineRevisions : public ::testing::TestWithParam<comm::ProtocolEnum> {
protected:
    LineRevisions() {
        loc::selectLanguage(loc::kEnglish);
        dir = fs::temp_directory_path() / ("ferix-line-revisions-" + std::to_string(::getpid()) +
                                           "-" + std::to_string(static_cast<int>(GetParam())));
        fs::remove_all(dir);
        fs::create_directories(dir / "home" / "Ferix1");
        database = dir / "state" / "history.db";
        file = dir / "home" / "Ferix1" / kName;
        store = std::make_unique<dnc::ConfigStore>(dir / "DNC.ini");
        EXPECT_TRUE(store->write("Ports", "1", pty.devicePath()));
        std::ofstream(file, std::ios::binary) << kApproved;
        machineThread = std::thread([this] { peer.runUntil([] { return false; }, 600s); });
        auto options = dnc::historyRecorderOptions(*store, database,
                                                   [this](const std::string& t) { lines.add(t); });
        recorder = std::make_unique<HistoryRecorder>(std::move(options));
        desk = std::make_unique<dnc::RevisionDesk>(database, *recorder);
    }
    ~LineRevisions() override {
        if (service) {
            service->closeAll();
            service.reset();
        }
        recorder.reset();
        peer.requestStop();
        machineThread.join();
        fs::remove_all(dir);
    }

    void startService(bool gate) {
        EXPECT_TRUE(
            store->write("Config1", {{"Caption", "Hall B"},
                                     {"CommSpeed", "38400"},
                                     {"Protocol", std::to_string(static_cast<int>(GetParam()))},
                                     {"FerixHomeDir", (dir / "home").string() + "/"},
                                     {"FerixDir1", "Ferix1/"},
                                     {"Connected1", "True"},
                                     {"ProtectPrograms", gate ? "True" : "False"}}));
        dnc::ServiceOptions serviceOptions;
        serviceOptions.subNets = {1};
        serviceOptions.journal = recorder.get();
        serviceOptions.revisions = desk.get();
        service = std::make_unique<dnc::HeadlessService>(*store, log, serviceOptions);
        service->setObserver(&watch);
        ASSERT_EQ(service->start(), 1);
        ASSERT_TRUE(serveUntil([&] { return watch.served; }));
    }

    template <typename Done>
    bool serveUntil(Done done) {
        for (int turn = 0; turn < 1500 && !done(); ++turn) {
            service->serviceOnce(std::chrono::milliseconds(20));
        }
        return done();
    }
    // Runs `work` on the machine's thread and returns its result.
    template <typename Work>
    auto onMachine(Work work) {
        std::packaged_task<decltype(work())()> task(std::move(work));
        auto result = task.get_future();
        peer.post([&task] { task(); });
        EXPECT_EQ(result.wait_for(30s), std::future_status::ready);
        return result.get();
    }
    std::vector<RevisionRow> revisions() {
        std::string error;
        return desk->list({}, error).value_or(std::vector<RevisionRow>{});
    }
    bool revisionsReach(std::size_t count) {
        return serveUntil([&] {
            recorder->flush();
            return revisions().size() >= count;
        });
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

    // The machine's own request, served by the line; whether the machine saw it succeed.
    bool machineDoes(const std::function<void()>& request) {
        onMachine([&] {
            request();
            return 0;
        });
        EXPECT_TRUE(serveUntil([&] { return onMachine([&] { return !machine.busy(); }); }));
        return onMachine([&] { return !machine.records().empty() && machine.records().back().ok; });
    }
    std::string machineFetches() {
        EXPECT_TRUE(machineDoes([&] { machine.requestFile(kName); }));
        return onMachine([&] { return machine.programs()[kName]; });
    }
    bool machineSends(const std::string& text) {
        return machineDoes([&] {
            machine.programs()[kName] = text;
            machine.sendFile(kName);
        });
    }

    static inline const std::string kName = "P1.H";
    static inline const std::string kApproved = ncProgram(600, 7);
    sim::PtyPair pty;
    sim::FdPeerLink peer{pty.masterFd()};
    // Tavro1 carries the line ends, Heidenhain only the lines.
    sim::HeidenhainMachine machine{peer, {.keepLineEnds = GetParam() == comm::ProtTavro1}};
    std::thread machineThread;
    fs::path dir;
    fs::path database;
    fs::path file;
    std::unique_ptr<dnc::ConfigStore> store;
    LogLines lines;
    dnc::EventLog log{[this](const std::string& t) { lines.add(t); }};
    LineWatch watch;
    std::unique_ptr<HistoryRecorder> recorder;
    std::unique_ptr<dnc::RevisionDesk> desk;
    std::unique_ptr<dnc::HeadlessService> service;
};

using HeidenhainFamily = LineRevisions;
using PlainLine = LineRevisions;

TEST_P(HeidenhainFamily, AnUploadWaitsAndOnceAcceptedTheNextDownloadCarriesIt) {
    ASSERT_NO_FATAL_FAILURE(startService(true));
    const std::string edited = ncProgram(700, 11);
    ASSERT_TRUE(machineSends(edited));
    ASSERT_TRUE(revisionsReach(1));
    EXPECT_EQ(fileText(file), kApproved) << "the released program is byte for byte as it was";
    auto all = revisions();
    ASSERT_EQ(all.size(), 1u);
    EXPECT_EQ(all[0].state, State::Pending);
    EXPECT_EQ(all[0].user, "unit 1");
    EXPECT_EQ(machineFetches(), kApproved) << "the machine gets the released program";
    // The events of the upload are logged before those of this later transfer.
    EXPECT_EQ(lines.with(kIntoTheDirectory), 0) << "the log does not say it was put in place";

    const ActionResult accepted = decide(Action::Accept, all[0].id);
    ASSERT_TRUE(accepted.ok) << accepted.error;
    EXPECT_EQ(fileText(file), edited);
    EXPECT_EQ(machineFetches(), edited);
}

TEST_P(HeidenhainFamily, WithoutTheGateAnUploadReplacesTheFileAsBefore) {
    ASSERT_NO_FATAL_FAILURE(startService(false));
    const std::string edited = ncProgram(650, 19);
    ASSERT_TRUE(machineSends(edited));
    ASSERT_TRUE(revisionsReach(1));
    EXPECT_EQ(fileText(file), edited);
    EXPECT_TRUE(serveUntil([&] { return lines.with(kIntoTheDirectory) == 1; }));
    EXPECT_EQ(revisions().front().state, State::Released);
    EXPECT_EQ(machineFetches(), edited);
}

INSTANTIATE_TEST_SUITE_P(Lines, HeidenhainFamily,
                         ::testing::Values(comm::ProtHeidenhain, comm::ProtTavro1));

using Tavro1 = LineRevisions;

TEST_P(Tavro1, ADeleteWaitsForApprovalAndARestoreBringsTheProgramBack) {
    ASSERT_NO_FATAL_FAILURE(startService(true));
    ASSERT_TRUE(machineDoes([&] { machine.deleteOnPc(kName); }));
    ASSERT_TRUE(revisionsReach(1));
    EXPECT_EQ(fileText(file), kApproved) << "the file stays until the removal is accepted";
    const RevisionRow held = revisions().front();
    EXPECT_EQ(held.state, State::Pending);
    EXPECT_EQ(held.note, dnc::revisions::kDeletionNote);
    EXPECT_EQ(machineFetches(), kApproved);

    const ActionResult accepted = decide(Action::Accept, held.id);
    ASSERT_TRUE(accepted.ok) << accepted.error;
    EXPECT_FALSE(fs::exists(file));
    EXPECT_EQ(revisions().front().state, State::Deleted);

    const ActionResult restored = decide(Action::Restore, accepted.revision);
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(fileText(file), kApproved);
    EXPECT_EQ(machineFetches(), kApproved);
}

TEST_P(Tavro1, WithoutTheGateADeleteRemovesTheFileAndIsARevision) {
    ASSERT_NO_FATAL_FAILURE(startService(false));
    ASSERT_TRUE(machineDoes([&] { machine.deleteOnPc(kName); }));
    ASSERT_TRUE(revisionsReach(1));
    EXPECT_FALSE(fs::exists(file));
    const RevisionRow gone = revisions().front();
    EXPECT_EQ(gone.state, State::Deleted);
    EXPECT_EQ(gone.size, static_cast<std::int64_t>(kApproved.size()));
    const ActionResult restored = decide(Action::Restore, gone.id);
    ASSERT_TRUE(restored.ok) << restored.error;
    EXPECT_EQ(fileText(file), kApproved);
}

INSTANTIATE_TEST_SUITE_P(Lines, Tavro1, ::testing::Values(comm::ProtTavro1));

// The operator's pull on a plain line: the reader's program waits like any other.
TEST_P(PlainLine, AProgramReadInWaitsAndOnceAcceptedIsPunchedOut) {
    ASSERT_NO_FATAL_FAILURE(startService(true));
    const std::string edited = ncProgram(900, 23);
    const int before = watch.receiving;
    service->runningSubNet(1)->postRequest(
        [](comm::ctrlFerixComm& control) { control.DoPcRequestFileFromFerix(1, kName); });
    ASSERT_TRUE(serveUntil([&] { return watch.receiving > before; }));
    std::unique_ptr<sim::TapeReader> reader;
    onMachine([&] {
        reader = std::make_unique<sim::TapeReader>(peer);
        reader->read({edited, true, 256, 0ms});
        return 0;
    });
    ASSERT_TRUE(revisionsReach(1));
    EXPECT_EQ(fileText(file), kApproved);
    const RevisionRow pending = revisions().front();
    EXPECT_EQ(pending.state, State::Pending);
    EXPECT_EQ(pending.size, static_cast<std::int64_t>(edited.size()));

    ASSERT_TRUE(decide(Action::Accept, pending.id).ok);
    EXPECT_EQ(fileText(file), edited);
    std::unique_ptr<sim::TapePuncher> puncher;
    onMachine([&] {
        puncher = std::make_unique<sim::TapePuncher>(peer, true);
        return 0;
    });
    service->runningSubNet(1)->postRequest(
        [](comm::ctrlFerixComm& control) { control.DoPcRequestFileToFerix(1, kName); });
    ASSERT_TRUE(serveUntil([&] { return onMachine([&] { return puncher->ended(); }); }));
    EXPECT_EQ(onMachine([&] { return puncher->punched(); }), edited);
    onMachine([&] {
        puncher.reset();
        reader.reset();
        return 0;
    });
}

INSTANTIATE_TEST_SUITE_P(Lines, PlainLine, ::testing::Values(comm::ProtNoneEOF));

}  // namespace
