#include "conversion/lentra/TextWriter.h"

#include <cerrno>
#include <cstring>

#include "conversion/shared/FileBytes.h"

namespace lentra {

namespace {
constexpr std::size_t kBufferSize = 1 << 20;
}

TextWriter::TextWriter(int fd) : fd_(fd), buffer_(kBufferSize) {}

void TextWriter::writeRaw(const char* data, std::size_t size) {
    if (error_ != 0) {
        return;
    }
    if (size > buffer_.size() - used_) {
        if (!flush()) {
            return;
        }
        if (size > buffer_.size()) {
            if (!conversion::writeAll(fd_, data, size)) {
                error_ = errno;
            }
            return;
        }
    }
    std::memcpy(buffer_.data() + used_, data, size);
    used_ += size;
}

char* TextWriter::space(std::size_t size) {
    if (size > buffer_.size() - used_) {
        if (!flush()) {
            return nullptr;
        }
        if (size > buffer_.size()) {
            buffer_.resize(size);
        }
    }
    return error_ != 0 ? nullptr : buffer_.data() + used_;
}

bool TextWriter::flush() {
    if (error_ != 0) {
        return false;
    }
    if (used_ > 0 && !conversion::writeAll(fd_, buffer_.data(), used_)) {
        error_ = errno;
        return false;
    }
    used_ = 0;
    return true;
}

}  // namespace lentra
