// The result of one tape-code conversion held in memory, and the wording of its errors.
#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>

#include "conversion/brisel/BriselRequest.h"

namespace brisel {

class Converted {
public:
    // Room for `capacity` bytes, not initialised: every conversion writes before it reads.
    explicit Converted(std::size_t capacity);
    static Converted failure(std::string error);

    char* data() { return data_.get(); }
    std::string_view bytes() const { return {data_.get(), size_}; }
    void setSize(std::size_t size) { size_ = size; }
    const std::string& error() const { return error_; }
    bool failed() const { return !error_.empty(); }

private:
    std::unique_ptr<char[]> data_;
    std::size_t size_ = 0;
    std::string error_;
};

// A character for a message: "x" (0x78) when it prints, else 0x0D.
std::string describeCharacter(unsigned char c);

// The 1-based line of the byte at `offset`.
std::size_t lineOfOffset(std::string_view text, std::size_t offset);

// Writes the end of a text block at `out`; returns the position behind it.
inline char* putLineEnd(char* out, LineEnd lineEnd) {
    if (lineEnd == LineEnd::CrLf) {
        *out++ = '\r';
    }
    *out++ = '\n';
    return out;
}

}  // namespace brisel
