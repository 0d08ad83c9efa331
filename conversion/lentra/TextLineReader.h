// Reads a file as text the way the library always has: a CR LF pair reads as one line end,
// every other byte (a lone CR, NUL, any 8-bit character) arrives unchanged.
#pragma once

#include <cstddef>
#include <vector>

namespace lentra {

// One line without its line end. The bytes may be edited in place until the next read.
struct TextLine {
    char* data = nullptr;
    std::size_t size = 0;
    bool ended = false;  // false only for a last line that has no line end
};

class TextLineReader {
public:
    explicit TextLineReader(int fd);

    // The next line; false at the end of the file or after a read error (see error()).
    bool next(TextLine& line);

    // The next run of whole lines as they are in the file (CR LF not yet read as one line
    // end): it ends just behind a line feed, or is the rest of the file. For operations on
    // single characters, which need no line boundaries. Do not mix with next().
    bool nextLines(TextLine& block);

    // errno of a failed read, 0 when none failed.
    int error() const { return error_; }

private:
    void fill();

    int fd_;
    std::vector<char> buffer_;
    std::size_t begin_ = 0;
    std::size_t end_ = 0;
    bool endOfFile_ = false;
    int error_ = 0;
};

}  // namespace lentra
