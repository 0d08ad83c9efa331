// The standard conversion library's request: a conversion name and its parameters.
#include <cstdint>
#include <string>
#include <string_view>

#include "conversion/brisel/BriselRequest.h"
#include "conversion/brisel/ConversionPlan.h"
#include "conversion/brisel/TapeConversions.h"
#include "fuzz/FuzzCheck.h"

namespace {

bool readsTape(brisel::Conversion c) {
    return c == brisel::Conversion::IsoToText || c == brisel::Conversion::EiaToText;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view parameters(reinterpret_cast<const char*>(data), size);
    std::string error;
    const brisel::Request request = brisel::parseRequest(parameters, error);
    if (!error.empty()) {
        FUZZ_CHECK(error.rfind("Brisel: ", 0) == 0);
        return 0;
    }
    FUZZ_CHECK(request.options.leader <= brisel::kMaxFeed);
    FUZZ_CHECK(request.options.trailer <= brisel::kMaxFeed);
    const auto plan = brisel::planFor(request.conversion, request.options);
    const bool mgf = request.conversion == brisel::Conversion::TextToMgf ||
                     request.conversion == brisel::Conversion::MgfToText;
    FUZZ_CHECK(plan.has_value() != mgf);
    if (!plan) {
        return 0;
    }
    // An accepted request converts a program: the feed frames exactly the converted text.
    const std::string_view program = readsTape(request.conversion) ? "" : "N10 G01 X1\nM30\n";
    const brisel::Converted converted = brisel::convertInMemory(program, *plan);
    FUZZ_CHECK(!converted.failed());
    const std::string_view bytes = converted.bytes();
    FUZZ_CHECK(bytes.size() >= std::size_t{plan->leader} + plan->trailer);
    FUZZ_CHECK(bytes.find_first_not_of(plan->feed) >= plan->leader);
    return 0;
}
