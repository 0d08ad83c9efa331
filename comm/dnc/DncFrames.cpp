#include "comm/dnc/DncFrames.h"

namespace comm::dnc {

namespace {

constexpr std::uint8_t kClosingMarker = 0x05;
constexpr std::size_t kPollAddressPos = 3;  // 0-based: positions 4 and 5 counted from 1

char ch(std::uint8_t byte) {
    return static_cast<char>(byte);
}

std::string frameHeader(std::uint8_t address) {
    return {ch(FILL), ch(DLE), ch(EOT), ch(address), ch(address)};
}

}  // namespace

std::uint8_t checkByte(std::uint8_t code, std::string_view data) {
    unsigned sum = code;
    for (char c : data) {
        sum += static_cast<std::uint8_t>(c);
    }
    return static_cast<std::uint8_t>(sum & 0xFF);
}

std::string doubleDle(std::string_view data) {
    std::string out;
    out.reserve(data.size() + 4);
    for (char c : data) {
        out += c;
        if (static_cast<std::uint8_t>(c) == DLE) {
            out += c;
        }
    }
    return out;
}

std::string dataFrame(std::uint8_t address, std::uint8_t code, std::string_view data,
                      std::size_t trailerLength) {
    std::string frame = frameHeader(address);
    frame += ch(DLE);
    frame += ch(STX);
    frame += ch(code);
    frame += doubleDle(data);
    frame += ch(DLE);
    frame += ch(END);
    frame += ch(checkByte(code, data));
    frame += '\0';
    frame.append(trailerLength, ch(FILL));
    return frame;
}

std::string requestFrame(std::uint8_t address) {
    return frameHeader(address) + ch(DLE) + ch(REQ);
}

std::string ackFrame() {
    return {ch(DLE), ch(OK), ch(FILL)};
}

std::string pollFrame() {
    return dataFrame(0, kRequestCode, std::string(1, ch(0x01)), kPollTrailerLength);
}

void setPollAddress(std::string& frame, std::uint8_t address) {
    frame[kPollAddressPos] = ch(address);
    frame[kPollAddressPos + 1] = ch(address);
}

std::uint8_t nextBlockNumber(std::uint8_t number) {
    return number < 255 ? static_cast<std::uint8_t>(number + 1) : kFirstBlockNumber;
}

std::uint8_t previousBlockNumber(std::uint8_t number) {
    return number == kFirstBlockNumber ? std::uint8_t{255} : static_cast<std::uint8_t>(number - 1);
}

std::string closingBlockData(std::uint32_t value, std::uint8_t status) {
    std::string data(1, ch(kClosingMarker));
    data.append(10, '\0');
    for (int i = 0; i < 4; ++i) {
        data += ch(static_cast<std::uint8_t>(value % 256));
        value /= 256;
    }
    data += ch(status);
    return data;
}

}  // namespace comm::dnc
