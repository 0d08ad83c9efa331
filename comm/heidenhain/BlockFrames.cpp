#include "comm/heidenhain/BlockFrames.h"

#include "comm/heidenhain/AsciiControl.h"

namespace comm::heidenhain {

std::uint8_t checkByte(std::string_view bytes) {
    std::uint8_t check = 0;
    for (char c : bytes) {
        check ^= static_cast<std::uint8_t>(c);
    }
    return check;
}

namespace {

std::string closeFrame(std::string frame) {
    frame += static_cast<char>(ascii::ETB);
    frame += static_cast<char>(checkByte(frame));
    return frame;
}

}  // namespace

std::string dataBlock(std::string_view text) {
    std::string frame(1, static_cast<char>(ascii::STX));
    frame += text;
    return closeFrame(std::move(frame));
}

std::string requestHeader(char fileType, std::string_view name, char command) {
    std::string frame(1, static_cast<char>(ascii::SOH));
    frame += fileType;
    frame += name;
    frame += command;
    return closeFrame(std::move(frame));
}

}  // namespace comm::heidenhain
