#include "dnc/manager/MessageQueue.h"

namespace dnc {

void MessageQueue::post(std::function<void()> message, Kind kind) {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        if (closed_) {
            return;
        }
        messages_.push_back({std::move(message), kind});
    }
    pending_.notify_one();
}

int MessageQueue::runPending() {
    ++depth_;
    const bool mayNest = depth_ <= kMaxNesting;
    int ran = 0;
    // Only what was pending on entry: a message that posts again does not loop forever here.
    std::size_t budget = 0;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        budget = messages_.size();
    }
    while (budget-- > 0) {
        Message message;
        {
            std::lock_guard<std::mutex> lock(mutex_);
            auto it = messages_.begin();
            while (it != messages_.end() && !mayNest && it->kind == Kind::MayWait) {
                ++it;
            }
            if (it == messages_.end()) {
                break;
            }
            message = std::move(*it);
            messages_.erase(it);  // taken out before it runs: it can never run twice
        }
        message.run();
        ++ran;
    }
    --depth_;
    return ran;
}

void MessageQueue::waitForMessage(std::chrono::milliseconds timeout) {
    std::unique_lock<std::mutex> lock(mutex_);
    pending_.wait_for(lock, timeout, [this] { return closed_ || !messages_.empty(); });
}

void MessageQueue::close() {
    {
        std::lock_guard<std::mutex> lock(mutex_);
        closed_ = true;
    }
    pending_.notify_all();
}

bool MessageQueue::closed() const {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
}

}  // namespace dnc
