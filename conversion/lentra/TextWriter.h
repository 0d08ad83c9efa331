// Buffered output to a file descriptor. Bytes pass unchanged; a line end is written as CR LF,
// as the library's text files always had.
#pragma once

#include <cstddef>
#include <vector>

namespace lentra {

class TextWriter {
public:
    explicit TextWriter(int fd);

    void writeRaw(const char* data, std::size_t size);
    void writeLineEnd() { writeRaw("\r\n", 2); }
    void writeByte(char c) { writeRaw(&c, 1); }

    // Room for `size` bytes in the buffer, to be filled and then committed; null after a
    // write error.
    char* space(std::size_t size);
    void commit(std::size_t size) { used_ += size; }

    // Writes what is buffered; false when any write failed (see error()).
    bool flush();

    // errno of the first failed write, 0 when none failed.
    int error() const { return error_; }

private:
    int fd_;
    std::vector<char> buffer_;
    std::size_t used_ = 0;
    int error_ = 0;
};

}  // namespace lentra
