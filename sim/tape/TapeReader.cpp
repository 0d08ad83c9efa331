#include "sim/tape/TapeReader.h"

#include <algorithm>

namespace sim {

TapeReader::~TapeReader() {
    if (timer_) {
        link_.cancel(*timer_);
    }
}

void TapeReader::read(TapeReading reading) {
    if (timer_) {
        link_.cancel(*timer_);
        timer_.reset();
    }
    reading_ = std::move(reading);
    reading_.pieceLength = std::max<std::size_t>(reading_.pieceLength, 1);
    sent_ = 0;
    done_ = false;
    sendPiece();
}

void TapeReader::sendPiece() {
    timer_.reset();
    const std::size_t end = std::min(reading_.program.size(), reading_.tearAfter);
    if (sent_ >= end) {
        if (end == reading_.program.size() && reading_.endOfFile) {
            link_.send(std::string(1, '\x1A'));
        }
        done_ = true;
        return;
    }
    const std::size_t length = std::min(reading_.pieceLength, end - sent_);
    link_.send(std::string_view(reading_.program).substr(sent_, length));
    sent_ += length;
    timer_ = link_.after(reading_.pause, [this] { sendPiece(); });
}

}  // namespace sim
