// NC programs for the line's revision tests, and a unit-directory file read back byte-exact.
#pragma once

#include <cstddef>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

// A program of at least `n` bytes in CR LF lines; `seed` makes programs of one size differ.
inline std::string ncProgram(std::size_t n, unsigned seed) {
    std::string s = "%\r\n";
    for (std::size_t i = 0; s.size() < n; ++i) {
        s += "N" + std::to_string(i * 10) + " G01 X" + std::to_string((i * seed) % 997) + "\r\n";
    }
    return s;
}

inline std::string fileText(const std::filesystem::path& file) {
    std::ifstream in(file, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    return text.str();
}
