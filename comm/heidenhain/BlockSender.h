// The block send of the Heidenhain family: a program goes out block by block, each block
// acknowledged by the machine (ACK; DC1 asks the PC to keep waiting; NAK asks for the block
// again, at most four sends), closed by ETX, or EOT when the operator stopped the transfer.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string_view>

#include "comm/ComError.h"

namespace comm {
class ctrlFerixComm;
}  // namespace comm

namespace comm::heidenhain {

inline constexpr int kMostBlockSends = 4;

class BlockSender {
public:
    explicit BlockSender(ctrlFerixComm& control) : control_(control) {}

    // Sends the file at `path`. A stop request ends it early without an error.
    Status send(const std::filesystem::path& path);
    // Sends `text`, the program read from `path`, and tells the host how the transfer ended.
    Status sendProgram(const std::filesystem::path& path, std::string_view text);
    // Sends `text` as a program (the listing is sent from memory this way); nothing is told.
    Status sendText(std::string_view text);

private:
    enum class Delivery { Accepted, Stopped };

    Expected<Delivery> deliver(const std::string& block);
    // The next answer byte, or nullopt when the wait ran out or was stopped.
    std::optional<std::uint8_t> nextAnswer(int& pausesLeft);
    Status finish(bool stopped);
    void showDone();

    ctrlFerixComm& control_;
    std::size_t accepted_ = 0;  // bytes of the text in blocks the machine has acknowledged
    bool stopped_ = false;
};

}  // namespace comm::heidenhain
