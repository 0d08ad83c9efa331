#include "conversion/lentra/TextLineReader.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace lentra {

namespace {
constexpr std::size_t kInitialBuffer = 1 << 20;
}

TextLineReader::TextLineReader(int fd) : fd_(fd), buffer_(kInitialBuffer) {}

bool TextLineReader::next(TextLine& line) {
    std::size_t searched = begin_;
    while (true) {
        char* start = buffer_.data() + begin_;
        void* found = std::memchr(buffer_.data() + searched, '\n', end_ - searched);
        if (found != nullptr) {
            char* lineFeed = static_cast<char*>(found);
            line.data = start;
            line.size = static_cast<std::size_t>(lineFeed - start);
            line.ended = true;
            if (line.size > 0 && start[line.size - 1] == '\r') {
                --line.size;
            }
            begin_ = static_cast<std::size_t>(lineFeed - buffer_.data()) + 1;
            return true;
        }
        if (endOfFile_ || error_ != 0) {
            if (begin_ == end_) {
                return false;
            }
            line.data = start;
            line.size = end_ - begin_;
            line.ended = false;
            begin_ = end_;
            return true;
        }
        // The carried bytes hold no line feed; search only what the read adds.
        const std::size_t carried = end_ - begin_;
        fill();
        searched = begin_ + carried;
    }
}

bool TextLineReader::nextLines(TextLine& block) {
    while (true) {
        char* start = buffer_.data() + begin_;
        const void* last = ::memrchr(start, '\n', end_ - begin_);
        if (last != nullptr || endOfFile_ || error_ != 0) {
            const std::size_t size =
                last != nullptr
                    ? static_cast<std::size_t>(static_cast<const char*>(last) - start) + 1
                    : end_ - begin_;
            if (size == 0) {
                return false;
            }
            block.data = start;
            block.size = size;
            block.ended = last != nullptr;
            begin_ += size;
            return true;
        }
        fill();
    }
}

void TextLineReader::fill() {
    // Keep the unfinished line at the front; a line longer than the buffer doubles it.
    if (begin_ > 0) {
        std::memmove(buffer_.data(), buffer_.data() + begin_, end_ - begin_);
        end_ -= begin_;
        begin_ = 0;
    }
    if (end_ == buffer_.size()) {
        buffer_.resize(buffer_.size() * 2);
    }
    while (true) {
        const ssize_t n = ::read(fd_, buffer_.data() + end_, buffer_.size() - end_);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n < 0) {
            error_ = errno;
            return;
        }
        if (n == 0) {
            endOfFile_ = true;
            return;
        }
        end_ += static_cast<std::size_t>(n);
        return;
    }
}

}  // namespace lentra
