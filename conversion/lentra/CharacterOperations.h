// The operations on single characters: replacing (R) and dropping the control codes DC2 and
// DC4 (Z). They need no line boundaries, so they run over whole runs of lines at once.
#pragma once

#include <vector>

#include "conversion/lentra/LentraCommands.h"
#include "conversion/lentra/TextLineReader.h"
#include "conversion/lentra/TextWriter.h"

namespace lentra {

// Every occurrence of each pair's first character becomes its second, pair after pair.
void replaceCharacters(const std::vector<ReplacementPair>& pairs, TextLineReader& reader,
                       TextWriter& writer);

void dropControlCodes(TextLineReader& reader, TextWriter& writer);

}  // namespace lentra
