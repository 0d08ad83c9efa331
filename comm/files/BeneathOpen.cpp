#include "comm/files/BeneathOpen.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>

#include "localizing/lookup/SystemErrors.h"

namespace comm {

FileHandle::~FileHandle() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
}

FileHandle& FileHandle::operator=(FileHandle&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) {
            ::close(fd_);
        }
        fd_ = other.release();
    }
    return *this;
}

std::optional<std::filesystem::path> pathBelow(const std::filesystem::path& root,
                                               const std::filesystem::path& path) {
    const std::filesystem::path base = (root.empty() ? "." : root).lexically_normal();
    const std::filesystem::path relative = path.lexically_normal().lexically_relative(base);
    if (relative.empty() || relative.is_absolute()) {
        return std::nullopt;
    }
    for (const auto& part : relative) {
        if (part == "..") {
            return std::nullopt;
        }
    }
    return relative;
}

namespace {

ComError openError(int error, const std::filesystem::path& path,
                   const std::filesystem::path& root) {
    std::string why;
    switch (error) {
        case ELOOP:
            why = "a symbolic link is on its way; files are opened only as they are inside " +
                  root.string();
            break;
        case EXDEV:
            why = "it lies outside " + root.string();
            break;
        case EINVAL:
            why = "not a regular file (FIFOs, devices and folders are never opened as programs)";
            break;
        default:
            why = loc::systemErrorText(error);
            break;
    }
    return ComError{error, "FerixComm", path.string() + ": " + why, "", 0};
}

int flagsFor(BeneathMode mode) {
    // O_NONBLOCK: a FIFO or a device must not hold the opening thread; O_NOCTTY: a terminal
    // must never become ours.
    return mode == BeneathMode::Read ? O_RDONLY | O_NONBLOCK | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC
                                     : O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
}

// The kernel's own refusal of links and of leaving the root, where it has it (Linux 5.6).
int openWithResolve(int rootFd, const std::filesystem::path& relative, int flags) {
    struct open_how how {};
    how.flags = static_cast<std::uint64_t>(flags);
    how.resolve = RESOLVE_BENEATH | RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
    return static_cast<int>(::syscall(SYS_openat2, rootFd, relative.c_str(), &how, sizeof how));
}

// The same by hand: one name after the other, none of them followed if it is a link.
int openByWalk(int rootFd, const std::filesystem::path& relative, int flags) {
    int dirFd = ::dup(rootFd);
    if (dirFd < 0) {
        return -1;
    }
    const auto last = std::prev(relative.end());
    for (auto part = relative.begin(); part != last; ++part) {
        if (*part == "." || part->empty()) {
            continue;
        }
        const int next =
            ::openat(dirFd, part->c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const int error = errno;
        ::close(dirFd);
        if (next < 0) {
            // O_NOFOLLOW|O_DIRECTORY on a link says ENOTDIR: tell a link as a link.
            errno = error == ENOTDIR ? ELOOP : error;
            return -1;
        }
        dirFd = next;
    }
    const int fd = ::openat(dirFd, last->c_str(), flags);
    const int error = errno;
    ::close(dirFd);
    errno = error;
    return fd;
}

std::atomic<bool> useResolve{true};  // cleared once the kernel says it has no openat2

}  // namespace

Expected<FileHandle> openBeneath(const std::filesystem::path& root,
                                 const std::filesystem::path& path, BeneathMode mode) {
    const std::optional<std::filesystem::path> relative = pathBelow(root, path);
    const bool isRoot = (root.empty() ? std::filesystem::path(".") : root).lexically_normal() ==
                        path.lexically_normal();
    if (!relative && !(isRoot && mode == BeneathMode::Directory)) {
        return openError(EXDEV, path, root);
    }
    const std::string rootName = root.empty() ? std::string(".") : root.string();
    FileHandle rootFd(::open(rootName.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!rootFd) {
        return openError(errno, root, root);
    }
    const int flags = flagsFor(mode);
    const std::filesystem::path name = relative ? *relative : std::filesystem::path(".");
    int fd = -1;
    bool walk = !useResolve;
    if (!walk) {
        fd = openWithResolve(rootFd.fd(), name, flags);
        // ENOSYS: an older kernel; EPERM: a sandbox that filters the call.
        if (fd < 0 && (errno == ENOSYS || errno == EPERM)) {
            useResolve = errno != ENOSYS;
            walk = true;
        }
    }
    if (walk) {
        fd = openByWalk(rootFd.fd(), name, flags);
    }
    if (fd < 0) {
        const int error = errno;
        // O_NOFOLLOW|O_DIRECTORY on a final link says ENOTDIR.
        if (error == ENOTDIR && mode == BeneathMode::Directory) {
            struct stat info {};
            if (::fstatat(rootFd.fd(), name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 &&
                S_ISLNK(info.st_mode)) {
                return openError(ELOOP, path, root);
            }
        }
        return openError(error, path, root);
    }
    FileHandle handle(fd);
    struct stat info {};
    if (::fstat(fd, &info) != 0) {
        return openError(errno, path, root);
    }
    if (mode == BeneathMode::Read) {
        if (!S_ISREG(info.st_mode)) {
            return openError(S_ISDIR(info.st_mode) ? EISDIR : EINVAL, path, root);
        }
        ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
    }
    return handle;
}

}  // namespace comm
