// A large NC program for the benchmark: numbered blocks of motion words with CR LF line ends,
// some blank lines, percent-sign lines, comments and DC2/DC4 control codes, all characters
// that the EIA code can punch apart from the control codes.
#pragma once

#include <cstddef>
#include <string>

std::string generateNcProgram(std::size_t bytes);
