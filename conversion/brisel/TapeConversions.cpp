#include "conversion/brisel/TapeConversions.h"

#include <cstring>

#include "conversion/brisel/ConversionPlan.h"

namespace brisel {

Converted convertInMemory(std::string_view input, const ConversionPlan& plan) {
    const Translation& table = *plan.translation;
    Converted result(plan.leader + input.size() * table.endOfBlock.size() + plan.trailer);
    char* out = result.data();
    std::memset(out, plan.feed, plan.leader);
    out += plan.leader;
    std::size_t written = 0;
    const std::size_t refused = translateBytes(input, table, out, written);
    if (refused != std::string_view::npos) {
        return Converted::failure(refusalText(plan.refusal,
                                              static_cast<unsigned char>(input[refused]), refused,
                                              lineOfOffset(input, refused)));
    }
    out += written;
    std::memset(out, plan.feed, plan.trailer);
    out += plan.trailer;
    result.setSize(static_cast<std::size_t>(out - result.data()));
    return result;
}

Converted textToIso(std::string_view text, const Options& options) {
    return convertInMemory(text, *planFor(Conversion::TextToIso, options));
}

Converted isoToText(std::string_view tape, const Options& options) {
    return convertInMemory(tape, *planFor(Conversion::IsoToText, options));
}

Converted textToEia(std::string_view text, const Options& options) {
    return convertInMemory(text, *planFor(Conversion::TextToEia, options));
}

Converted eiaToText(std::string_view tape, const Options& options) {
    return convertInMemory(tape, *planFor(Conversion::EiaToText, options));
}

Converted normaliseText(std::string_view text, const Options& options) {
    return convertInMemory(text, *planFor(Conversion::TextToText, options));
}

}  // namespace brisel
