// File input and output for the conversions: a result replaces its target only once it is
// completely on the disk, so a failed conversion never leaves a half-written file.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace conversion {

// The bytes of the file at `path`; false with `error` set to errno when it cannot be read.
bool readFileBytes(const std::string& path, std::string& bytes, int& error);

// Writes all of `size` bytes to `fd`, retrying after interruptions; false with errno set.
bool writeAll(int fd, const char* data, std::size_t size);

// A new file beside `target` that takes its place on commit(). Dropped without commit (after
// a failure), it is removed and the target keeps its content.
class ReplacementFile {
public:
    explicit ReplacementFile(std::string target);
    ~ReplacementFile();
    ReplacementFile(const ReplacementFile&) = delete;
    ReplacementFile& operator=(const ReplacementFile&) = delete;

    // errno of the first failure, 0 while all went well.
    int error() const { return error_; }

    bool write(const char* data, std::size_t size);

    // Flushes the new file to the disk and renames it over the target. A replaced file keeps
    // its permissions; a new one gets the usual 0644.
    bool commit();

private:
    std::string target_;
    std::string temporary_;
    int fd_ = -1;
    int error_ = 0;
};

// Writes `bytes` through a ReplacementFile; false with `error` set to errno.
bool replaceFileWith(const std::string& path, std::string_view bytes, int& error);

}  // namespace conversion
