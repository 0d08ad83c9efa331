// Opening a file below a directory so that nothing named inside that directory can lead out of
// it: no symbolic link is followed on the way, no ".." climbs out, and nothing waits on a FIFO
// or a device. The one place that knows the system's calls for it (openat2 where the kernel has
// it, a walk one name at a time where it has not), so another platform needs only its own
// version of this file's definitions.
#pragma once

#include <filesystem>
#include <optional>

#include "comm/ComError.h"

namespace comm {

// An open file descriptor, closed with the handle.
class FileHandle {
public:
    FileHandle() = default;
    explicit FileHandle(int fd) : fd_(fd) {}
    ~FileHandle();
    FileHandle(FileHandle&& other) noexcept : fd_(other.release()) {}
    FileHandle& operator=(FileHandle&& other) noexcept;
    FileHandle(const FileHandle&) = delete;
    FileHandle& operator=(const FileHandle&) = delete;

    int fd() const { return fd_; }
    int release() {
        const int fd = fd_;
        fd_ = -1;
        return fd;
    }
    explicit operator bool() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};

// How a file below the root is opened.
enum class BeneathMode {
    Read,       // an existing regular file, for reading
    Directory,  // an existing directory, for reading its entries and opening files in it
};

// Opens `path`, which must lie below `root` (both as configured; the root itself may be reached
// through links, the person chose it). Errors: ELOOP for a symbolic link on the way, EXDEV for
// a path outside the root, EISDIR/EINVAL for a file that is not of the kind asked, and the
// system's errors otherwise; the description says which file and why.
Expected<FileHandle> openBeneath(const std::filesystem::path& root,
                                 const std::filesystem::path& path, BeneathMode mode);

// `path` relative to `root`, or nothing when it does not lie below it.
std::optional<std::filesystem::path> pathBelow(const std::filesystem::path& root,
                                               const std::filesystem::path& path);

}  // namespace comm
