#include "conversion/shared/FileBytes.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace conversion {

bool writeAll(int fd, const char* data, std::size_t size) {
    while (size > 0) {
        const ssize_t n = ::write(fd, data, size);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return false;
        }
        data += n;
        size -= static_cast<std::size_t>(n);
    }
    return true;
}

bool readFileBytes(const std::string& path, std::string& bytes, int& error) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0) {
        error = errno;
        return false;
    }
    // Read straight into the string: a program may be large, and a second copy costs time.
    struct stat info {};
    std::size_t expected = 0;
    if (::fstat(fd, &info) == 0 && S_ISREG(info.st_mode)) {
        expected = static_cast<std::size_t>(info.st_size);
    }
    bytes.resize(expected + 1);
    std::size_t used = 0;
    while (true) {
        if (used == bytes.size()) {
            bytes.resize(bytes.size() * 2);
        }
        const ssize_t n = ::read(fd, bytes.data() + used, bytes.size() - used);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error = errno;
            ::close(fd);
            return false;
        }
        if (n == 0) {
            break;
        }
        used += static_cast<std::size_t>(n);
    }
    bytes.resize(used);
    ::close(fd);
    return true;
}

ReplacementFile::ReplacementFile(std::string target) : target_(std::move(target)) {
    const std::size_t slash = target_.find_last_of('/');
    const std::string directory = slash == std::string::npos ? "" : target_.substr(0, slash + 1);
    const std::string name = slash == std::string::npos ? target_ : target_.substr(slash + 1);
    std::string pattern = directory + "." + name + ".XXXXXX";
    fd_ = ::mkstemp(pattern.data());
    if (fd_ < 0) {
        error_ = errno;
        return;
    }
    temporary_ = pattern;
}

ReplacementFile::~ReplacementFile() {
    if (fd_ >= 0) {
        ::close(fd_);
    }
    if (!temporary_.empty()) {
        ::unlink(temporary_.c_str());
    }
}

bool ReplacementFile::write(const char* data, std::size_t size) {
    if (error_ == 0 && !writeAll(fd_, data, size)) {
        error_ = errno;
    }
    return error_ == 0;
}

bool ReplacementFile::commit() {
    if (error_ != 0) {
        return false;
    }
    struct stat existing {};
    const mode_t mode = ::stat(target_.c_str(), &existing) == 0 ? (existing.st_mode & 07777) : 0644;
    if (::fchmod(fd_, mode) != 0 || ::fsync(fd_) != 0) {
        error_ = errno;
        return false;
    }
    const int fd = fd_;
    fd_ = -1;
    if (::close(fd) != 0 || ::rename(temporary_.c_str(), target_.c_str()) != 0) {
        error_ = errno;
        return false;
    }
    temporary_.clear();
    return true;
}

bool replaceFileWith(const std::string& path, std::string_view bytes, int& error) {
    ReplacementFile file(path);
    if (!file.write(bytes.data(), bytes.size()) || !file.commit()) {
        error = file.error();
        return false;
    }
    return true;
}

}  // namespace conversion
