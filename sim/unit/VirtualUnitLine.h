// Simulated units on the peer side of an in-memory line (virtual time).
#pragma once

#include "sim/unit/UnitSimulator.h"
#include "sim/virtual/VirtualLine.h"

namespace sim::unit {

// From now on the units hear what the control writes to `line` and answer on it; their answers
// take the line's character time like every other byte.
void attachToVirtualLine(UnitSimulator& units, VirtualLine& line);

}  // namespace sim::unit
