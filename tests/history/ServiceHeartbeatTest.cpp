// The headless service's heartbeat reaches the store through the history's thread: the sub
// nets with their states, a port that cannot be opened as retrying with its error.
#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>

#include "dnc/history/HistoryRecorder.h"
#include "dnc/service/HeadlessService.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/IdleLineService.h"
#include "sim/pty/PtyPair.h"

namespace fs = std::filesystem;

namespace {

using namespace dnc::history;

class ServiceHeartbeat : public ::testing::Test {
protected:
    void SetUp() override {
        loc::selectLanguage(loc::kEnglish);
        dir = fs::temp_directory_path() /
              ("ferix-heartbeat-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        store = std::make_unique<dnc::ConfigStore>(dir / "DNC.ini");
        options.setup = [](comm::ctrlFerixComm& c) {
            sim::IdleLineService::install(c, comm::ProtDNC);
        };
        options.retryInterval = std::chrono::milliseconds(50);
        options.heartbeatInterval = std::chrono::milliseconds(20);
    }
    void TearDown() override { fs::remove_all(dir); }

    fs::path dir;
    std::unique_ptr<dnc::ConfigStore> store;
    dnc::ServiceOptions options;
};

const SubNetBeat* subNet(const Heartbeat& beat, int n) {
    for (const SubNetBeat& s : beat.subNets) {
        if (s.subNet == n) {
            return &s;
        }
    }
    return nullptr;
}

TEST_F(ServiceHeartbeat, BeatsTellEachSubNetsStateAndAFailingPortsError) {
    sim::PtyPair good;
    ASSERT_TRUE(store->write(
        "Ports",
        {{"1", good.devicePath()}, {"3", (dir / "unplugged").string()}, {"4", good.devicePath()}}));
    ASSERT_TRUE(store->write("Config1", "Caption", "Lathes"));
    ASSERT_TRUE(store->write("Config2", "CommPort", "3"));
    ASSERT_TRUE(store->write("Config3", "CommPort", "4"));
    const fs::path database = dir / "history.sqlite";
    RecorderOptions recorderOptions;
    recorderOptions.database = database;
    recorderOptions.site = "hall-a";
    HistoryRecorder recorder(recorderOptions);
    int handed = 0;
    options.heartbeat = [&recorder, &handed](Heartbeat beat) {
        ++handed;
        recorder.beat(std::move(beat));
    };
    options.subNets = {1, 2, 3};
    dnc::EventLog log([](const std::string&) {});
    dnc::HeadlessService service(*store, log, options);
    service.start();
    EXPECT_EQ(handed, 1) << "a beat as soon as the service starts";
    service.stopSubNet(3);

    // Each beat is looked for in the store as it is written; the states settle as the lines'
    // events come.
    const auto history = openHistoryStore(database.string(), HistoryStore::Access::Write, "office");
    std::optional<Heartbeat> seen;
    const auto settled = [&seen] {
        const SubNetBeat* one = seen ? subNet(*seen, 1) : nullptr;
        const SubNetBeat* two = seen ? subNet(*seen, 2) : nullptr;
        return one != nullptr && one->state == kSubNetRunning && two != nullptr &&
               two->state == kSubNetRetrying && !two->error.empty();
    };
    const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    for (int read = 0; !settled() && std::chrono::steady_clock::now() < giveUp;) {
        service.serviceOnce(std::chrono::milliseconds(20));
        if (handed == read) {
            continue;
        }
        read = handed;
        recorder.flush();
        const auto beats = history->heartbeats();
        ASSERT_TRUE(beats) << history->error();
        ASSERT_LE(beats->size(), 1u);
        if (!beats->empty()) {
            seen = beats->front();
        }
    }
    ASSERT_TRUE(settled());
    EXPECT_EQ(seen->site, "hall-a");
    EXPECT_EQ(subNet(*seen, 1)->caption, "Lathes");
    EXPECT_EQ(subNet(*seen, 1)->error, "");
    EXPECT_NE(subNet(*seen, 2)->error.find("Error"), std::string::npos) << subNet(*seen, 2)->error;
    ASSERT_NE(subNet(*seen, 3), nullptr) << "a sub net asked for and stopped is told of";
    EXPECT_EQ(subNet(*seen, 3)->state, kSubNetStopped);
    EXPECT_EQ(subNet(*seen, 4), nullptr) << "one never asked for is not";
    EXPECT_EQ(seen->pending, 0);
    service.closeAll();
}

}  // namespace
