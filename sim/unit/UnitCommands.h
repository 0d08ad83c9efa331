// The operator's commands of the unit simulator, one line each (see docs/unit-simulator.md).
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "sim/unit/UnitSimulator.h"

namespace sim::unit {

class UnitCommands {
public:
    // Every command runs through `withUnits`, which holds the line off the units meanwhile.
    using WithUnits = std::function<void(const std::function<void(UnitSimulator&)>&)>;

    explicit UnitCommands(WithUnits withUnits) : withUnits_(std::move(withUnits)) {}

    // Carries out one command line; returns what to show the operator (errors begin with
    // "error: "). Blank lines and lines starting with "#" do nothing.
    std::string execute(const std::string& line);
    bool quitRequested() const { return quit_; }

    static std::string help();

private:
    std::string request(UnitSimulator& units, const std::vector<std::string>& words);
    std::string load(UnitSimulator& units, const std::vector<std::string>& words);
    std::string save(UnitSimulator& units, const std::vector<std::string>& words);
    std::string memory(UnitSimulator& units, const std::vector<std::string>& words);
    std::string fault(UnitSimulator& units, const std::vector<std::string>& words);
    std::string behaviour(UnitSimulator& units, const std::vector<std::string>& words);

    WithUnits withUnits_;
    bool quit_ = false;
};

}  // namespace sim::unit
