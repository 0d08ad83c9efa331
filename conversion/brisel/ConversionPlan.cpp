#include "conversion/brisel/ConversionPlan.h"

#include "conversion/brisel/Converted.h"
#include "conversion/brisel/TapeCodes.h"
#include "conversion/brisel/TapeTables.h"

namespace brisel {

std::optional<ConversionPlan> planFor(Conversion conversion, const Options& options) {
    ConversionPlan plan;
    switch (conversion) {
        case Conversion::TextToIso:
            plan.translation = &textToIsoTable();
            plan.refusal = Refusal::NoIsoCode;
            break;
        case Conversion::IsoToText:
            plan.translation = &isoToTextTable(options.lineEnd);
            plan.refusal = Refusal::IsoParity;
            break;
        case Conversion::TextToEia:
            plan.translation = &textToEiaTable(options.upperCase);
            plan.refusal = Refusal::NoEiaCode;
            plan.feed = static_cast<char>(kEiaBlank);
            break;
        case Conversion::EiaToText:
            plan.translation = &eiaToTextTable(options.lineEnd);
            plan.refusal = Refusal::BadEiaByte;
            break;
        case Conversion::TextToText:
            plan.translation = &normaliseTable(options.lineEnd);
            break;
        case Conversion::TextToMgf:
        case Conversion::MgfToText:
            return std::nullopt;
    }
    // Only tape outputs have feed; the parameters refuse a leader for a text output.
    plan.leader = options.leader;
    plan.trailer = options.trailer;
    return plan;
}

bool refusalNamesLine(Refusal refusal) {
    return refusal == Refusal::NoIsoCode || refusal == Refusal::NoEiaCode;
}

std::string refusalText(Refusal refusal, unsigned char byte, std::size_t offset, std::size_t line) {
    const std::string character = describeCharacter(byte);
    switch (refusal) {
        case Refusal::NoIsoCode:
            return "Brisel: " + character + " in line " + std::to_string(line) + " has no ISO code";
        case Refusal::IsoParity:
            return "Brisel: ISO parity error at offset " + std::to_string(offset) + ", byte " +
                   character;
        case Refusal::NoEiaCode:
            return "Brisel: " + character + " in line " + std::to_string(line) +
                   " has no EIA code" + (byte >= 'a' && byte <= 'z' ? " (try /UPPER)" : "");
        case Refusal::BadEiaByte:
            return std::string("Brisel: ") +
                   (hasEvenParity(byte) ? "EIA parity error" : "no EIA code") + " at offset " +
                   std::to_string(offset) + ", byte " + character;
        case Refusal::Never:
            break;
    }
    return "Brisel: " + character + " cannot be converted";
}

}  // namespace brisel
