#include "tools/ferixdncctl/ProgressBar.h"

#include <algorithm>
#include <cstdio>

namespace ferixdncctl {

std::string progressLine(int percent, int width) {
    percent = std::clamp(percent, 0, 100);
    const int filled = percent * width / 100;
    std::string line = "[" + std::string(static_cast<std::size_t>(filled), '#') +
                       std::string(static_cast<std::size_t>(width - filled), '.') + "]";
    char number[8];
    std::snprintf(number, sizeof number, " %3d %%", percent);
    return line + number;
}

}  // namespace ferixdncctl
