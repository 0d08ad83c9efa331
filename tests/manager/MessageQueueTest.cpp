// The sub-net thread's queue: order, exactly once, the nesting limit, and a stop that reaches
// the innermost wait.
#include <gtest/gtest.h>

#include <thread>

#include "dnc/manager/MessageQueue.h"

namespace {

using Kind = dnc::MessageQueue::Kind;

TEST(MessageQueue, RunsInOrderAndEachMessageOnce) {
    dnc::MessageQueue queue;
    std::vector<int> ran;
    for (int i = 0; i < 5; ++i) {
        queue.post([&, i] {
            ran.push_back(i);
            queue.runPending();  // a message that pumps again must not see itself
        });
    }
    queue.runPending();
    EXPECT_EQ(ran, (std::vector<int>{0, 1, 2, 3, 4}));
    EXPECT_EQ(queue.runPending(), 0);
}

TEST(MessageQueue, AMessagePostedWhileRunningWaitsForTheNextTurn) {
    dnc::MessageQueue queue;
    int runs = 0;
    std::function<void()> again = [&] {
        ++runs;
        queue.post(again);
    };
    queue.post(again);
    EXPECT_EQ(queue.runPending(), 1);
    EXPECT_EQ(queue.runPending(), 1);
    EXPECT_EQ(runs, 2);
}

TEST(MessageQueue, NestingIsBoundedButAStopAlwaysGetsThrough) {
    dnc::MessageQueue queue;
    int deepest = 0;
    bool stopSeen = false;
    int waitingRequests = 0;
    // A request that waits on the line: pumps until the stop arrives.
    std::function<void()> request = [&] {
        ++waitingRequests;
        deepest = std::max(deepest, queue.depth());
        queue.post(request);  // the operator asks again and again
        if (waitingRequests == dnc::MessageQueue::kMaxNesting) {
            queue.post([&] { stopSeen = true; }, Kind::NeverWaits);
        }
        for (int turn = 0; turn < 3 && !stopSeen; ++turn) {
            queue.runPending();
        }
    };
    queue.post(request);
    queue.runPending();
    EXPECT_TRUE(stopSeen);
    EXPECT_EQ(deepest, dnc::MessageQueue::kMaxNesting);
    EXPECT_EQ(waitingRequests, dnc::MessageQueue::kMaxNesting);
    // The held-back request is still there for the outermost loop.
    EXPECT_EQ(queue.runPending(), 1);
}

TEST(MessageQueue, OtherThreadsWakeTheOwnerAndAClosedQueueTakesNothing) {
    dnc::MessageQueue queue;
    std::atomic<int> value{0};
    std::thread poster([&] { queue.post([&] { value = 7; }); });
    queue.waitForMessage(std::chrono::seconds(10));
    poster.join();
    queue.runPending();
    EXPECT_EQ(value, 7);
    queue.close();
    queue.post([&] { value = 8; });
    queue.waitForMessage(std::chrono::seconds(10));  // returns at once
    EXPECT_EQ(queue.runPending(), 0);
    EXPECT_EQ(value, 7);
}

}  // namespace
