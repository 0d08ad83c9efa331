// A progress bar on one terminal line, redrawn in place.
#pragma once

#include <string>

namespace ferixdncctl {

// "[#########...........]  45 %" for `percent` 0 to 100 (clamped), `width` cells wide.
std::string progressLine(int percent, int width = 40);

}  // namespace ferixdncctl
