#include "dnc/config/ChainStep.h"

namespace dnc {

ConversionLibrary libraryOfStep(std::string_view step) {
    return !step.empty() && step.front() == 'S' ? ConversionLibrary::Standard
                                                : ConversionLibrary::User;
}

std::string parametersOfStep(std::string_view step) {
    return step.size() > 2 ? std::string(step.substr(2)) : std::string();
}

StepFields splitStep(std::string_view step) {
    StepFields fields;
    fields.userConversion = step.empty() || step.front() != 'S';
    if (step.size() < 3) {
        return fields;
    }
    const std::string_view rest = step.substr(2);
    const std::size_t blank = rest.find(' ');
    fields.conversion = std::string(rest.substr(0, blank));
    if (blank != std::string_view::npos) {
        fields.parameters = std::string(rest.substr(blank + 1));
    }
    return fields;
}

std::string composeStep(const StepFields& fields) {
    return (fields.userConversion ? "U " : "S ") + fields.conversion + " " + fields.parameters;
}

}  // namespace dnc
