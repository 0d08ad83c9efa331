#include "dnc/window/ChainRunner.h"

#include <cstring>

namespace dnc {

namespace {

// A buffer's text up to its first NUL, never beyond the buffer, whatever the library left.
std::string bufferText(const char* buffer) {
    return std::string(buffer, ::strnlen(buffer, kConvertTextCapacity + 1));
}

}  // namespace

ChainRunner::ChainRunner(ConversionLibraries& libraries, ConversionReporter& reporter)
    : libraries_(libraries), reporter_(reporter) {}

bool ChainRunner::run(const std::filesystem::path& file, const std::vector<std::string>& steps) {
    const std::string path = file.string();
    bool allConverted = true;
    for (const std::string& step : steps) {
        if (step.empty()) {
            continue;
        }
        StepOutcome outcome;
        outcome.step = step;
        outcome.library = libraryOfStep(step);
        const ConvertFunction convert = libraries_.entry(outcome.library, outcome.description);
        if (convert == nullptr) {
            outcome.kind = StepOutcome::Kind::LibraryUnavailable;
            reporter_.stepFinished(file, outcome);
            return false;
        }
        // Cleared for every call, so that a library that leaves them alone cannot show an
        // earlier step's message as its own.
        std::memset(errorText_, 0, sizeof errorText_);
        std::memset(helpFile_, 0, sizeof helpFile_);
        helpContext_ = 0;
        const std::string parameters = parametersOfStep(step);
        const std::int16_t result = convert(path.c_str(), path.c_str(), parameters.c_str(),
                                            errorText_, helpFile_, &helpContext_);
        if (result == 0) {
            outcome.kind = StepOutcome::Kind::ConversionFailed;
            outcome.description = bufferText(errorText_);
            outcome.helpFile = bufferText(helpFile_);
            outcome.helpContext = helpContext_;
            allConverted = false;
        }
        reporter_.stepFinished(file, outcome);
    }
    return allConverted;
}

}  // namespace dnc
