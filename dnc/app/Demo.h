// FerixDNC --demo: a sub net on a virtual serial line (a pseudo-terminal pair made here)
// against simulated units, showing each step of the DNC service.
#pragma once

#include <ostream>
#include <string>

namespace dnc {

// Runs the demonstration; 0 when every step succeeded.
int runDemo(std::ostream& out);

// A small part program of `lines` moves, as the demos put on units and into directories.
std::string demoProgram(const std::string& name, int lines);

}  // namespace dnc
