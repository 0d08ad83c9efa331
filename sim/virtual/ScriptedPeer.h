// A peer that follows a script: when what it has received since the last step ends with the
// step's expected bytes, it answers with the step's reply after the step's delay. Bytes that
// arrive after the script has ended are kept as unexpected.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "sim/virtual/VirtualLine.h"

namespace sim {

class ScriptedPeer {
public:
    explicit ScriptedPeer(VirtualLine& line);

    // Adds a step; an empty `expect` answers at once (after `delayMicros`) when the step is
    // reached, without waiting for input.
    ScriptedPeer& expect(std::string expect, std::string reply,
                         VirtualHost::Micros delayMicros = 0);

    bool finished() const { return step_ == steps_.size(); }
    std::size_t stepsDone() const { return step_; }
    const std::string& unexpected() const { return unexpected_; }

private:
    struct Step {
        std::string expect;
        std::string reply;
        VirtualHost::Micros delay;
    };
    void onByte(std::uint8_t byte);
    void advance();

    VirtualLine& line_;
    VirtualHost& host_;
    std::vector<Step> steps_;
    std::size_t step_ = 0;
    std::string pending_;
    std::string unexpected_;
};

}  // namespace sim
