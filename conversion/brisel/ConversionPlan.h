// How one conversion treats its input: the translation table, the feed that frames a tape
// output, and how a refused byte is described. Shared by the in-memory and the file paths.
#pragma once

#include <cstddef>
#include <optional>
#include <string>

#include "conversion/brisel/BriselRequest.h"
#include "conversion/brisel/ByteTranslation.h"

namespace brisel {

// Why a byte can be refused: text inputs name the character and its line, tape inputs the
// byte and its offset.
enum class Refusal { NoIsoCode, IsoParity, NoEiaCode, BadEiaByte, Never };

struct ConversionPlan {
    const Translation* translation = nullptr;
    unsigned leader = 0;
    unsigned trailer = 0;
    char feed = 0;
    Refusal refusal = Refusal::Never;
};

// The plan of a conversion; none for the MGF pair, which is not available: no public
// definition of that format is known, and none is invented.
std::optional<ConversionPlan> planFor(Conversion conversion, const Options& options);

// True when the refusal is described by the line of a text input rather than an offset.
bool refusalNamesLine(Refusal refusal);

// The error text for `byte` refused at `offset` (in line `line` of a text input).
std::string refusalText(Refusal refusal, unsigned char byte, std::size_t offset, std::size_t line);

}  // namespace brisel
