#include "sim/heidenhain/MachineFraming.h"

namespace sim::machine {

char blockCheck(std::string_view frameWithoutCheck) {
    unsigned sum = 0;
    for (unsigned char c : frameWithoutCheck) {
        sum ^= c;
    }
    return static_cast<char>(sum);
}

std::string frameBlock(std::string_view text) {
    std::string frame;
    frame.reserve(text.size() + 3);
    frame.push_back(kStx);
    frame.append(text);
    frame.push_back(kEtb);
    frame.push_back(blockCheck(frame));
    return frame;
}

std::string frameHeader(char type, std::string_view name, char command) {
    std::string frame{kSoh, type};
    frame.append(name);
    frame.push_back(command);
    frame.push_back(kEtb);
    frame.push_back(blockCheck(frame));
    return frame;
}

std::vector<std::string> programBlocks(std::string_view program, bool keepLineEnds,
                                       std::size_t pieceLength) {
    std::vector<std::string> blocks;
    if (keepLineEnds) {
        for (std::size_t at = 0; at < program.size(); at += pieceLength) {
            blocks.emplace_back(program.substr(at, pieceLength));
        }
        return blocks;
    }
    std::size_t start = 0;
    while (start < program.size()) {
        std::size_t end = program.find('\n', start);
        const std::size_t next = end == std::string_view::npos ? program.size() : end + 1;
        if (end == std::string_view::npos) {
            end = program.size();
        }
        std::string_view line = program.substr(start, end - start);
        if (!line.empty() && line.back() == '\r') {
            line.remove_suffix(1);
        }
        blocks.emplace_back(line);
        start = next;
    }
    return blocks;
}

}  // namespace sim::machine
