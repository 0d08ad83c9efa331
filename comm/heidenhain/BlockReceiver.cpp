#include "comm/heidenhain/BlockReceiver.h"

#include <algorithm>
#include <optional>

#include "comm/FerixComm.h"
#include "comm/TransferReport.h"
#include "comm/files/FileIo.h"
#include "comm/files/ProgramFiles.h"
#include "comm/heidenhain/AsciiControl.h"
#include "comm/heidenhain/BlockCutter.h"
#include "comm/heidenhain/TransferErrors.h"
#include "comm/link/LineTiming.h"

namespace comm::heidenhain {

namespace {

constexpr int kPictureActive = 2;
constexpr int kTrailingBytePauses = 10;
// Far above any program line a control sends in one block.
constexpr std::size_t kLongestReceivedBlock = 4096;

}  // namespace

// Takes the bytes of one program transfer, one at a time.
class BlockAssembler {
public:
    BlockAssembler(ctrlFerixComm& control, std::int32_t expectedLength)
        : control_(control),
          keepLineEnds_(cutModeFor(control.Protocol(), control.HeidenhainCRLF()) ==
                        CutMode::Chunks),
          expectedLength_(expectedLength) {}

    // Fails on EOT or a stray byte between blocks.
    Status take(std::uint8_t byte) {
        switch (state_) {
            case State::BetweenBlocks:
                return takeBetweenBlocks(byte);
            case State::InBlock:
                check_ ^= byte;
                if (byte == ascii::ETB) {
                    state_ = State::CheckByte;
                } else if (block_.size() >= kLongestReceivedBlock) {
                    // A sender that never ends its block (a babbling line) would hold the
                    // line and grow the block without end.
                    return transferError(msg::BlockTooLong);
                } else {
                    block_ += static_cast<char>(byte);
                }
                return {};
            case State::CheckByte:
                state_ = State::BetweenBlocks;
                if (byte == check_) {
                    return accept();
                }
                refused_ = true;
                return control_.link().WritePort(ascii::single(ascii::NAK));
            case State::Ended:
                return {};
        }
        return {};
    }

    bool ended() const { return state_ == State::Ended; }
    std::string& text() { return text_; }

private:
    enum class State { BetweenBlocks, InBlock, CheckByte, Ended };

    Status takeBetweenBlocks(std::uint8_t byte) {
        switch (byte) {
            case ascii::STX:
                state_ = State::InBlock;
                check_ = byte;
                block_.clear();
                return {};
            case ascii::DC1:
                return {};
            case ascii::ETX:
                // A sender answers NAK with the block again: an end before it came means that
                // the program lacks it (a sender running ahead of our answers took the NAK for
                // one about a later block). Nothing confirms the end to the machine.
                if (refused_) {
                    return transferError(msg::BlockNotReceived);
                }
                state_ = State::Ended;
                return {};
            case ascii::EOT:
                return transferError(msg::TransferInterrupted);
            default:
                return transferError(msg::EtxNotReceived);
        }
    }

    Status accept() {
        refused_ = false;
        text_ += block_;
        if (!keepLineEnds_) {
            text_ += "\r\n";
        }
        if (Status s = control_.link().WritePort(ascii::single(ascii::ACK)); !s) {
            return s;
        }
        control_.indicator().StepIndicator();
        if (expectedLength_ > 0) {
            const double percent = 100.0 * static_cast<double>(text_.size()) / expectedLength_;
            control_.site().ProgressChanged(static_cast<std::uint8_t>(std::min(percent, 100.0)));
        }
        return {};
    }

    ctrlFerixComm& control_;
    const bool keepLineEnds_;
    const std::int32_t expectedLength_;
    State state_ = State::BetweenBlocks;
    std::uint8_t check_ = 0;
    bool refused_ = false;  // the last block was answered NAK and has not come again
    std::string block_;
    std::string text_;
};

namespace {

bool isMachineAnswer(std::uint8_t byte) {
    using namespace ascii;
    return byte == EOT || byte == ACK || byte == NAK || byte == DC1 || byte == ETX;
}

}  // namespace

Expected<ReceivedProgram> BlockReceiver::receiveText(std::int32_t expectedLength) {
    BlockAssembler assembler(control_, expectedLength);
    Expected<ReceivedProgram> received = receiveInto(assembler, expectedLength);
    arrived_ = received ? std::string() : assembler.text();
    return received;
}

Expected<ReceivedProgram> BlockReceiver::receiveInto(BlockAssembler& assembler,
                                                     std::int32_t expectedLength) {
    SerialLink& link = control_.link();
    Host& host = control_.host();
    if (expectedLength > 0) {
        control_.site().ProgressChanged(0);
    }
    const auto pause = std::chrono::milliseconds(timing::heidenhainPollPause(link.lineSpeed()));
    int idlePauses = 0;
    while (!link.StopRequested() && !assembler.ended()) {
        // A stop ends the transfer at the next byte, even when the machine sends without pause.
        while (link.bytesWaiting() > 0 && !assembler.ended() && !link.StopRequested()) {
            idlePauses = 0;
            if (Status s = assembler.take(link.readByte()); !s) {
                return s.error();
            }
        }
        if (assembler.ended()) {
            break;
        }
        host.pump();
        link.waitForInput(pause);
        if (link.bytesWaiting() == 0 && ++idlePauses >= kReceiveIdlePauses) {
            return receiveTimeoutError();
        }
    }

    if (Status s = link.WritePort(ascii::single(ascii::EOT)); !s) {
        return s.error();
    }
    const auto characterPause =
        std::chrono::milliseconds(timing::characterPollPause(link.lineSpeed()));
    for (int i = 0; i < kTrailingBytePauses && link.bytesWaiting() == 0; ++i) {
        link.waitForInput(characterPause);
        host.pump();
    }
    // After its ETX a machine at most answers our EOT with a control character. Anything else
    // behind the ETX is the rest of a block whose STX was damaged on the line into ETX (the two
    // differ in one bit): the program is incomplete.
    bool moreAfterEtx = false;
    while (assembler.ended() && link.bytesWaiting() > 0) {
        if (!isMachineAnswer(link.readByte())) {
            moreAfterEtx = true;
        }
    }
    link.settleInput();  // the machine's next request may follow at once
    if (expectedLength > 0) {
        control_.site().ProgressChanged(100);
    }
    control_.indicator().show(kPictureActive);
    if (moreAfterEtx) {
        return transferError(msg::EtxNotReceived);
    }
    return ReceivedProgram{std::move(assembler.text()), !assembler.ended()};
}

Status BlockReceiver::receive(const std::filesystem::path& path, std::string_view name,
                              std::int32_t expectedLength) {
    std::optional<TransferReport> report;
    if (name != kMemoryListName) {
        report.emplace(control_, 1, TransferWay::FromUnit, std::string(name), path);
    }
    const Expected<ReceivedProgram> received = receiveText(expectedLength);
    if (!received) {
        if (report) {
            report->failed(arrived_, received.error().description);
        }
        return received.error();
    }
    if (!received.value().stopped) {
        const std::string& text = received.value().text;
        if (Status s = report ? report->store(path, text)
                              : storeProgram(control_.FerixHomeDir(), path, text);
            !s) {
            if (report) {
                report->failed(received.value().text, s.error().description);
            }
            return s;
        }
    }
    if (report) {
        if (received.value().stopped) {
            report->stopped(received.value().text);
        } else {
            report->done(received.value().text);
        }
    }
    if (name != kMemoryListName && !(report && report->held())) {
        control_.site().FerixDirChanged(1);
    }
    return {};
}

}  // namespace comm::heidenhain
