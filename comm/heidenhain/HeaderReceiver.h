// Assembles the request headers that the machine's control sends on its own: SOH, a file-type
// letter, at most 260 characters of text closed by ETB, and the check byte. The last character
// of the text is the command letter, the rest the file name.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace comm::heidenhain {

struct RequestHeader {
    char fileType = 0;
    std::string name;
    char command = 0;  // 0 when the text was empty
    bool checkOk = false;
};

inline constexpr std::size_t kLongestHeaderText = 260;

class HeaderReceiver {
public:
    // Takes one byte; returns the header once its check byte has arrived. Bytes outside a
    // header are ignored, and so is a header whose text runs past 260 characters.
    std::optional<RequestHeader> feed(std::uint8_t byte);
    void reset();
    bool inHeader() const { return state_ != State::Idle; }

private:
    enum class State { Idle, FileType, Text, Check };

    State state_ = State::Idle;
    std::uint8_t check_ = 0;
    char fileType_ = 0;
    std::string text_;
};

}  // namespace comm::heidenhain
