// The two conversion libraries, loaded by name when a chain first needs them: from the
// program's own directory when they are there, else from the library search path.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

#include "conversion/shared/ConvertEntry.h"
#include "dnc/config/ChainStep.h"

namespace dnc {

struct LibraryLocation {
    std::string standardName;
    std::string userName;
    // Looked in first, in order; then the platform's library search path.
    std::vector<std::filesystem::path> firstDirectories;
};

// The directory of the running program, empty when it cannot be told.
std::filesystem::path programDirectory();

// The libraries' usual file names, looked for beside the program first.
LibraryLocation defaultLibraryLocation();

class ConversionLibraries {
public:
    explicit ConversionLibraries(LibraryLocation location = defaultLibraryLocation());
    ~ConversionLibraries();
    ConversionLibraries(const ConversionLibraries&) = delete;
    ConversionLibraries& operator=(const ConversionLibraries&) = delete;

    // The library's Convert entry, loading the library at the first call. Null when the
    // library or its entry cannot be found; `problem` then holds the platform's text.
    ConvertFunction entry(ConversionLibrary library, std::string& problem);

private:
    struct Loaded {
        void* handle = nullptr;
        ConvertFunction convert = nullptr;
    };

    ConvertFunction load(const std::string& name, Loaded& loaded, std::string& problem);

    LibraryLocation location_;
    Loaded standard_;
    Loaded user_;
};

}  // namespace dnc
