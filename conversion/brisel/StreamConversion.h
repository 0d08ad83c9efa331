// Converts a file into another in pieces, so that a large program needs neither its whole
// size in memory nor more than one pass. The output is written to a new file beside it and
// renamed over it only when the conversion is complete.
#pragma once

#include <string>

#include "conversion/brisel/ConversionPlan.h"

namespace brisel {

// The error text, empty on success. On failure the output keeps its content.
std::string convertFileInPieces(const std::string& input, const std::string& output,
                                const ConversionPlan& plan);

}  // namespace brisel
