// A sub net on its own thread: configured from the store, started, stopped and closed by
// messages; its events reach the owner.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <fstream>
#include <mutex>
#include <new>
#include <thread>

#include "comm/LineService.h"
#include "dnc/manager/SubNet.h"
#include "sim/fakes/IdleLineService.h"
#include "sim/pty/PtyPair.h"

namespace fs = std::filesystem;
using Kind = dnc::SubNetEvent::Kind;

namespace {

// Collects events from the sub net's thread and lets the test wait for one.
class Owner : public dnc::SubNetOwner {
public:
    void deliver(const dnc::SubNetEvent& event) override {
        std::lock_guard<std::mutex> lock(mutex_);
        events_.push_back(event);
        changed_.notify_all();
    }
    void confirm(int, const std::string&, const std::string& text) override {
        std::lock_guard<std::mutex> lock(mutex_);
        prompts_.push_back(text);
    }
    bool waitFor(Kind kind, std::chrono::seconds timeout = std::chrono::seconds(10)) {
        std::unique_lock<std::mutex> lock(mutex_);
        return changed_.wait_for(lock, timeout, [&] { return count(kind) > 0; });
    }
    int count(Kind kind) const {
        int n = 0;
        for (const auto& e : events_) {
            n += e.kind == kind ? 1 : 0;
        }
        return n;
    }
    // The position of the first event of the kind, -1 when there is none.
    int firstIndex(Kind kind) const {
        std::lock_guard<std::mutex> lock(mutex_);
        for (std::size_t i = 0; i < events_.size(); ++i) {
            if (events_[i].kind == kind) {
                return static_cast<int>(i);
            }
        }
        return -1;
    }
    dnc::SubNetEvent first(Kind kind) {
        std::lock_guard<std::mutex> lock(mutex_);
        for (const auto& e : events_) {
            if (e.kind == kind) {
                return e;
            }
        }
        return dnc::SubNetEvent(kind);
    }

private:
    mutable std::mutex mutex_;
    std::condition_variable changed_;
    std::vector<dnc::SubNetEvent> events_;
    std::vector<std::string> prompts_;
};

class SubNetThread : public ::testing::Test {
protected:
    void SetUp() override {
        dir = fs::temp_directory_path() /
              ("ferix-subnet-thread-" + std::to_string(::getpid()) + "-" +
               ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(dir);
        fs::create_directories(dir);
        store = std::make_unique<dnc::ConfigStore>(dir / "DNC.ini");
        ASSERT_TRUE(store->write("Ports", "1", pty.devicePath()));
        ASSERT_TRUE(store->write("Ports", "2", (dir / "no-such-port").string()));
    }
    void TearDown() override { fs::remove_all(dir); }

    static void installIdleService(comm::ctrlFerixComm& control) {
        sim::IdleLineService::install(control, comm::ProtDNC);
    }

    sim::PtyPair pty;
    fs::path dir;
    std::unique_ptr<dnc::ConfigStore> store;
    Owner owner;
};

TEST_F(SubNetThread, StartsOnItsThreadAndStoresItsConfigurationWhenClosed) {
    dnc::SubNet subNet(4, *store, owner, {}, installIdleService);
    subNet.Initialize();
    ASSERT_TRUE(owner.waitFor(Kind::CommunicationStarted));
    EXPECT_EQ(owner.first(Kind::CommunicationStarted).caption, "Sub Net 4");
    EXPECT_EQ(owner.first(Kind::CommunicationStarted).subNet, 4);
    EXPECT_TRUE(subNet.call<bool>([](comm::ctrlFerixComm& c) { return c.Active(); }));
    EXPECT_EQ(store->section("Config4").size(), 0u) << "nothing is stored while running";

    subNet.CloseIt();
    EXPECT_TRUE(subNet.closed());
    EXPECT_EQ(owner.count(Kind::Closing), 1);
    EXPECT_EQ(store->section("Config4").size(), 58u);
    EXPECT_EQ(store->section("Config4").readString("Caption", ""), "Sub Net 4");
    // The port was released: it can be opened again.
    const int fd = ::open(pty.devicePath().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(::flock(fd, LOCK_EX | LOCK_NB), 0);
    ::close(fd);
}

TEST_F(SubNetThread, AMissingPortIsReportedAndTheSubNetStaysUsable) {
    ASSERT_TRUE(store->write("Config5", "CommPort", "2"));
    dnc::SubNet subNet(5, *store, owner, {}, installIdleService);
    subNet.Initialize();
    ASSERT_TRUE(owner.waitFor(Kind::StartFailed));
    const auto failed = owner.first(Kind::StartFailed);
    EXPECT_EQ(failed.description.rfind("Error at Start-up or while Communicating (Cannot open ", 0),
              0u)
        << failed.description;
    // The port appears: starting again works.
    subNet.post([](comm::ctrlFerixComm& c) { c.setCommPort(1); });
    subNet.StartCommunication();
    ASSERT_TRUE(owner.waitFor(Kind::CommunicationStarted));
    subNet.StopCommunication();
    ASSERT_TRUE(owner.waitFor(Kind::CommunicationStopped));
    subNet.CloseIt();
    EXPECT_EQ(store->section("Config5").readString("CommPort", ""), "1");
}

TEST_F(SubNetThread, AnOperationThatThrowsEndsOnlyItsSubNet) {
    dnc::SubNet failing(6, *store, owner, {}, installIdleService);
    failing.Initialize();
    ASSERT_TRUE(owner.waitFor(Kind::CommunicationStarted));
    // As when memory runs out inside a transfer: without its catch the thread would end the
    // process (std::terminate).
    failing.post([](comm::ctrlFerixComm&) { throw std::bad_alloc(); });
    ASSERT_TRUE(owner.waitFor(Kind::Closing));
    EXPECT_NE(owner.first(Kind::OnError).description.find("ends after an internal error"),
              std::string::npos);
    failing.waitClosed();
    EXPECT_TRUE(failing.closed());
    EXPECT_EQ(store->section("Config6").readString("Caption", ""), "Sub Net 6")
        << "its configuration was stored as at any close";
}

TEST_F(SubNetThread, ItsSettingProblemsReachTheOwnerOnceBeforeTheLineStarts) {
    std::ofstream(store->file(), std::ios::app)
        << "[Config3]\nCommSpeed=96OO\nPrefix2=ABCD\n[Config4]\nProtocol=x\n";
    const std::string before = [&] {
        std::ifstream in(store->file(), std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }();
    dnc::SubNet subNet(3, *store, owner, {}, installIdleService);
    subNet.Initialize();
    ASSERT_TRUE(owner.waitFor(Kind::CommunicationStarted));
    EXPECT_EQ(owner.count(Kind::SettingProblem), 2) << "those of Config4 are not sub net 3's";
    EXPECT_LT(owner.firstIndex(Kind::SettingProblem), owner.firstIndex(Kind::CommunicationStarted));
    const auto problem = owner.first(Kind::SettingProblem);
    EXPECT_EQ(problem.subNet, 3);
    EXPECT_EQ(problem.caption, "Sub Net 3");
    EXPECT_EQ(problem.setting.key, "CommSpeed");
    EXPECT_EQ(problem.setting.value, "96OO");
    const auto typo = before.find("CommSpeed=96OO");
    EXPECT_EQ(problem.setting.line, 1 + std::count(before.begin(), before.begin() + typo, '\n'));
    EXPECT_EQ(problem.setting.instead(), "4800 is used instead");
    EXPECT_EQ(problem.description, problem.setting.text());
    EXPECT_EQ(subNet.call<std::int32_t>([](comm::ctrlFerixComm& c) { return c.LineSpeed(); }),
              4800);

    subNet.CloseIt();
    EXPECT_EQ(owner.count(Kind::SettingProblem), 2) << "closing reports nothing again";
    EXPECT_EQ(store->section("Config3").readString("CommSpeed", ""), "4800");
    std::ifstream backup(dnc::backupPath(store->file()), std::ios::binary);
    EXPECT_EQ(std::string(std::istreambuf_iterator<char>(backup), {}), before);
}

TEST_F(SubNetThread, SubNetsKeepTheirOwnLanguage) {
    ASSERT_TRUE(store->write("Common", "LangID", "1031"));
    dnc::SubNet german(6, *store, owner, {}, installIdleService);
    german.Initialize();
    ASSERT_TRUE(owner.waitFor(Kind::CommunicationStarted));
    EXPECT_EQ(owner.first(Kind::CommunicationStarted).caption, "Zweig 6");
    EXPECT_EQ(german.call<std::int16_t>([](comm::ctrlFerixComm& c) { return c.LangID(); }), 0x0407);
    const std::string refused = german.call<std::string>(
        [](comm::ctrlFerixComm& c) { return c.setProtocol(comm::ProtNone).error().description; });
    EXPECT_EQ(refused, "Das Protokoll kann bei aktiver Kommunikation nicht geändert werden.");
    german.CloseIt();
}

TEST_F(SubNetThread, AnOperatorRequestWaitsWhileTheLineServesAnother) {
    dnc::SubNet subNet(8, *store, owner, {}, installIdleService);
    subNet.Initialize();
    ASSERT_TRUE(owner.waitFor(Kind::CommunicationStarted));
    subNet.call<bool>([](comm::ctrlFerixComm& c) {
        c.setTransferBusy(true);  // a unit's request is being served
        return true;
    });
    std::atomic<int> ran{0};
    subNet.postRequest([&ran](comm::ctrlFerixComm& c) { ran += c.TransferBusy() ? 100 : 1; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ran, 0) << "not run, and not dropped either";
    subNet.call<bool>([](comm::ctrlFerixComm& c) {
        c.setTransferBusy(false);
        return true;
    });
    for (int i = 0; i < 200 && ran == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    EXPECT_EQ(ran, 1);
    subNet.CloseIt();
}

// A service loop that is in the middle of an exchange with its units while `exchanging` is set:
// it lets the thread's messages run then, but never stands at rest.
class ExchangingService : public comm::LineService {
public:
    ExchangingService(comm::ctrlFerixComm& control, std::atomic<bool>& exchanging)
        : control_(control), exchanging_(exchanging) {}
    comm::Status run() override {
        while (control_.Active()) {
            control_.host().sleep(std::chrono::milliseconds(2));
            control_.setLoopAtRest(!exchanging_);
            control_.host().pump();
            control_.setLoopAtRest(false);
        }
        return {};
    }

private:
    comm::ctrlFerixComm& control_;
    std::atomic<bool>& exchanging_;
};

TEST_F(SubNetThread, AnOperatorRequestStartsOnlyBetweenTwoExchangesOfTheLine) {
    static std::atomic<bool> exchanging{true};
    exchanging = true;
    dnc::SubNet subNet(9, *store, owner, {}, [](comm::ctrlFerixComm& control) {
        control.setServiceFactory(comm::ProtDNC, [](comm::ctrlFerixComm& c) {
            return std::make_unique<ExchangingService>(c, exchanging);
        });
    });
    subNet.Initialize();
    ASSERT_TRUE(owner.waitFor(Kind::CommunicationStarted));
    std::atomic<int> ran{0};
    subNet.postRequest([&ran](comm::ctrlFerixComm& c) { ran += c.LineAtRest() ? 1 : 100; });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ran, 0) << "started in the middle of an exchange";
    exchanging = false;
    for (int i = 0; i < 300 && ran == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(ran, 1) << "not run once the loop stood at rest, or run twice";
    subNet.CloseIt();
}

// A polling loop whose units ask for something at every turn: the line stands at rest between
// two exchanges, but is never quiet.
class BusyUnitsService : public comm::LineService {
public:
    explicit BusyUnitsService(comm::ctrlFerixComm& control) : control_(control) {}
    comm::Status run() override {
        while (control_.Active()) {
            control_.host().sleep(std::chrono::milliseconds(2));
            control_.countPoll(true);
            control_.setLoopAtRest(true);
            control_.host().pump();
            control_.setLoopAtRest(false);
        }
        return {};
    }

private:
    comm::ctrlFerixComm& control_;
};

TEST_F(SubNetThread, ABackgroundRequestGivesWayToBusyUnitsButNotForEver) {
    dnc::SubNet subNet(9, *store, owner, {}, [](comm::ctrlFerixComm& control) {
        control.setServiceFactory(comm::ProtDNC, [](comm::ctrlFerixComm& c) {
            return std::make_unique<BusyUnitsService>(c);
        });
    });
    subNet.Initialize();
    ASSERT_TRUE(owner.waitFor(Kind::CommunicationStarted));
    std::atomic<int> background{0};
    std::atomic<int> operatorRan{0};
    subNet.postRequest([&background](comm::ctrlFerixComm&) { ++background; },
                       dnc::SubNet::Urgency::Background);
    subNet.postRequest([&operatorRan](comm::ctrlFerixComm&) { ++operatorRan; });
    for (int i = 0; i < 300 && operatorRan == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(operatorRan, 1) << "an operator's request waits only for rest";
    EXPECT_EQ(background, 0) << "a refresh went ahead of units that keep asking";
    const auto limit = std::chrono::steady_clock::now() + 4 * dnc::SubNet::kBackgroundPatience;
    while (background == 0 && std::chrono::steady_clock::now() < limit) {
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_EQ(background, 1) << "a refresh waited for ever behind busy units, or ran twice";
    subNet.CloseIt();
}

TEST_F(SubNetThread, AChangeWaitsForRestAndGoesInBeforeTheConfigurationIsStored) {
    static std::atomic<bool> exchanging{true};
    exchanging = true;
    dnc::SubNet subNet(10, *store, owner, {}, [](comm::ctrlFerixComm& control) {
        control.setServiceFactory(comm::ProtDNC, [](comm::ctrlFerixComm& c) {
            return std::make_unique<ExchangingService>(c, exchanging);
        });
    });
    subNet.Initialize();
    ASSERT_TRUE(owner.waitFor(Kind::CommunicationStarted));
    std::atomic<int> ran{0};
    subNet.postChange([&ran](comm::ctrlFerixComm& c) {
        ran += c.LineAtRest() ? 1 : 100;
        c.setCaption("Changed at rest");
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(100));
    EXPECT_EQ(ran, 0) << "changed in the middle of an exchange";
    exchanging = false;
    for (int i = 0; i < 300 && ran == 0; ++i) {
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(subNet.call<std::string>([](comm::ctrlFerixComm& c) { return c.Caption(); }),
              "Changed at rest");

    // A change still waiting for rest when the sub net closes is not lost.
    exchanging = true;
    subNet.postChange([](comm::ctrlFerixComm& c) { c.setCaption("Changed while closing"); });
    subNet.postRequest([](comm::ctrlFerixComm& c) { c.setCaption("A request is dropped"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(50));
    subNet.CloseIt();
    EXPECT_EQ(store->section("Config10").readString("Caption", ""), "Changed while closing");
}

TEST_F(SubNetThread, ClosingADestroyedSubNetIsSafeAndTheDestructorCloses) {
    {
        dnc::SubNet subNet(7, *store, owner, {}, installIdleService);
        subNet.Initialize();
        ASSERT_TRUE(owner.waitFor(Kind::CommunicationStarted));
    }
    EXPECT_EQ(owner.count(Kind::Closing), 1);
    EXPECT_EQ(store->section("Config7").size(), 58u);
}

}  // namespace
