#include "fuzz/FuzzScratch.h"

#include <unistd.h>

#include <cstdlib>
#include <string>
#include <system_error>

namespace fuzz {

namespace {

struct Scratch {
    std::filesystem::path path;

    Scratch() {
        std::error_code ec;
        const char* tmpdir = std::getenv("TMPDIR");
        const std::filesystem::path base =
            tmpdir != nullptr && *tmpdir == '/'             ? std::filesystem::path(tmpdir)
            : std::filesystem::is_directory("/dev/shm", ec) ? std::filesystem::path("/dev/shm")
                                                            : std::filesystem::path("/tmp");
        path = base / ("ferix-fuzz-" + std::to_string(::getpid()));
        std::filesystem::remove_all(path, ec);
        std::filesystem::create_directories(path);
    }
    ~Scratch() {
        std::error_code ec;
        std::filesystem::remove_all(path, ec);
    }
};

}  // namespace

const std::filesystem::path& scratchDirectory() {
    static const Scratch scratch;
    return scratch.path;
}

}  // namespace fuzz
