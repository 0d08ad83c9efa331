#include "ProtocolBound.h"

#include <algorithm>

#include "comm/dnc/DncFrames.h"
#include "comm/link/LineTiming.h"

namespace bench {

namespace {

using namespace comm::dnc;

// A block to the unit: its frame and the separate fill byte. The unit's acknowledgement
// travels back during the trailer.
double sendBlockChars(std::uint8_t code, const std::string& data) {
    return static_cast<double>(dataFrame(1, code, data).size() + 1);
}

// One block from the unit as the PC's receiving loop takes it: the request, the pause after it
// and a fill byte, then turns of a fill byte and a pause until the whole block has arrived, and
// the acknowledgement.
double receiveBlockSeconds(const std::string& data, const Line& line) {
    const double c = line.charSeconds();
    const double requestPause = comm::timing::requestFramePause(line.speed) / 1000.0;
    const double pollPause = comm::timing::blockPollPause(line.speed) / 1000.0;
    const double request = static_cast<double>(requestFrame(1).size()) * c;
    const double blockChars = static_cast<double>(doubleDle(data).size() + 7);
    const double allThere = request + blockChars * c;  // the unit starts after the request
    double t = request + requestPause + c;
    while (t < allThere) {
        t += c + pollPause;
    }
    return t + static_cast<double>(ackFrame().size()) * c;
}

}  // namespace

double downloadBoundSeconds(const std::string& program, const Line& line) {
    double chars = 0;
    std::uint8_t number = kFirstBlockNumber;
    for (std::size_t at = 0; at < program.size(); at += kTransferBlockSize) {
        chars += sendBlockChars(number, program.substr(at, kTransferBlockSize));
        number = nextBlockNumber(number);
    }
    chars += sendBlockChars(0, closingBlockData(static_cast<std::uint32_t>(program.size()), 0));
    return chars * line.charSeconds();
}

double uploadBoundSeconds(const std::string& program, const Line& line) {
    double seconds = 0;
    std::size_t at = 0;
    while (true) {
        const std::string piece = program.substr(std::min(at, program.size()), kTransferBlockSize);
        seconds += receiveBlockSeconds(piece, line);
        at += kTransferBlockSize;
        if (piece.size() < kTransferBlockSize) {
            break;
        }
    }
    const std::string closing = closingBlockData(static_cast<std::uint32_t>(program.size()), 0);
    return seconds + sendBlockChars(0, closing) * line.charSeconds();
}

}  // namespace bench
