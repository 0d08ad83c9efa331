#include "dnc/config/ChainFile.h"

#include <fcntl.h>
#include <unistd.h>

#include "comm/files/FileIo.h"

namespace dnc {

namespace {

constexpr std::size_t kCountSize = 2;

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

bool isTextChain(std::string_view bytes) {
    return !bytes.empty() && bytes.find('\0') == std::string_view::npos;
}

std::vector<std::string> decodeTextChain(std::string_view bytes) {
    std::vector<std::string> steps;
    std::size_t start = 0;
    while (start < bytes.size()) {
        std::size_t end = bytes.find('\n', start);
        if (end == std::string_view::npos) {
            end = bytes.size();
        }
        std::string_view line = bytes.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        if (line.find_first_not_of(" \t") != std::string_view::npos &&
            line.size() <= kMaxStepLength) {
            steps.emplace_back(line);
        }
        start = end + 1;
    }
    return steps;
}

std::vector<std::string> decodeChainFile(std::string_view bytes) {
    return isTextChain(bytes) ? decodeTextChain(bytes) : decodeChainRecords(bytes);
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
    // Opening creates a missing file, so that every unit directory shows both chains.
    const int fd = ::open(path.c_str(), O_RDONLY | O_CREAT | O_CLOEXEC, 0666);
    if (fd < 0) {
        return {};
    }
    ::close(fd);
    const auto bytes = comm::readWholeFile(path);
    return bytes ? decodeChainFile(bytes.value()) : std::vector<std::string>{};
}

comm::Status saveChainFile(const std::filesystem::path& path, const ConversionChain& chain) {
    return comm::replaceFileAtomically(path, encodeChainRecords(chain));
}

}  // namespace dnc
