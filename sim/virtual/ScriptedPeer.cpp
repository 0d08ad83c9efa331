#include "sim/virtual/ScriptedPeer.h"

namespace sim {

ScriptedPeer::ScriptedPeer(VirtualLine& line) : line_(line), host_(line.host()) {
    line_.setPeerReceiver([this](std::uint8_t byte) { onByte(byte); });
}

ScriptedPeer& ScriptedPeer::expect(std::string expect, std::string reply,
                                   VirtualHost::Micros delayMicros) {
    steps_.push_back({std::move(expect), std::move(reply), delayMicros});
    if (steps_.size() == step_ + 1 && steps_.back().expect.empty()) {
        advance();
    }
    return *this;
}

void ScriptedPeer::onByte(std::uint8_t byte) {
    if (finished()) {
        unexpected_ += static_cast<char>(byte);
        return;
    }
    pending_ += static_cast<char>(byte);
    const std::string& want = steps_[step_].expect;
    if (pending_.size() >= want.size() &&
        pending_.compare(pending_.size() - want.size(), want.size(), want) == 0) {
        advance();
    }
}

void ScriptedPeer::advance() {
    const Step step = steps_[step_++];
    pending_.clear();
    if (!step.reply.empty()) {
        host_.after(step.delay, [this, reply = step.reply] { line_.peerSend(reply); });
    }
    if (!finished() && steps_[step_].expect.empty()) {
        advance();
    }
}

}  // namespace sim
