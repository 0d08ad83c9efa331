#include "comm/files/FileIo.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <vector>

namespace comm {

namespace {

ComError fileError(int error, const std::string& what) {
    return ComError{error, "FerixComm", what + ": " + systemDescription(error), "", 0};
}

}  // namespace

std::string systemDescription(int error) {
    return std::strerror(error);
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

namespace {

constexpr const char* kTemporarySuffix = ".XXXXXX";

std::filesystem::path directoryOf(const std::filesystem::path& path) {
    return path.has_parent_path() ? path.parent_path() : std::filesystem::path(".");
}

// ".<name>.XXXXXX" beside the file: hidden, and never taken for the file itself.
std::string temporaryPrefix(const std::filesystem::path& path) {
    return std::string(".").append(path.filename().string()).append(".");
}

}  // namespace

void removeStaleTemporaries(const std::filesystem::path& path) {
    const std::string prefix = temporaryPrefix(path);
    const std::size_t length = prefix.size() + std::string(kTemporarySuffix).size() - 1;
    std::error_code ec;
    for (std::filesystem::directory_iterator it(directoryOf(path), ec), end; !ec && it != end;
         it.increment(ec)) {
        const std::string name = it->path().filename().string();
        if (name.size() == length && name.rfind(prefix, 0) == 0 && it->is_regular_file(ec)) {
            std::filesystem::remove(it->path(), ec);
        }
    }
}

Status replaceFileAtomically(const std::filesystem::path& path, std::string_view bytes) {
    const std::filesystem::path directory = directoryOf(path);
    std::string pattern = (directory / (temporaryPrefix(path) + "XXXXXX")).string();
    std::vector<char> name(pattern.begin(), pattern.end());
    name.push_back('\0');
    const int fd = ::mkstemp(name.data());
    if (fd < 0) {
        return fileError(errno, path.string());
    }
    const std::string temporary(name.data());
    const auto fail = [&](int error) {
        ::close(fd);
        ::unlink(temporary.c_str());
        return fileError(error, path.string());
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
    // A replaced file keeps its permissions; a new one gets the usual 0644, not mkstemp's 0600
    // (programs are read by others on the shop floor).
    struct stat old {};
    const mode_t mode = ::stat(path.c_str(), &old) == 0 ? (old.st_mode & 07777) : 0644;
    if (::fchmod(fd, mode) != 0 || ::fsync(fd) != 0) {
        return fail(errno);
    }
    if (::close(fd) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return fileError(error, path.string());
    }
    if (::rename(temporary.c_str(), path.c_str()) != 0) {
        const int error = errno;
        ::unlink(temporary.c_str());
        return fileError(error, path.string());
    }
    return {};
}

}  // namespace comm
