// Rows printed as aligned columns under their headers, for the commands' plain output.
#pragma once

#include <ostream>
#include <string>
#include <vector>

namespace dnc::history {

// Each column is as wide as its widest cell, two blanks apart; no line ends in blanks.
void printColumns(const std::vector<std::string>& headers,
                  const std::vector<std::vector<std::string>>& rows, std::ostream& out);

}  // namespace dnc::history
