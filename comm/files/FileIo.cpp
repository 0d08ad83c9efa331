#include "comm/files/FileIo.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <random>

#include "comm/files/BeneathOpen.h"
#include "localizing/lookup/SystemErrors.h"

namespace comm {

namespace {

ComError fileError(int error, const std::string& what) {
    return ComError{error, "FerixComm", what + ": " + systemDescription(error), "", 0};
}

constexpr std::size_t kRandomLength = 6;

std::string randomPart() {
    static constexpr char kAlphabet[] =
        "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789";
    thread_local std::mt19937_64 engine{std::random_device{}()};
    std::uniform_int_distribution<std::size_t> pick(0, sizeof kAlphabet - 2);
    std::string part;
    for (std::size_t i = 0; i < kRandomLength; ++i) {
        part += kAlphabet[pick(engine)];
    }
    return part;
}

// ".<name>.XXXXXX" beside the file: hidden, and never taken for the file itself.
std::string temporaryPrefix(const std::string& name) {
    return std::string(".").append(name).append(".");
}

std::filesystem::path directoryOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

// A temporary file of ours whose writer is gone: nobody holds its lock.
bool removeIfAbandoned(int directoryFd, const std::string& name) {
    const int fd = ::openat(directoryFd, name.c_str(),
                            O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return false;
    }
    struct stat info {};
    bool removed = false;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && ::flock(fd, LOCK_EX | LOCK_NB) == 0) {
        removed = ::unlinkat(directoryFd, name.c_str(), 0) == 0;
    }
    ::close(fd);
    return removed;
}

std::vector<std::string> sweep(int directoryFd, std::string_view prefix) {
    std::vector<std::string> removed;
    const int listFd = ::dup(directoryFd);
    if (listFd < 0) {
        return removed;
    }
    DIR* dir = ::fdopendir(listFd);
    if (dir == nullptr) {
        ::close(listFd);
        return removed;
    }
    ::rewinddir(dir);
    std::vector<std::string> candidates;
    while (const dirent* entry = ::readdir(dir)) {
        const std::string name = entry->d_name;
        if (isTemporaryName(name) && name.starts_with(prefix)) {
            candidates.push_back(name);
        }
    }
    ::closedir(dir);
    for (const std::string& name : candidates) {
        if (removeIfAbandoned(directoryFd, name)) {
            removed.push_back(name);
        }
    }
    return removed;
}

}  // namespace

std::string systemDescription(int error) {
    return loc::systemErrorText(error);
}

Expected<std::string> readWholeFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        return fileError(errno, path.string());
    }
    std::string data;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            ::close(fd);
            return fileError(error, path.string());
        }
        if (n == 0) {
            break;
        }
        data.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return data;
}

bool isTemporaryName(std::string_view name) {
    const std::size_t tail = kRandomLength + 1;
    if (name.size() < tail + 2 || name.front() != '.' || name[name.size() - tail] != '.') {
        return false;
    }
    for (const char c : name.substr(name.size() - kRandomLength)) {
        if (std::isalnum(static_cast<unsigned char>(c)) == 0) {
            return false;
        }
    }
    return true;
}

std::vector<std::string> removeStaleTemporariesIn(int directoryFd) {
    return sweep(directoryFd, ".");
}

void removeStaleTemporaries(const std::filesystem::path& path) {
    const FileHandle directory(
        ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (directory) {
        (void)sweep(directory.fd(), temporaryPrefix(path.filename().string()));
    }
}

Status replaceInDirectory(int directoryFd, const std::string& name, std::string_view bytes,
                          const std::filesystem::path& shownAs) {
    struct stat old {};
    const bool replacing = ::fstatat(directoryFd, name.c_str(), &old, AT_SYMLINK_NOFOLLOW) == 0;
    if (replacing && !S_ISREG(old.st_mode)) {
        return ComError{S_ISLNK(old.st_mode) ? ELOOP : EINVAL, "FerixComm",
                        shownAs.string() + ": " +
                            (S_ISLNK(old.st_mode) ? "is a symbolic link; it is not replaced"
                                                  : "is not a regular file; it is not replaced"),
                        "", 0};
    }
    // Created as 0666 so that the umask decides, as for any file a program makes; the lock
    // tells a later sweep that this temporary file is still being written.
    std::string temporary;
    int fd = -1;
    for (int attempt = 0; attempt < 100 && fd < 0; ++attempt) {
        temporary = temporaryPrefix(name) + randomPart();
        fd = ::openat(directoryFd, temporary.c_str(),
                      O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
        if (fd < 0 && errno != EEXIST) {
            return fileError(errno, shownAs.string());
        }
        if (fd >= 0) {
            struct stat mine {};
            if (::flock(fd, LOCK_EX) != 0 || ::fstat(fd, &mine) != 0 || mine.st_nlink == 0) {
                ::close(fd);  // a sweep took it between its creation and the lock
                fd = -1;
            }
        }
    }
    if (fd < 0) {
        return fileError(EEXIST, shownAs.string());
    }
    const auto fail = [&](int error) {
        ::unlinkat(directoryFd, temporary.c_str(), 0);
        ::close(fd);
        return fileError(error, shownAs.string());
    };
    std::size_t done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return fail(errno);
        }
        done += static_cast<std::size_t>(n);
    }
    if (replacing && ::fchmod(fd, old.st_mode & 07777) != 0) {
        return fail(errno);
    }
    if (::fsync(fd) != 0) {
        return fail(errno);
    }
    if (::renameat(directoryFd, temporary.c_str(), directoryFd, name.c_str()) != 0) {
        return fail(errno);
    }
    const int closed = ::close(fd);
    if (closed != 0 && errno != EINTR) {
        return fileError(errno, shownAs.string());
    }
    return {};
}

Status replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    const FileHandle directory(
        ::open(directoryOf(path).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (!directory) {
        return fileError(errno, path.string());
    }
    return replaceInDirectory(directory.fd(), path.filename().string(), bytes, path);
}

}  // namespace comm
