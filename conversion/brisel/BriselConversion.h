// One call of the standard conversion library: read the input, convert it in memory, and
// replace the output with the complete result.
#pragma once

#include <string>

namespace brisel {

struct ConversionOutcome {
    bool succeeded = false;
    std::string errorText;
};

ConversionOutcome convertFile(const std::string& input, const std::string& output,
                              const std::string& parameters);

}  // namespace brisel
