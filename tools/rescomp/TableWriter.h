// Lays out the languages of one deliverable as an embedded string table.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/rescomp/StringSource.h"

namespace rescomp {

// Throws SourceError when two sources have the same language or the languages do not hold the
// same string numbers (every language must be complete).
std::vector<std::uint8_t> buildTable(std::vector<LanguageSource> languages);

// C++ source that exports the table under the symbols the language library looks for.
std::string tableSource(const std::vector<std::uint8_t>& table);

}  // namespace rescomp
