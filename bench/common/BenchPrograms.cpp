#include "bench/common/BenchPrograms.h"

namespace bench {

std::string ncProgram(std::size_t size) {
    std::string text = "%\n";
    for (int n = 1; text.size() < size; ++n) {
        text += "N" + std::to_string(n * 10) + " G01 X" + std::to_string(n % 500) + ".250 Y" +
                std::to_string((n * 7) % 300) + ".125 F1200\n";
    }
    text.resize(size);
    return text;
}

}  // namespace bench
