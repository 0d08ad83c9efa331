// rescomp OUTPUT.cpp SOURCE.txt...
// Compiles the string-table sources of one deliverable (one file per language) into a C++ file
// that embeds the table. The output is replaced only when it changes.
#include <fstream>
#include <iostream>
#include <sstream>

#include "tools/rescomp/StringSource.h"
#include "tools/rescomp/TableWriter.h"

int main(int argc, char** argv) {
    if (argc < 3) {
        std::cerr << "usage: rescomp OUTPUT.cpp SOURCE.txt...\n";
        return 2;
    }
    try {
        std::vector<rescomp::LanguageSource> languages;
        for (int i = 2; i < argc; ++i) {
            std::ifstream in(argv[i], std::ios::binary);
            if (!in) {
                throw rescomp::SourceError(std::string(argv[i]) + ": cannot be read");
            }
            std::ostringstream text;
            text << in.rdbuf();
            languages.push_back(rescomp::parseLanguageSource(text.str(), argv[i]));
        }
        const std::string source = rescomp::tableSource(rescomp::buildTable(std::move(languages)));
        std::ifstream old(argv[1], std::ios::binary);
        std::ostringstream current;
        current << old.rdbuf();
        if (current.str() != source) {
            std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
            out << source;
            if (!out.flush()) {
                throw rescomp::SourceError(std::string(argv[1]) + ": cannot be written");
            }
        }
    } catch (const rescomp::SourceError& e) {
        std::cerr << "rescomp: " << e.what() << '\n';
        return 1;
    }
    return 0;
}
