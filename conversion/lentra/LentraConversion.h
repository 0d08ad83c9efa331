// One call of the user conversion library, from the command string to the replaced output.
#pragma once

#include <string>

namespace lentra {

struct ConversionOutcome {
    bool succeeded = false;
    std::string errorText;  // set when it failed
};

ConversionOutcome convertFile(const std::string& input, const std::string& output,
                              const std::string& parameters);

}  // namespace lentra
