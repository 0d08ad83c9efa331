#include "sim/tape/TapePuncher.h"

namespace sim {

namespace {

constexpr std::uint8_t kEndOfFile = 0x1A;

}  // namespace

TapePuncher::TapePuncher(PeerLink& link, bool endAtEndOfFile)
    : link_(link), endAtEndOfFile_(endAtEndOfFile) {
    link_.setReceiver([this](std::uint8_t byte) { onByte(byte); });
}

TapePuncher::~TapePuncher() {
    link_.setReceiver({});
}

void TapePuncher::clear() {
    ended_ = false;
    punched_.clear();
    afterEnd_.clear();
}

void TapePuncher::onByte(std::uint8_t byte) {
    if (ended_) {
        afterEnd_.push_back(static_cast<char>(byte));
    } else if (endAtEndOfFile_ && byte == kEndOfFile) {
        ended_ = true;
    } else {
        punched_.push_back(static_cast<char>(byte));
    }
}

}  // namespace sim
