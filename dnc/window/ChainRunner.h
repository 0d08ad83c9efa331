// Runs a conversion chain on one file in place: one Convert call per step, with the same path
// as input and output.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "conversion/shared/ConvertEntry.h"
#include "dnc/window/ConversionLibraries.h"
#include "dnc/window/ConversionReporter.h"

namespace dnc {

class ChainRunner {
public:
    // One runner per include or exclude run: its message buffers serve every call.
    ChainRunner(ConversionLibraries& libraries, ConversionReporter& reporter);

    // Runs the non-empty steps in order and reports each. A step that fails goes on to the
    // next; a library that cannot be used ends this file's chain. True when every step ran
    // and succeeded.
    bool run(const std::filesystem::path& file, const std::vector<std::string>& steps);

private:
    ConversionLibraries& libraries_;
    ConversionReporter& reporter_;
    char errorText_[kConvertTextCapacity + 1] = {};
    char helpFile_[kConvertTextCapacity + 1] = {};
    std::int32_t helpContext_ = 0;
};

}  // namespace dnc
