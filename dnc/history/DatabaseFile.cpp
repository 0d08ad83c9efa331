#include "dnc/history/DatabaseFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace dnc::history {

namespace {

std::string kindOf(mode_t mode) {
    if (S_ISDIR(mode)) {
        return "a folder";
    }
    if (S_ISFIFO(mode)) {
        return "a FIFO";
    }
    if (S_ISSOCK(mode)) {
        return "a socket";
    }
    if (S_ISCHR(mode) || S_ISBLK(mode)) {
        return "a device";
    }
    return "no regular file";
}

}  // namespace

DatabaseFile checkDatabaseFile(const std::filesystem::path& file) {
    const std::string name = file.string();
    const auto unreadable = [&name](int error) {
        return DatabaseFile{DatabaseFile::State::Unusable, "cannot read the history database " +
                                                               name + ": " + std::strerror(error)};
    };
    const auto special = [&name](mode_t mode) {
        return DatabaseFile{DatabaseFile::State::Unusable,
                            name + " is " + kindOf(mode) + ", not a history database"};
    };
    // Looked at before it is opened: opening a device may act on it.
    struct stat info {};
    if (::stat(name.c_str(), &info) != 0) {
        if (errno == ENOENT) {
            return {DatabaseFile::State::Missing, "no history database at " + name};
        }
        return unreadable(errno);
    }
    if (!S_ISREG(info.st_mode)) {
        return special(info.st_mode);
    }
    // Opened without waiting, in case it was swapped for a FIFO meanwhile.
    const int fd = ::open(name.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        return unreadable(errno);
    }
    const bool known = ::fstat(fd, &info) == 0;
    const int error = errno;
    ::close(fd);
    if (!known) {
        return unreadable(error);
    }
    if (!S_ISREG(info.st_mode)) {
        return special(info.st_mode);
    }
    return {DatabaseFile::State::Regular, {}};
}

}  // namespace dnc::history
