// Heartbeats in the store: one per site, replaced whole by the next beat, read by every site.
#include <gtest/gtest.h>

#include "tests/history/StoreFixture.h"

namespace {

using namespace dnc::history;
using std::chrono::system_clock;

using Heartbeats = OnEachStore<StoreFolder>;
INSTANTIATE_ON_EACH_STORE(Heartbeats);

system_clock::time_point at(long long seconds) {
    return system_clock::time_point(std::chrono::seconds(1'780'000'000LL + seconds));
}

TEST_P(Heartbeats, EachSiteKeepsOnlyItsLastBeatWithItsSubNets) {
    const auto hallA = open(HistoryStore::Access::Write, "hall-a");
    const auto hallB = open(HistoryStore::Access::Write, "hall-b");
    ASSERT_TRUE(hallA->ok()) << hallA->error();
    ASSERT_TRUE(hallB->ok()) << hallB->error();
    ASSERT_TRUE(hallB->heartbeats());
    EXPECT_TRUE(hallB->heartbeats()->empty());
    Heartbeat first;
    first.time = at(0);
    first.pending = 3;
    first.subNets = {{1, "Lathes", kSubNetRunning, ""},
                     {2, "Mills", kSubNetRetrying, "cannot open /dev/ttyS9"}};
    ASSERT_TRUE(hallA->writeHeartbeat(first)) << hallA->error();
    Heartbeat other;
    other.time = at(5);
    other.subNets = {{4, "Grinders \xE4", kSubNetStopped, ""}};
    ASSERT_TRUE(hallB->writeHeartbeat(other)) << hallB->error();
    Heartbeat second;
    second.time = at(10);
    second.pending = 1;
    second.subNets = {{2, "Mills", kSubNetRunning, "cannot open /dev/ttyS9"}};
    ASSERT_TRUE(hallA->writeHeartbeat(second)) << hallA->error();

    const auto reader = open(HistoryStore::Access::Read, "office");
    const auto beats = reader->heartbeats();
    ASSERT_TRUE(beats) << reader->error();
    ASSERT_EQ(beats->size(), 2u);
    const Heartbeat& a = (*beats)[0];
    EXPECT_EQ(a.site, "hall-a");
    EXPECT_EQ(a.time, at(10));
    EXPECT_EQ(a.pending, 1);
    ASSERT_EQ(a.subNets.size(), 1u);  // sub net 1 went with the beat that told of it
    EXPECT_EQ(a.subNets[0].subNet, 2);
    EXPECT_EQ(a.subNets[0].state, kSubNetRunning);
    EXPECT_EQ(a.subNets[0].error, "cannot open /dev/ttyS9");
    const Heartbeat& b = (*beats)[1];
    EXPECT_EQ(b.site, "hall-b");
    EXPECT_EQ(b.time, at(5));
    ASSERT_EQ(b.subNets.size(), 1u);
    EXPECT_EQ(b.subNets[0].state, kSubNetStopped);
    EXPECT_FALSE(b.subNets[0].caption.empty());

    // Beats are a state, not records: no chain covers them, none is broken by them.
    const auto check = hallA->verifyChain();
    ASSERT_TRUE(check) << hallA->error();
    EXPECT_TRUE(check->intact) << check->reason;
}

TEST_P(Heartbeats, ABeatMayNameItsSite) {
    const auto store = open(HistoryStore::Access::Write, "hall-a");
    Heartbeat beat;
    beat.site = "hall-c";
    beat.time = at(0);
    ASSERT_TRUE(store->writeHeartbeat(beat)) << store->error();
    const auto beats = store->heartbeats();
    ASSERT_TRUE(beats) << store->error();
    ASSERT_EQ(beats->size(), 1u);
    EXPECT_EQ((*beats)[0].site, "hall-c");
    EXPECT_TRUE((*beats)[0].subNets.empty());
}

TEST(Silence, ASiteIsSilentOnlyAfterThirtySeconds) {
    Heartbeat beat;
    beat.time = at(0);
    EXPECT_FALSE(silent(beat, at(30)));
    EXPECT_TRUE(silent(beat, at(31)));
}

}  // namespace
