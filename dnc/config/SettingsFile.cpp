#include "dnc/config/SettingsFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>

#include "comm/files/BeneathOpen.h"
#include "comm/files/FileIo.h"

namespace dnc {

namespace {

// Far above any settings file a person writes; a larger one is something else.
constexpr off_t kLargestSettings = 16 * 1024 * 1024;
constexpr int kLinkDepth = 40;  // as the kernel's own limit

comm::ComError readError(const std::filesystem::path& file, int number, const std::string& why) {
    return comm::ComError{number, "FerixDNC", file.string() + ": cannot be read: " + why, "", 0};
}

bool startsWith(const std::string& text, std::string_view prefix) {
    return text.size() >= prefix.size() && text.compare(0, prefix.size(), prefix) == 0;
}

}  // namespace

comm::Expected<std::string> readSettingsText(const std::filesystem::path& file) {
    // O_NONBLOCK: opening a FIFO must not wait for a writer.
    const comm::FileHandle fd(::open(file.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC));
    if (!fd) {
        const int error = errno;
        return readError(file, error, comm::systemDescription(error));
    }
    struct stat info {};
    if (::fstat(fd.fd(), &info) != 0) {
        const int error = errno;
        return readError(file, error, comm::systemDescription(error));
    }
    if (!S_ISREG(info.st_mode)) {
        return readError(file, EINVAL, "not a regular file");
    }
    if (info.st_size > kLargestSettings) {
        return readError(file, EFBIG,
                         std::to_string(info.st_size) + " bytes, too large for a settings file");
    }
    std::string text;
    char buffer[65536];
    while (true) {
        const ssize_t n = ::read(fd.fd(), buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            const int error = errno;
            return readError(file, error, comm::systemDescription(error));
        }
        if (n == 0) {
            return text;
        }
        text.append(buffer, static_cast<std::size_t>(n));
        if (text.size() > static_cast<std::size_t>(kLargestSettings)) {
            return readError(file, EFBIG, "too large for a settings file");
        }
    }
}

std::optional<std::string> settingsFileProblem(const std::filesystem::path& file) {
    const comm::Expected<std::string> text = readSettingsText(file);
    if (!text) {
        if (text.error().number == ENOENT) {
            return std::nullopt;
        }
        return text.error().description;
    }
    // Text in UTF-16 or UTF-32 (as some editors save "Unicode"), or binary data: read as lines
    // of 8-bit text, every line would be dropped at the next write. A stray NUL in a line is a
    // problem of that line only, which the settings check reports.
    const std::string& bytes = text.value();
    if (startsWith(bytes, "\xFF\xFE") || startsWith(bytes, "\xFE\xFF") ||
        startsWith(bytes, std::string_view("\0\0\xFE\xFF", 4))) {
        return file.string() + ": is not a text file: it is in UTF-16 or UTF-32; save it as UTF-8";
    }
    const std::string_view head = std::string_view(bytes).substr(0, 4096);
    const auto nuls = std::count(head.begin(), head.end(), '\0');
    if (!head.empty() && nuls * 10 >= static_cast<std::ptrdiff_t>(head.size())) {
        return file.string() + ": is not a text file: " + std::to_string(nuls) + " of its first " +
               std::to_string(head.size()) + " bytes are NUL";
    }
    return std::nullopt;
}

std::filesystem::path linkTarget(const std::filesystem::path& file) {
    std::filesystem::path at = file;
    for (int depth = 0; depth < kLinkDepth; ++depth) {
        std::error_code ec;
        if (!std::filesystem::is_symlink(std::filesystem::symlink_status(at, ec)) || ec) {
            return at;
        }
        const std::filesystem::path next = std::filesystem::read_symlink(at, ec);
        if (ec) {
            return at;
        }
        at = next.is_absolute() ? next : at.parent_path() / next;
    }
    return at;
}

}  // namespace dnc
