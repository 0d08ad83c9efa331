// What a browser view asks of the store: a page of the history at a time, and how many
// transfers each site recorded since a moment, on both back ends.
#include <gtest/gtest.h>

#include "tests/history/StoreFixture.h"

namespace {

using namespace dnc::history;

using PageQueries = OnEachStore<StoreFolder>;
INSTANTIATE_ON_EACH_STORE(PageQueries);

TEST_P(PageQueries, PagesFollowEachOtherWithoutGapOrOverlap) {
    const auto writer = open(HistoryStore::Access::Write);
    ASSERT_TRUE(writer->ok()) << writer->error();
    for (int i = 0; i < 7; ++i) {
        ASSERT_TRUE(writer->add(prepare(transfer("P" + std::to_string(i), "x", i)), false));
    }
    const auto reader = open(HistoryStore::Access::Read);
    std::vector<std::string> seen;
    for (int page = 0; page < 3; ++page) {
        HistoryFilter filter;
        filter.limit = 3;
        filter.offset = page * 3;
        const auto rows = reader->query(filter);
        ASSERT_TRUE(rows) << reader->error();
        EXPECT_EQ(rows->size(), page < 2 ? 3u : 1u);
        for (const HistoryRow& row : *rows) {
            seen.push_back(row.name);
        }
    }
    EXPECT_EQ(seen, (std::vector<std::string>{"P6", "P5", "P4", "P3", "P2", "P1", "P0"}));

    // An offset without a limit: the rest.
    HistoryFilter rest;
    rest.offset = 5;
    ASSERT_TRUE(reader->query(rest));
    EXPECT_EQ(reader->query(rest)->size(), 2u);
    rest.offset = 9;
    EXPECT_TRUE(reader->query(rest)->empty());
}

TEST_P(PageQueries, TransfersAreCountedPerSiteFromAMoment) {
    const auto hallA = open(HistoryStore::Access::Write, "hall-a");
    const auto hallB = open(HistoryStore::Access::Write, "hall-b");
    ASSERT_TRUE(hallA->ok()) << hallA->error();
    ASSERT_TRUE(hallA->add(prepare(transfer("OLD", "x", -86400)), false));
    ASSERT_TRUE(hallA->add(prepare(transfer("A1", "x", 0)), false));
    ASSERT_TRUE(hallA->add(prepare(transfer("A2", "x", 10)), false));
    ASSERT_TRUE(hallB->add(prepare(transfer("B1", "x", 20)), false));

    const auto reader = open(HistoryStore::Access::Read, "office");
    const auto counts = reader->transferCounts("2026-03-04T05:06:07.000Z");
    ASSERT_TRUE(counts) << reader->error();
    EXPECT_EQ(*counts, (SiteCounts{{"hall-a", 2}, {"hall-b", 1}}));
    EXPECT_EQ(*reader->transferCounts("2026-03-04T05:06:20.000Z"), (SiteCounts{{"hall-b", 1}}));
    EXPECT_TRUE(reader->transferCounts("2027-01-01T00:00:00.000Z")->empty());
}

TEST_P(PageQueries, AStoreWithoutTransfersCountsNothing) {
    ASSERT_TRUE(open(HistoryStore::Access::Write)->ok());
    const auto reader = open(HistoryStore::Access::Read);
    const auto counts = reader->transferCounts("2026-03-04T00:00:00.000Z");
    ASSERT_TRUE(counts) << reader->error();
    EXPECT_TRUE(counts->empty());
}

}  // namespace
