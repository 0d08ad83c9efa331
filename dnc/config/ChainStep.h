// One step of a conversion chain: "S " or "U " (standard or user library), the conversion
// name, a blank and the parameters, for example "S TXT>ISO /LEADER=50" or "U  /P".
#pragma once

#include <string>
#include <string_view>

namespace dnc {

enum class ConversionLibrary { Standard, User };

// "S" selects the standard library; any other first character the user library.
ConversionLibrary libraryOfStep(std::string_view step);

// What the step passes to Convert: its text from the third character on.
std::string parametersOfStep(std::string_view step);

// The step as the chain editor shows it.
struct StepFields {
    bool userConversion = false;
    std::string conversion;
    std::string parameters;
};

// The editor's fields of a step: ticked unless it starts with "S"; from the third character
// on, the part before the first blank is the conversion and the part after it the
// parameters; a step of fewer than three characters has neither.
StepFields splitStep(std::string_view step);

// The step text the editor's fields make: "U " or "S ", conversion, a blank, parameters.
std::string composeStep(const StepFields& fields);

}  // namespace dnc
