// Where a chain run tells what happened to each file and step. The window shows failures in
// message boxes ("Error..." for a library that cannot be used or a failed copy, "Conversion
// Error..." for a step that reported failure); the core never opens a window itself.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>

#include "dnc/config/ChainStep.h"

namespace dnc {

struct StepOutcome {
    enum class Kind {
        Converted,           // Convert reported success
        ConversionFailed,    // Convert returned 0: the chain goes on with the next step
        LibraryUnavailable,  // library or entry missing: the file's remaining steps are skipped
    };
    Kind kind = Kind::Converted;
    std::string step;
    ConversionLibrary library = ConversionLibrary::User;
    std::string description;  // the library's error text, or the platform's loader text
    std::string helpFile;
    std::int32_t helpContext = 0;
};

class ConversionReporter {
public:
    virtual ~ConversionReporter() = default;

    virtual void stepFinished(const std::filesystem::path& file, const StepOutcome& outcome) = 0;

    // The file could not be copied (or its name was refused); no step ran on it.
    virtual void copyFailed(const std::filesystem::path& source,
                            const std::filesystem::path& target,
                            const std::string& description) = 0;
};

}  // namespace dnc
