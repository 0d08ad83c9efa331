// The --help and --version answers that the simulator programs share.
#pragma once

#include <iostream>
#include <string_view>

#include "ferix/Version.h"

namespace sim {

// True when the command line asks for --help (-h) or --version; the answer is then printed on
// standard output and the program ends with status 0.
inline bool printedProgramInfo(int argc, char** argv, std::string_view program,
                               std::string_view usage) {
    for (int i = 1; i < argc; ++i) {
        const std::string_view arg = argv[i];
        if (arg == "--help" || arg == "-h") {
            std::cout << usage;
            return true;
        }
        if (arg == "--version") {
            std::cout << program << " " << ferix::kVersion << "\n";
            return true;
        }
    }
    return false;
}

}  // namespace sim
