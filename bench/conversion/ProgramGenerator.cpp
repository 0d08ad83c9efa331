#include "bench/conversion/ProgramGenerator.h"

#include <cstdint>

namespace {

// A small deterministic generator, so every run converts the same program.
struct Random {
    std::uint64_t state = 0x9E3779B97F4A7C15ULL;
    std::uint32_t next() {
        state ^= state << 13;
        state ^= state >> 7;
        state ^= state << 17;
        return static_cast<std::uint32_t>(state >> 16);
    }
};

void appendNumber(std::string& out, Random& random, unsigned whole, unsigned fraction) {
    if (random.next() % 3 == 0) {
        out += '-';
    }
    out += std::to_string(random.next() % whole);
    out += '.';
    out += std::to_string(random.next() % fraction);
}

}  // namespace

std::string generateNcProgram(std::size_t bytes) {
    static const char* const kMotions[] = {"G00", "G01", "G02", "G03"};
    Random random;
    std::string out;
    out.reserve(bytes + 128);
    out += "%\r\nO1000 (BENCHMARK PART)\r\n";
    for (unsigned block = 10; out.size() < bytes; block += 10) {
        const std::uint32_t kind = random.next() % 100;
        if (kind < 4) {
            out += kind < 2 ? "\r\n" : " \t \r\n";
            continue;
        }
        if (kind < 6) {
            out += "%\r\n";
            continue;
        }
        out += 'N';
        out += std::to_string(block);
        out += ' ';
        if (kind < 9) {
            out += "\x12(TOOL CHANGE, AB/BA)\x14 M06 T";
            out += std::to_string(random.next() % 24 + 1);
        } else {
            out += kMotions[random.next() % 4];
            out += " X";
            appendNumber(out, random, 500, 1000);
            out += " Y";
            appendNumber(out, random, 300, 1000);
            if (kind % 2 == 0) {
                out += " Z";
                appendNumber(out, random, 100, 100);
            }
            out += " F";
            out += std::to_string(random.next() % 3000 + 100);
        }
        out += "\r\n";
    }
    out += "M30\r\n%\r\n";
    return out;
}
