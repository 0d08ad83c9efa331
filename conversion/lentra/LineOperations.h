// The four line operations of the user conversion library. Exactly one runs per call, chosen
// in the order P, R, K, Z. Lines are judged whole: a long line is never cut into pieces that
// are kept or dropped each by itself.
#pragma once

#include "conversion/lentra/LentraCommands.h"
#include "conversion/lentra/TextLineReader.h"
#include "conversion/lentra/TextWriter.h"

namespace lentra {

// Copies every line of `reader` to `writer` as the chosen operation says. Errors are left in
// the reader and the writer.
void runLineOperation(const Commands& commands, TextLineReader& reader, TextWriter& writer);

}  // namespace lentra
