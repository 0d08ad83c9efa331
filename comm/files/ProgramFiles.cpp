#include "comm/files/ProgramFiles.h"

#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "comm/files/BeneathOpen.h"
#include "comm/files/FileIo.h"

namespace comm {

namespace {

ComError tooLarge(const std::filesystem::path& path, std::uint64_t size, std::int64_t megabytes) {
    return ComError{EFBIG, "FerixComm",
                    path.string() + ": " + std::to_string(size) + " bytes, more than the " +
                        std::to_string(megabytes) + " MB a program may have (MaxProgramMegabytes)",
                    "", 0};
}

// A unit directory configured outside the home directory (an absolute path of its own) is its
// own root: nothing inside it may lead out of it.
std::filesystem::path rootFor(const std::filesystem::path& root,
                              const std::filesystem::path& path) {
    if (pathBelow(root, path)) {
        return root;
    }
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

}  // namespace

std::uint64_t programLimitBytes(std::int64_t megabytes) {
    const std::int64_t clamped = std::clamp<std::int64_t>(megabytes, 1, kMaxProgramMegabytes);
    return std::min<std::uint64_t>(static_cast<std::uint64_t>(clamped) << 20,
                                   kProtocolProgramLimit);
}

Expected<std::string> readProgram(const std::filesystem::path& root,
                                  const std::filesystem::path& path, std::int64_t limitMegabytes) {
    Expected<FileHandle> file = openBeneath(rootFor(root, path), path, BeneathMode::Read);
    if (!file) {
        return file.error();
    }
    const int fd = file.value().fd();
    const std::uint64_t limit = programLimitBytes(limitMegabytes);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return ComError{errno, "FerixComm", path.string() + ": " + systemDescription(errno), "", 0};
    }
    if (static_cast<std::uint64_t>(info.st_size) > limit) {
        return tooLarge(path, static_cast<std::uint64_t>(info.st_size), limitMegabytes);
    }
    std::string data;
    data.reserve(static_cast<std::size_t>(info.st_size));
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return ComError{errno, "FerixComm", path.string() + ": " + systemDescription(errno), "",
                            0};
        }
        if (n == 0) {
            return data;
        }
        data.append(buffer, static_cast<std::size_t>(n));
        if (data.size() > limit) {  // grown while being read
            return tooLarge(path, data.size(), limitMegabytes);
        }
    }
}

Status storeProgram(const std::filesystem::path& root, const std::filesystem::path& path,
                    std::string_view bytes) {
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    Expected<FileHandle> directory =
        openBeneath(rootFor(root, path), folder, BeneathMode::Directory);
    if (!directory) {
        return directory.error();
    }
    return replaceInDirectory(directory.value().fd(), path.filename().string(), bytes, path);
}

Status removeProgram(const std::filesystem::path& root, const std::filesystem::path& path) {
    const std::filesystem::path folder =
        path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
    Expected<FileHandle> directory =
        openBeneath(rootFor(root, path), folder, BeneathMode::Directory);
    if (!directory) {
        return directory.error();
    }
    if (::unlinkat(directory.value().fd(), path.filename().c_str(), 0) != 0) {
        return ComError{errno, "FerixComm", path.string() + ": " + systemDescription(errno), "", 0};
    }
    return {};
}

std::vector<std::string> removeAbandonedWrites(const std::filesystem::path& root,
                                               const std::filesystem::path& directory) {
    const std::filesystem::path base = pathBelow(root, directory) ? root : directory;
    Expected<FileHandle> opened = openBeneath(base, directory, BeneathMode::Directory);
    if (!opened) {
        return {};
    }
    return removeStaleTemporariesIn(opened.value().fd());
}

}  // namespace comm
