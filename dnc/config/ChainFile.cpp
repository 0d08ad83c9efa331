#include "dnc/config/ChainFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

namespace dnc {

namespace {

constexpr std::size_t kCountSize = 2;

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

}  // namespace

std::vector<std::string> decodeChainRecords(std::string_view bytes) {
    std::vector<std::string> steps;
    for (std::size_t offset = 0; offset + kChainRecordSize <= bytes.size();
         offset += kChainRecordSize) {
        const auto low = static_cast<unsigned char>(bytes[offset]);
        const auto high = static_cast<unsigned char>(bytes[offset + 1]);
        const std::size_t length = low | (static_cast<std::size_t>(high) << 8);
        if (length == 0 || length > kMaxStepLength) {
            continue;
        }
        steps.emplace_back(bytes.substr(offset + kCountSize, length));
    }
    return steps;
}

std::string encodeChainRecords(const ConversionChain& chain) {
    std::string bytes(chain.size() * kChainRecordSize, '\0');
    std::size_t offset = 0;
    for (const std::string& step : chain.steps()) {
        bytes[offset] = static_cast<char>(step.size() & 0xFF);
        bytes[offset + 1] = static_cast<char>((step.size() >> 8) & 0xFF);
        bytes.replace(offset + kCountSize, step.size(), step);
        offset += kChainRecordSize;
    }
    return bytes;
}

std::vector<std::string> loadChainFile(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return {};
    }
    std::string bytes;
    char chunk[4096];
    while (true) {
        const ssize_t n = ::read(fd, chunk, sizeof chunk);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;  // an unreadable rest gives a partial chain
        }
        bytes.append(chunk, static_cast<std::size_t>(n));
    }
    ::close(fd);
    return decodeChainRecords(bytes);
}

bool saveChainFile(const std::filesystem::path& path, const ConversionChain& chain) {
    const std::string bytes = encodeChainRecords(chain);
    std::filesystem::path temporary = path;
    temporary += ".new";
    const int fd =
        ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, 0666);
    if (fd < 0) {
        return false;
    }
    const bool written = writeAll(fd, bytes.data(), bytes.size()) && ::fsync(fd) == 0;
    if (::close(fd) != 0 || !written || ::rename(temporary.c_str(), path.c_str()) != 0) {
        ::unlink(temporary.c_str());
        return false;
    }
    return true;
}

}  // namespace dnc
