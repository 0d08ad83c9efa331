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
        pieces_.clear();
    }
    const std::size_t from = pending_.size();
    pending_.insert(pending_.end(), data.begin(), data.end());
    if (mask != 0xFF) {
        for (std::size_t i = from; i < pending_.size(); ++i) {
            pending_[i] &= mask;
        }
    }
}

void LinePacing::queuePieces(std::span<const std::uint8_t> data, std::uint8_t mask,
                             Clock::time_point now, std::span<const std::size_t> pieceEnds) {
    queue(data, mask, now);
    const std::size_t from = pending_.size() - data.size();
    std::size_t begin = from;
    for (std::size_t end : pieceEnds) {
        if (end > 0 && end < data.size() && from + end > begin) {
            pieces_.push_back({begin, from + end});
            begin = from + end;
        }
    }
    if (begin < pending_.size()) {
        pieces_.push_back({begin, pending_.size()});
    }
}

const LinePacing::Piece* LinePacing::pieceOf(std::size_t index) const {
    for (const Piece& piece : pieces_) {
        if (index < piece.begin) {
            return nullptr;
        }
        if (index < piece.end) {
            return &piece;
        }
    }
    return nullptr;
}

std::size_t LinePacing::dueCount(Clock::time_point now) const {
    if (charTime_.count() <= 0) {
        return pending_.size();
    }
    if (now <= anchor_) {
        return 0;
    }
    const auto elapsed = std::chrono::duration_cast<std::chrono::nanoseconds>(now - anchor_);
    const std::size_t count =
        std::min(static_cast<std::size_t>(elapsed / charTime_), pending_.size());
    // A piece whose last byte is still on its way waits for it as a whole.
    if (const Piece* piece = count > 0 ? pieceOf(count - 1) : nullptr;
        piece != nullptr && count < piece->end) {
        return std::max(piece->begin, handed_);
    }
    return count;
}

LinePacing::Clock::time_point LinePacing::dueAt(std::size_t count) const {
    return anchor_ + charTime_ * static_cast<std::int64_t>(count);
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
    return dueAt(pending_.size());
}

bool LinePacing::finish(Clock::time_point now) {
    if (!allHandedOn() || now < doneAt()) {
        return false;
    }
    pending_.clear();
    pieces_.clear();
    handed_ = 0;
    return true;
}

LinePacing::Clock::time_point LinePacing::nextWake(Clock::time_point now, int minimumChunk,
                                                   Clock::duration minimumWait) const {
    const Piece* piece = pieceOf(handed_);
    const auto nextDue = dueAt(piece != nullptr ? piece->end : handed_ + 1);
    const auto chunk = std::max<Clock::duration>(minimumWait, charTime_ * minimumChunk);
    return std::max(nextDue, std::min(now + chunk, doneAt()));
}

void LinePacing::preciseWaits() {
    prctl(PR_SET_TIMERSLACK, 1UL, 0UL, 0UL, 0UL);
}

void LinePacing::clear() {
    pending_.clear();
    pieces_.clear();
    handed_ = 0;
}

}  // namespace comm
