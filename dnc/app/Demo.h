// FerixDNC --demo: a sub net on a virtual serial line (a pseudo-terminal pair made here)
// against simulated units, showing each step of the DNC service.
#pragma once

#include <ostream>

namespace dnc {

// Runs the demonstration; 0 when every step succeeded.
int runDemo(std::ostream& out);

}  // namespace dnc
