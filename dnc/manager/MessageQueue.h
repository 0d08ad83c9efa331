// The message queue of one thread. Other threads post operations; the owning thread runs them,
// from its loop and re-entrantly from inside the waits of its control ("let pending messages
// run"). Every message runs exactly once. Messages that may wait (and so pump again) are held
// back beyond a nesting limit; messages that never wait (a stop, switching the line off) run at
// any depth, so they always reach the innermost wait.
#pragma once

#include <chrono>
#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>

namespace dnc {

class MessageQueue {
public:
    enum class Kind {
        MayWait,     // may pump the queue again while it runs (a transfer, a request)
        NeverWaits,  // returns at once (stop, property change, query)
    };

    static constexpr int kMaxNesting = 4;

    void post(std::function<void()> message, Kind kind = Kind::MayWait);

    // Runs the messages pending now, in order, on the calling (owning) thread. Returns how
    // many ran.
    int runPending();

    // Blocks until a message is pending, the queue is closed or the timeout passes.
    void waitForMessage(std::chrono::milliseconds timeout);

    // No more messages are accepted; waits return at once.
    void close();
    bool closed() const;
    int depth() const { return depth_; }

private:
    struct Message {
        std::function<void()> run;
        Kind kind;
    };

    mutable std::mutex mutex_;
    std::condition_variable pending_;
    std::deque<Message> messages_;
    bool closed_ = false;
    int depth_ = 0;  // touched by the owning thread only
};

}  // namespace dnc
