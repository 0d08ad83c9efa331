// Measures the conversion libraries on a generated NC program of about 100 MB and compares the
// user library's line operations with GNU tools doing the same work. Prints its figures; the
// outputs are checked to be byte-identical before a figure is printed.
#include <dlfcn.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>

#include "bench/conversion/ProgramGenerator.h"
#include "conversion/shared/ConvertEntry.h"
#include "conversion/shared/FileBytes.h"

namespace {

constexpr int kRepeats = 3;

std::filesystem::path programDirectory() {
    return std::filesystem::read_symlink("/proc/self/exe").parent_path();
}

ConvertFunction load(const char* name) {
    const std::string path = (programDirectory() / name).string();
    void* library = ::dlopen(path.c_str(), RTLD_NOW);
    if (library == nullptr) {
        std::fprintf(stderr, "cannot load %s: %s\n", path.c_str(), ::dlerror());
        std::exit(1);
    }
    return reinterpret_cast<ConvertFunction>(::dlsym(library, "Convert"));
}

std::string readAll(const std::string& path) {
    std::string bytes;
    int error = 0;
    if (!conversion::readFileBytes(path, bytes, error)) {
        std::fprintf(stderr, "cannot read %s\n", path.c_str());
        std::exit(1);
    }
    return bytes;
}

void writeAllTo(const std::string& path, const std::string& bytes) {
    int error = 0;
    if (!conversion::replaceFileWith(path, bytes, error)) {
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
        std::exit(1);
    }
}

double seconds(std::chrono::steady_clock::duration d) {
    return std::chrono::duration<double>(d).count();
}

// Best of kRepeats: copies `input` to `work` (not timed) and converts it in place.
double timeConvert(ConvertFunction convert, const std::string& input, const std::string& work,
                   const char* parameters) {
    const std::string bytes = readAll(input);
    double best = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
        writeAllTo(work, bytes);
        char errorText[kConvertTextCapacity + 1] = {};
        char helpFile[kConvertTextCapacity + 1] = {};
        std::int32_t helpContext = 0;
        const auto start = std::chrono::steady_clock::now();
        const int16_t ok =
            convert(work.c_str(), work.c_str(), parameters, errorText, helpFile, &helpContext);
        const double elapsed = seconds(std::chrono::steady_clock::now() - start);
        if (ok == 0) {
            std::fprintf(stderr, "Convert %s failed: %s\n", parameters, errorText);
            std::exit(1);
        }
        best = std::min(best, elapsed);
    }
    return best;
}

double timeCommand(const std::string& command) {
    double best = 1e9;
    for (int i = 0; i < kRepeats; ++i) {
        const auto start = std::chrono::steady_clock::now();
        const int status = std::system(command.c_str());
        const double elapsed = seconds(std::chrono::steady_clock::now() - start);
        // grep -v answers 1 when it selected no line; anything else is a failure.
        if (status != 0 && !(WIFEXITED(status) && WEXITSTATUS(status) == 1)) {
            std::fprintf(stderr, "command failed: %s\n", command.c_str());
            std::exit(1);
        }
        best = std::min(best, elapsed);
    }
    return best;
}

void compare(const char* what, ConvertFunction lentra, const std::string& program,
             const std::string& directory, const char* parameters, const std::string& tool) {
    const std::string ours = directory + "/lentra.out";
    const std::string theirs = directory + "/gnu.out";
    const double megabytes = static_cast<double>(std::filesystem::file_size(program)) / 1e6;
    const double ourTime = timeConvert(lentra, program, ours, parameters);
    const std::string command = "LC_ALL=C " + tool + " < '" + program + "' > '" + theirs + "'";
    const double theirTime = timeCommand(command);
    const bool identical = readAll(ours) == readAll(theirs);
    std::printf("%-14s %8.0f MB/s   %-28s %8.0f MB/s   ratio %5.2f   outputs %s\n", what,
                megabytes / ourTime, tool.substr(0, 28).c_str(), megabytes / theirTime,
                theirTime / ourTime, identical ? "identical" : "DIFFER");
}

void tape(const char* what, ConvertFunction brisel, const std::string& input,
          const std::string& work, const char* parameters) {
    const double megabytes = static_cast<double>(std::filesystem::file_size(input)) / 1e6;
    const double elapsed = timeConvert(brisel, input, work, parameters);
    std::printf("%-14s %8.0f MB/s\n", what, megabytes / elapsed);
}

}  // namespace

int main(int argc, char** argv) {
    const std::string directory = argc > 1 ? argv[1] : "/tmp/ferix-conversion-bench";
    const std::size_t megabytes = argc > 2 ? std::strtoul(argv[2], nullptr, 10) : 100;
    std::filesystem::create_directories(directory);
    const std::string program = directory + "/program.nc";
    writeAllTo(program, generateNcProgram(megabytes * 1000 * 1000));
    std::printf("program: %s, %.1f MB, best of %d runs\n\n", program.c_str(),
                static_cast<double>(std::filesystem::file_size(program)) / 1e6, kRepeats);

    const ConvertFunction lentra = load("libLentra.so");
    const ConvertFunction brisel = load("libBrisel.so");
    compare("Lentra /P", lentra, program, directory, "/P", "grep -v -E '^[ \t]*\r$'");
    compare("Lentra /R", lentra, program, directory, "/R\\41\\42", "tr A B");
    compare("Lentra /K", lentra, program, directory, "/K\\25", "grep -v %");
    compare("Lentra /Z", lentra, program, directory, "/Z", "tr -d '\\022\\024'");
    compare("Lentra /R(sed)", lentra, program, directory, "/R\\41\\42", "sed y/A/B/");

    // The tape codes run on the program without its control codes, which EIA cannot punch.
    const std::string clean = directory + "/clean.nc";
    std::string text = readAll(program);
    text.erase(
        std::remove_if(text.begin(), text.end(), [](char c) { return c == 0x12 || c == 0x14; }),
        text.end());
    writeAllTo(clean, text);
    const std::string iso = directory + "/program.iso";
    std::printf("\n");
    tape("Brisel TXT>ISO", brisel, clean, iso, "TXT>ISO");
    tape("Brisel ISO>TXT", brisel, iso, directory + "/back.txt", "ISO>TXT");
    tape("Brisel TXT>EIA", brisel, clean, directory + "/program.eia", "TXT>EIA");
    const bool roundTrip = readAll(directory + "/back.txt") == text;
    std::printf("\nISO round trip: %s\n", roundTrip ? "identical" : "DIFFERS");
    return roundTrip ? 0 : 1;
}
