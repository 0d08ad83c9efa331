// The headless service: which sub nets start, retries of a missing port, closing everything.
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <memory>

#include "dnc/service/HeadlessService.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/IdleLineService.h"
#include "sim/pty/PtyPair.h"
#include "tests/service/LogLines.h"

namespace fs = std::filesystem;

namespace {

class Service : public ::testing::Test {
protected:
    void SetUp() override {
        loc::selectLanguage(loc::kEnglish);
        dir = fs::temp_directory_path() /
              ("ferix-service-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        store = std::make_unique<dnc::ConfigStore>(dir / "DNC.ini");
        options.setup = [](comm::ctrlFerixComm& c) {
            sim::IdleLineService::install(c, comm::ProtDNC);
        };
        options.retryInterval = std::chrono::milliseconds(50);
    }
    void TearDown() override { fs::remove_all(dir); }

    dnc::EventLog makeLog() {
        return dnc::EventLog([this](const std::string& l) { lines.add(l); });
    }
    int linesWith(const std::string& text) { return lines.with(text); }
    // Serves until `text` was logged `count` times, or gives up after 20 s. The bound is time,
    // not turns: a turn ends early at every event, and a retrying line has many.
    bool serveUntil(dnc::HeadlessService& service, const std::string& text, int count = 1) {
        const auto giveUp = std::chrono::steady_clock::now() + std::chrono::seconds(20);
        while (linesWith(text) < count && std::chrono::steady_clock::now() < giveUp) {
            service.serviceOnce(std::chrono::milliseconds(20));
        }
        return linesWith(text) >= count;
    }

    fs::path dir;
    std::unique_ptr<dnc::ConfigStore> store;
    dnc::ServiceOptions options;
    LogLines lines;
};

TEST_F(Service, StartsTheFlaggedSubNetsOrThoseNamed) {
    sim::PtyPair one;
    sim::PtyPair two;
    ASSERT_TRUE(store->write("Ports", {{"1", one.devicePath()}, {"2", two.devicePath()}}));
    ASSERT_TRUE(store->write("Common", {{"2", "True"}, {"5", "False"}, {"9", "-1"}}));
    ASSERT_TRUE(store->write("Config9", "CommPort", "2"));
    EXPECT_EQ(dnc::HeadlessService::flaggedSubNets(*store), (std::vector<int>{2, 9}));

    auto log = makeLog();
    dnc::HeadlessService service(*store, log, options);
    EXPECT_EQ(service.start(), 2);
    ASSERT_TRUE(serveUntil(service, "communication started", 2));
    EXPECT_EQ(linesWith("[Sub Net 2]"), 1);
    EXPECT_EQ(linesWith("[Sub Net 9]"), 1);
    std::atomic<bool> stop{true};
    service.run(stop);
    EXPECT_EQ(service.running(), 0);
    EXPECT_EQ(linesWith("closed, configuration stored"), 2);
    EXPECT_EQ(store->section("Config2").size(), 58u);
    EXPECT_EQ(store->section("Config9").readString("CommPort", ""), "2");
    EXPECT_EQ(store->section("Config5").size(), 0u);

    options.subNets = {5};
    dnc::HeadlessService named(*store, log, options);
    EXPECT_EQ(named.start(), 1);
    named.closeAll();
    EXPECT_EQ(store->section("Config5").size(), 58u);
}

TEST_F(Service, EverySettingProblemIsLoggedOnce) {
    sim::PtyPair one;
    ASSERT_TRUE(store->write("Ports", "1", one.devicePath()));
    ASSERT_TRUE(store->write("Common", "2", "True"));
    std::ofstream(store->file(), std::ios::app)
        << "[Common]\nShowInTaskbar=maybe\n[Config2]\nCommSpeed=96OO\nbroken line\n"
           "[Config7]\nProtocol=9\n";
    std::ifstream in(store->file(), std::ios::binary);
    const std::string typed(std::istreambuf_iterator<char>(in), {});
    const auto lineOf = [&typed](const std::string& text) {
        return std::to_string(1 +
                              std::count(typed.begin(), typed.begin() + typed.find(text), '\n'));
    };
    auto log = makeLog();
    dnc::HeadlessService service(*store, log, options);
    EXPECT_EQ(service.start(), 1);
    ASSERT_TRUE(serveUntil(service, "[Sub Net 2]: communication started"));
    service.closeAll();
    // The started sub net's own problems come with its caption, the others from the service.
    const std::string file = store->file().string();
    EXPECT_EQ(linesWith("Config2/CommSpeed: \"96OO\""), 1);
    EXPECT_EQ(linesWith("[Sub Net 2]: settings: " + file + ":" + lineOf("CommSpeed=96OO") +
                        ": Config2/CommSpeed"),
              1);
    EXPECT_EQ(linesWith("[Sub Net 2]: settings: " + file + ":" + lineOf("broken line") +
                        ": Config2: \"broken line\" cannot be read"),
              1);
    EXPECT_EQ(linesWith("[FerixDNC]: settings: " + file + ":" + lineOf("ShowInTaskbar=maybe") +
                        ": Common/ShowInTaskbar"),
              1);
    EXPECT_EQ(linesWith("Config7/Protocol: \"9\" is not a protocol number"), 1);
    EXPECT_EQ(linesWith("settings: "), 4);
}

TEST_F(Service, AMissingPortIsRetriedUntilItAppearsWhileOthersRun) {
    sim::PtyPair good;
    ASSERT_TRUE(
        store->write("Ports", {{"1", good.devicePath()}, {"3", (dir / "not-yet").string()}}));
    ASSERT_TRUE(store->write("Config2", "CommPort", "3"));
    options.subNets = {1, 2};
    auto log = makeLog();
    dnc::HeadlessService service(*store, log, options);
    service.start();
    ASSERT_TRUE(serveUntil(service, "retrying in", 2));
    EXPECT_GE(linesWith("[Sub Net 2]: Error: Error at Start-up or while Communicating"), 2);
    EXPECT_EQ(linesWith("[Sub Net 1]: communication started"), 1);
    // The device comes (under the name the file gives): the next retry opens it.
    sim::PtyPair late;
    fs::create_symlink(late.devicePath(), dir / "not-yet");
    ASSERT_TRUE(serveUntil(service, "[Sub Net 2]: communication started"));
    service.closeAll();
    EXPECT_EQ(linesWith("closed, configuration stored"), 2);
}

TEST_F(Service, ASubNetEndedByAnInternalErrorIsStartedAfreshWhileOthersRun) {
    sim::PtyPair one;
    sim::PtyPair two;
    ASSERT_TRUE(store->write("Ports", {{"1", one.devicePath()}, {"2", two.devicePath()}}));
    ASSERT_TRUE(store->write("Config2", "CommPort", "2"));
    options.subNets = {1, 2};
    auto log = makeLog();
    dnc::HeadlessService service(*store, log, options);
    service.start();
    ASSERT_TRUE(serveUntil(service, "communication started", 2));

    // As when memory runs out inside a transfer.
    service.runningSubNet(2)->post([](comm::ctrlFerixComm&) { throw std::bad_alloc(); });
    ASSERT_TRUE(serveUntil(service, "[Sub Net 2]: starting the sub net again in"));
    EXPECT_EQ(linesWith("[Sub Net 2]: Error: the sub net ends after an internal error"), 1);
    EXPECT_EQ(service.running(), 1) << "the ended sub net is not counted as running";
    EXPECT_EQ(service.runningSubNet(2), nullptr);
    ASSERT_TRUE(serveUntil(service, "[Sub Net 2]: communication started", 2));
    EXPECT_EQ(service.running(), 2);
    EXPECT_EQ(linesWith("[Sub Net 1]: communication started"), 1) << "the other line ran on";

    service.closeAll();
    EXPECT_EQ(linesWith("starting the sub net again"), 1) << "a close asked for is no failure";
}

TEST_F(Service, AServedLineWhoseDeviceGoesAwayIsReportedAndComesBackWithIt) {
    // The port is reached through a link, as udev names a USB adapter: the device behind it
    // goes and a new one comes under the same name.
    auto first = std::make_unique<sim::PtyPair>();
    const fs::path device = dir / "ttyFerix";
    fs::create_symlink(first->devicePath(), device);
    ASSERT_TRUE(store->write("Ports", "1", device.string()));
    ASSERT_TRUE(store->write("Config1", {{"Protocol", std::to_string(comm::ProtHeidenhain)},
                                         {"FerixHomeDir", (dir / "home").string() + "/"}}));
    options.setup = {};  // the line's own service, which listens for the machine
    options.subNets = {1};
    auto log = makeLog();
    dnc::HeadlessService service(*store, log, options);
    service.start();
    ASSERT_TRUE(serveUntil(service, "[Sub Net 1]: communication started"));

    // Pulled: the device and its link go, as udev removes them. (A stale link could meet
    // another pseudo-terminal under the old number, opened by a test running beside this one.)
    first.reset();
    fs::remove(device);
    ASSERT_TRUE(serveUntil(service, "Port no longer available"));
    ASSERT_TRUE(serveUntil(service, "retrying in", 2)) << "retried while the device is away";

    sim::PtyPair second;  // plugged in again
    fs::create_symlink(second.devicePath(), device);
    ASSERT_TRUE(serveUntil(service, "[Sub Net 1]: communication started", 2));
    service.closeAll();
    EXPECT_EQ(linesWith("closed, configuration stored"), 1);
}

TEST_F(Service, TheDefaultDeviceIsTakenOnlyWhenNoneIsNamedAndThenNamed) {
    sim::PtyPair configured;
    ASSERT_TRUE(store->write("Ports", "1", configured.devicePath()));
    ASSERT_TRUE(store->write("Config2", "CommPort", "7"));
    options.subNets = {1, 2};
    auto log = makeLog();
    dnc::HeadlessService service(*store, log, options);
    service.start();
    ASSERT_TRUE(
        serveUntil(service, "[Sub Net 1]: communication started on " + configured.devicePath()));
    EXPECT_EQ(linesWith("[Sub Net 1]: communication started on " + configured.devicePath() +
                        " (the default"),
              0);
    // Port 7 has no line in "Ports": the log names the default device and says why.
    ASSERT_TRUE(serveUntil(service,
                           "/dev/ttyS6 (the default: section \"Ports\" names no "
                           "device for port 7)"));
    service.closeAll();
}

TEST_F(Service, ALineKeepsItsDeviceWhenTheFileLosesItsPorts) {
    auto first = std::make_unique<sim::PtyPair>();
    const fs::path device = dir / "ttyFerix";
    fs::create_symlink(first->devicePath(), device);
    ASSERT_TRUE(store->write("Ports", "1", device.string()));
    ASSERT_TRUE(store->write("Config1", {{"Protocol", std::to_string(comm::ProtHeidenhain)},
                                         {"FerixHomeDir", (dir / "home").string() + "/"}}));
    options.setup = {};  // the line's own service, which notices a lost device
    options.subNets = {1};
    auto log = makeLog();
    dnc::HeadlessService service(*store, log, options);
    service.start();
    ASSERT_TRUE(serveUntil(service, "[Sub Net 1]: communication started on " + device.string()));

    // The settings file is replaced by one without "Ports", and the device goes away.
    std::ofstream(store->file(), std::ios::trunc) << "[Common]\n";
    first.reset();
    fs::remove(device);  // with its link, as when the adapter is pulled
    ASSERT_TRUE(serveUntil(service, "retrying in", 2));
    EXPECT_EQ(linesWith("/dev/ttyS0"), 0) << "fell back to the default device";

    sim::PtyPair second;
    fs::create_symlink(second.devicePath(), device);
    ASSERT_TRUE(serveUntil(service, "[Sub Net 1]: communication started on " + device.string(), 2));
    service.closeAll();
}

}  // namespace
