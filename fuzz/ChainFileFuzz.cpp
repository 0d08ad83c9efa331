// The chain files "In.cnv" and "Out.cnv": records (or text) read from any bytes, the steps they
// give and the editor's view of each step.
#include <algorithm>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "dnc/config/ChainFile.h"
#include "dnc/config/ChainStep.h"
#include "dnc/config/ConversionChain.h"
#include "fuzz/FuzzCheck.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    // Records, or a chain written as text (no zero byte): one step a line at most.
    const std::vector<std::string> steps = dnc::decodeChainFile(bytes);
    if (dnc::isTextChain(bytes)) {
        FUZZ_CHECK(steps.size() <=
                   static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')) + 1);
        for (const std::string& step : steps) {
            FUZZ_CHECK(step.find('\n') == std::string::npos);
        }
    } else {
        FUZZ_CHECK(steps == dnc::decodeChainRecords(bytes));
        FUZZ_CHECK(steps.size() <= size / dnc::kChainRecordSize);
    }

    // Every step read fits its record, so the chain saves again unchanged.
    dnc::ConversionChain chain;
    FUZZ_CHECK(dnc::ConversionChain::fromSteps(steps, chain));
    FUZZ_CHECK(chain.steps() == steps);
    const std::string encoded = dnc::encodeChainRecords(chain);
    FUZZ_CHECK(encoded.size() == steps.size() * dnc::kChainRecordSize);
    FUZZ_CHECK(dnc::decodeChainFile(encoded) == steps);

    for (const std::string& step : steps) {
        FUZZ_CHECK(!step.empty() && step.size() <= dnc::kMaxStepLength);
        const dnc::StepFields fields = dnc::splitStep(step);
        FUZZ_CHECK(fields.userConversion ==
                   (dnc::libraryOfStep(step) == dnc::ConversionLibrary::User));
        const std::string parameters = dnc::parametersOfStep(step);
        FUZZ_CHECK(parameters.size() == (step.size() > 2 ? step.size() - 2 : 0));
        // The editor's fields give the step back, but for the library letter it normalises.
        if (step.size() >= 3 && step[1] == ' ' && step.find(' ', 2) != std::string::npos &&
            (step[0] == 'S' || step[0] == 'U')) {
            FUZZ_CHECK(dnc::composeStep(fields) == step);
        }
    }
    return 0;
}
