#include "comm/link/LinePacing.h"

#include <sys/prctl.h>

#include <algorithm>

namespace comm {

void LinePacing::queue(std::span<const std::uint8_t> data, std::uint8_t mask,
                       Clock::time_point now) {
    if (pending_.empty()) {
        handed_ = 0;
        total_ = 0;
        anchor_ = now;
    }
    const std::size_t from = pending_.size();
    pending_.insert(pending_.end(), data.begin(), data.end());
    if (mask != 0xFF) {
        for (std::size_t i = from; i < pending_.size(); ++i) {
            pending_[i] &= mask;
        }
    }
}

std::size_t LinePacing::dueCount(Clock::time_point now) const {
    if (charTime_.count() <= 0) {
        return pending_.size();
    }
    if (now <= anchor_) {
        return 0;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - anchor_);
    return std::min(static_cast<std::size_t>(elapsed / charTime_), pending_.size());
}

std::span<const std::uint8_t> LinePacing::due(Clock::time_point now) const {
    const std::size_t count = dueCount(now);
    if (count <= handed_) {
        return {};
    }
    return {pending_.data() + handed_, count - handed_};
}

void LinePacing::handedOn(std::size_t count) {
    handed_ += count;
    total_ += count;
}

LinePacing::Clock::time_point LinePacing::doneAt() const {
    return anchor_ + charTime_ * static_cast<std::int64_t>(pending_.size());
}

bool LinePacing::finish(Clock::time_point now) {
    if (!allHandedOn() || now < doneAt()) {
        return false;
    }
    pending_.clear();
    handed_ = 0;
    return true;
}

LinePacing::Clock::time_point LinePacing::nextWake(Clock::time_point now, int minimumChunk,
                                                   Clock::duration minimumWait) const {
    const auto nextDue = anchor_ + charTime_ * static_cast<std::int64_t>(handed_ + 1);
    const auto chunk = std::max<Clock::duration>(minimumWait, charTime_ * minimumChunk);
    return std::max(nextDue, std::min(now + chunk, doneAt()));
}

void LinePacing::preciseWaits() {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

void LinePacing::clear() {
    pending_.clear();
    handed_ = 0;
}

}  // namespace comm
