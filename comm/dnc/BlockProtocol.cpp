#include "comm/dnc/BlockProtocol.h"

#include <algorithm>
#include <chrono>
#include <optional>

#include "comm/FerixComm.h"
#include "comm/Messages.h"
#include "comm/dnc/BlockReceiver.h"
#include "comm/dnc/DncFrames.h"
#include "comm/link/LineTiming.h"

namespace comm::dnc {

namespace {

using std::chrono::milliseconds;

// Pauses of at most this many looks at the receive buffer while a block is awaited.
constexpr int kBlockWaitPauses = 100;

const std::string kFill(1, static_cast<char>(FILL));

// The longest block a unit sends: DLE STX, code, every data byte a doubled DLE, DLE END,
// check byte and 0x00.
constexpr std::size_t kLongestUnitBlock = 3 + 2 * kMaxUnitBlockData + 4;

ComError blockError(std::int32_t number, std::string description) {
    return ComError{number, "FerixComm", std::move(description), "", 0};
}

}  // namespace

bool BlockProtocol::connected(std::uint8_t address) const {
    const Expected<bool> flag = control_.Connected(address);
    return flag.ok() && flag.value();
}

int BlockProtocol::maxAttempts() const {
    return control_.DNCMaxRepeatNo() < 4 ? 4 : control_.DNCMaxRepeatNo();
}

Status BlockProtocol::SendBlock(std::uint8_t address, std::uint8_t code, std::string_view data) {
    if (!connected(address)) {
        return blockError(kErrSendNotConnected,
                          messageWithDetail(msg::BlockNotSent, message(msg::NotConnected)));
    }
    SerialLink& link = control_.link();
    link.flushInput();
    // The frame and the fill byte after it go out in one write: the same bytes at the same
    // times on the line, with one wake-up less. The unit takes the block when its last byte is
    // in and answers during the trailer.
    std::string frame = dataFrame(address, code, data);
    const std::size_t pieceEnds[] = {frame.size() - kTrailerLength};
    frame += kFill;
    for (int attempt = 1; attempt <= maxAttempts(); ++attempt) {
        if (Status s = link.WriteFrames(frame, pieceEnds); !s) {
            return s;
        }
        // The unit answers during the trailer: what has arrived now is its answer.
        if (link.bytesWaiting() >= 2) {
            const std::uint8_t first = link.readByte();
            const std::uint8_t second = link.readByte();
            if (first == DLE && second == OK) {
                return {};
            }
            control_.host().sleep(milliseconds(timing::kWrongReplyPause));
        }
        link.flushInput();
    }
    return blockError(kErrSendBlockFailed, message(msg::BlockNotSent));
}

Expected<std::string> BlockProtocol::ReceiveBlock(std::uint8_t address, std::uint8_t expectedCode) {
    if (!connected(address)) {
        return blockError(kErrReceiveNotConnected,
                          messageWithDetail(msg::BlockNotReceived, message(msg::NotConnected)));
    }
    SerialLink& link = control_.link();
    Host& host = control_.host();
    const std::string request = requestFrame(address);
    const std::string ack = ackFrame();
    const milliseconds requestPause(timing::requestFramePause(link.lineSpeed()));
    const milliseconds pollPause(timing::blockPollPause(link.lineSpeed()));
    // A unit that keeps sending (a babbling unit, a line stuck at one level) never lets the
    // block end, and each byte starts the character time-out afresh: one attempt may take at
    // most the bytes of two of the longest blocks, and the time of such a block plus one
    // character time-out once its first byte is in.
    const milliseconds arrivalLimit(
        timing::blockArrivalLimit(kLongestUnitBlock, link.lineSpeed(), pollPause.count()));
    // A stop lets the block under way arrive: one block's time from the stop, or from the
    // start of the block when the stop came before it. A closed port ends the receive at once.
    const milliseconds blockTime(timing::blockTime(kLongestUnitBlock, link.lineSpeed()));
    std::optional<milliseconds> stoppedAt;
    milliseconds firstByteAt = host.now();
    const auto stopDue = [&] {
        if (!link.isOpen()) {
            return true;
        }
        if (!link.StopRequested()) {
            return false;
        }
        if (!stoppedAt) {
            stoppedAt = host.now();
        }
        return host.now() - std::max(*stoppedAt, firstByteAt) > blockTime;
    };
    const auto interrupted = [&] {
        link.flushInput();
        return blockError(
            kErrReceiveBlockFailed,
            messageWithDetail(msg::BlockNotReceived, message(msg::TransferInterrupted)));
    };
    link.flushInput();

    BlockReceiver receiver(expectedCode);
    // A unit that missed our acknowledgements repeats its previous block; each repeat is
    // forgiven once per allowed attempt, so a unit stuck repeating cannot hold the line forever.
    int repeatsForgiven = 0;
    for (int attempt = 1; attempt <= maxAttempts(); ++attempt) {
        if (attempt > 1 && link.StopRequested()) {
            return interrupted();  // no more attempts after a stop
        }
        if (Status s = link.WriteFrames(request); !s) {
            return s.error();
        }
        host.sleep(requestPause);
        if (Status s = link.WritePort(kFill); !s) {
            return s.error();
        }
        receiver.reset();
        std::size_t taken = 0;
        firstByteAt = host.now();
        while (link.bytesWaiting() > 0) {
            while (link.bytesWaiting() > 0) {
                if (stopDue()) {
                    return interrupted();
                }
                if (++taken > 2 * kLongestUnitBlock || host.now() - firstByteAt > arrivalLimit) {
                    link.flushInput();
                    return blockError(kErrReceiveBlockFailed,
                                      messageWithDetail(msg::BlockNotReceived,
                                                        messageWith(msg::UnitKeepsSending,
                                                                    std::to_string(address))));
                }
                switch (receiver.feed(link.readByte())) {
                    case BlockReceiver::Outcome::Continue:
                        break;
                    case BlockReceiver::Outcome::Deliver:
                        if (Status s = link.WriteFrames(ack); !s) {
                            return s.error();
                        }
                        return receiver.data();
                    case BlockReceiver::Outcome::AcknowledgeRepeat:
                        if (Status s = link.WriteFrames(ack); !s) {
                            return s.error();
                        }
                        if (attempt > 1 && repeatsForgiven < maxAttempts()) {
                            --attempt;
                            ++repeatsForgiven;
                        }
                        break;
                    case BlockReceiver::Outcome::FlushInput:
                        taken += link.bytesWaiting();  // dropped, but they did arrive
                        link.flushInput();
                        break;
                }
            }
            if (Status s = link.WritePort(kFill); !s) {
                return s.error();
            }
            host.pump();
            link.waitForInput(pollPause);
            for (int look = 0; look < kBlockWaitPauses && link.bytesWaiting() == 0; ++look) {
                if (stopDue()) {
                    return interrupted();
                }
                link.waitForInput(pollPause);
                if (Status s = link.WritePort(kFill); !s) {
                    return s.error();
                }
            }
        }
    }
    return blockError(kErrReceiveBlockFailed, message(msg::BlockNotReceived));
}

Status BlockProtocol::SendFinalConfirmation(std::uint8_t address, std::uint32_t value,
                                            std::uint8_t status) {
    if (Status s = SendBlock(address, kRequestCode, closingBlockData(value, status)); !s) {
        return ComError{kErrFinalConfirmation, "FerixComm",
                        messageWithDetail(msg::FinalConfirmation, s.error().description),
                        s.error().helpFile, s.error().helpContext};
    }
    return {};
}

}  // namespace comm::dnc
