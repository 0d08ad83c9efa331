#include "conversion/brisel/StreamConversion.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <vector>

#include "conversion/shared/FileBytes.h"

namespace brisel {

namespace {

constexpr std::size_t kPieceSize = 1 << 20;

// The reason comes before the path, so that cutting a long text to the caller's buffer loses
// the end of the path rather than the reason.
std::string fileProblem(const char* what, int error, const std::string& path) {
    return std::string("Brisel: cannot ") + what + " (" + std::strerror(error) + "): " + path;
}

// The line of the byte at `offset`: the input is read again only to describe a refusal.
std::size_t lineInFile(int fd, std::size_t offset) {
    std::vector<char> piece(kPieceSize);
    std::size_t line = 1;
    std::size_t position = 0;
    while (position < offset) {
        const ssize_t n = ::pread(fd, piece.data(), std::min(piece.size(), offset - position),
                                  static_cast<off_t>(position));
        if (n <= 0) {
            break;
        }
        line += static_cast<std::size_t>(std::count(piece.data(), piece.data() + n, '\n'));
        position += static_cast<std::size_t>(n);
    }
    return line;
}

class InputFile {
public:
    explicit InputFile(const std::string& path) : fd_(::open(path.c_str(), O_RDONLY | O_CLOEXEC)) {}
    ~InputFile() {
        if (fd_ >= 0) {
            ::close(fd_);
        }
    }
    InputFile(const InputFile&) = delete;
    InputFile& operator=(const InputFile&) = delete;
    int fd() const { return fd_; }

private:
    int fd_;
};

bool writeFeed(conversion::ReplacementFile& file, char feed, unsigned count) {
    const std::string bytes(count, feed);
    return file.write(bytes.data(), bytes.size());
}

}  // namespace

std::string convertFileInPieces(const std::string& input, const std::string& output,
                                const ConversionPlan& plan) {
    InputFile in(input);
    if (in.fd() < 0) {
        return fileProblem("read", errno, input);
    }
    conversion::ReplacementFile result(output);
    if (result.error() != 0 || !writeFeed(result, plan.feed, plan.leader)) {
        return fileProblem("write", result.error(), output);
    }
    const Translation& table = *plan.translation;
    std::vector<char> piece(kPieceSize);
    std::vector<char> converted(kPieceSize * table.endOfBlock.size());
    std::size_t offset = 0;
    while (true) {
        const ssize_t n = ::read(in.fd(), piece.data(), piece.size());
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            return fileProblem("read", errno, input);
        }
        if (n == 0) {
            break;
        }
        const std::string_view bytes(piece.data(), static_cast<std::size_t>(n));
        std::size_t written = 0;
        const std::size_t refused = translateBytes(bytes, table, converted.data(), written);
        if (refused != std::string_view::npos) {
            const std::size_t at = offset + refused;
            const std::size_t line = refusalNamesLine(plan.refusal) ? lineInFile(in.fd(), at) : 0;
            return refusalText(plan.refusal, static_cast<unsigned char>(bytes[refused]), at, line);
        }
        if (!result.write(converted.data(), written)) {
            return fileProblem("write", result.error(), output);
        }
        offset += bytes.size();
    }
    if (!writeFeed(result, plan.feed, plan.trailer) || !result.commit()) {
        return fileProblem("write", result.error(), output);
    }
    return {};
}

}  // namespace brisel
