// The tape-code conversions of the standard library. Tape outputs get the requested leader
// and trailer of feed; text outputs end their blocks as requested.
#pragma once

#include <string_view>

#include "conversion/brisel/BriselRequest.h"
#include "conversion/brisel/Converted.h"

namespace brisel {

struct ConversionPlan;

// Converts a whole input held in memory as `plan` says.
Converted convertInMemory(std::string_view input, const ConversionPlan& plan);

// Text to ISO: even parity, LF ends a block, CR and feed (NUL, DEL) in the text are dropped.
// A character above 0x7F has no ISO code and is refused with its line.
Converted textToIso(std::string_view text, const Options& options);

// ISO to text: the first byte with odd parity is refused with its offset; feed and CR are
// dropped, LF becomes the chosen line end.
Converted isoToText(std::string_view tape, const Options& options);

// Text to EIA RS-244: a character without an EIA code is refused with its line, lower case
// letters too unless options.upperCase maps them to upper case.
Converted textToEia(std::string_view text, const Options& options);

// EIA to text: feed is dropped, end of block becomes the chosen line end; a byte with even
// parity, or one that is no EIA code, is refused with its offset.
Converted eiaToText(std::string_view tape, const Options& options);

// Text to text: parity bits cleared, feed and CR dropped, every LF the chosen line end.
Converted normaliseText(std::string_view text, const Options& options);

}  // namespace brisel
