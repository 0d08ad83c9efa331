// The translation tables of the conversions, built once on first use.
#pragma once

#include "conversion/brisel/BriselRequest.h"
#include "conversion/brisel/ByteTranslation.h"

namespace brisel {

// Text to ISO: even parity, LF ends a block, CR and feed (NUL, DEL) dropped, 8-bit refused.
const Translation& textToIsoTable();

// ISO to text: odd parity refused, feed and CR dropped, LF the chosen line end.
const Translation& isoToTextTable(LineEnd lineEnd);

// Text to EIA: the characters EIA has, LF as end of block, CR and feed dropped; lower case
// letters are refused unless `upperCase`.
const Translation& textToEiaTable(bool upperCase);

// EIA to text: feed dropped, end of block the chosen line end, anything else refused.
const Translation& eiaToTextTable(LineEnd lineEnd);

// Text to text: parity bits cleared, feed and CR dropped, LF the chosen line end.
const Translation& normaliseTable(LineEnd lineEnd);

}  // namespace brisel
