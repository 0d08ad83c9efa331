#include "comm/heidenhain/BlockSender.h"

#include <cmath>

#include "comm/FerixComm.h"
#include "comm/TransferReport.h"
#include "comm/files/FileIo.h"
#include "comm/files/ProgramFiles.h"
#include "comm/heidenhain/AsciiControl.h"
#include "comm/heidenhain/BlockCutter.h"
#include "comm/heidenhain/BlockFrames.h"
#include "comm/heidenhain/TransferErrors.h"
#include "comm/link/LineTiming.h"

namespace comm::heidenhain {

namespace {

constexpr int kPictureActive = 2;
constexpr int kFinalAnswerPauses = 10;

}  // namespace

Status BlockSender::send(const std::filesystem::path& path) {
    const Expected<std::string> text =
        readProgram(control_.FerixHomeDir(), path, control_.MaxProgramMegabytes());
    if (!text) {
        TransferReport(control_, 1, TransferWay::ToUnit, path.filename().string(), path)
            .failedBeforeAnyBytes(text.error().description);
        return text.error();
    }
    return sendProgram(path, text.value());
}

Status BlockSender::sendProgram(const std::filesystem::path& path, std::string_view text) {
    TransferReport report(control_, 1, TransferWay::ToUnit, path.filename().string(), path);
    const Status sent = sendText(text);
    if (!sent) {
        report.failed(text.substr(0, accepted_), sent.error().description);
    } else if (stopped_) {
        report.stopped(text.substr(0, accepted_));
    } else {
        report.done(text);
    }
    return sent;
}

Status BlockSender::sendText(std::string_view text) {
    SerialLink& link = control_.link();
    BlockCutter cutter(text, cutModeFor(control_.Protocol(), control_.HeidenhainCRLF()));
    bool stopped = false;
    accepted_ = 0;
    stopped_ = false;
    while (!cutter.done() && !link.StopRequested()) {
        const double share = static_cast<double>(cutter.position() + 1) / text.size();
        control_.site().ProgressChanged(static_cast<std::uint8_t>(std::lround(share * 100)));
        control_.indicator().StepIndicator();
        const std::optional<std::string> block = cutter.next();
        if (!block) {
            if (Status s = link.WritePort(ascii::single(ascii::EOT)); !s) {
                return s;
            }
            return transferError(msg::BlockTooLong);
        }
        const Expected<Delivery> delivery = deliver(dataBlock(*block));
        if (!delivery) {
            return delivery.error();
        }
        if (delivery.value() == Delivery::Stopped) {
            stopped = true;
            break;
        }
        accepted_ = cutter.position();
        control_.host().pump();
    }
    stopped_ = stopped || link.StopRequested();
    return finish(stopped_);
}

Expected<BlockSender::Delivery> BlockSender::deliver(const std::string& block) {
    SerialLink& link = control_.link();
    for (int send = 1; send <= kMostBlockSends; ++send) {
        // Only what the machine says after this block answers it: a doubled answer to the one
        // before (a character duplicated on the line) would be taken for it, and the block
        // counted as accepted whatever the machine made of it.
        link.flushInput();
        if (Status s = link.WriteFrames(block); !s) {
            return s.error();
        }
        int pausesLeft = link.lineSpeed() / 2;
        bool repeat = false;
        while (!repeat) {
            const std::optional<std::uint8_t> answer = nextAnswer(pausesLeft);
            if (!answer) {
                if (link.StopRequested()) {
                    return Delivery::Stopped;
                }
                showDone();
                return transferError(msg::AcknowledgeTimeout);
            }
            switch (*answer) {
                case ascii::ACK:
                    return Delivery::Accepted;
                case ascii::DC1:
                    break;  // the machine is busy: the same wait goes on
                case ascii::NAK:
                    repeat = true;
                    break;
                default:
                    if (Status s = link.WritePort(ascii::single(ascii::EOT)); !s) {
                        return s.error();
                    }
                    showDone();
                    return transferError(msg::BlockNotAcknowledged);
            }
        }
    }
    showDone();
    return transferError(msg::BlockRepeated4Times);
}

std::optional<std::uint8_t> BlockSender::nextAnswer(int& pausesLeft) {
    SerialLink& link = control_.link();
    const auto pause = std::chrono::milliseconds(timing::characterPollPause(link.lineSpeed()));
    while (link.bytesWaiting() == 0) {
        if (pausesLeft <= 0 || link.StopRequested()) {
            return std::nullopt;
        }
        --pausesLeft;
        link.waitForInput(pause);
        control_.host().pump();
    }
    return link.readByte();
}

// Closes the transfer: ETX, or EOT after a stop, then whatever the machine answers is dropped.
Status BlockSender::finish(bool stopped) {
    SerialLink& link = control_.link();
    if (Status s = link.WritePort(ascii::single(stopped ? ascii::EOT : ascii::ETX)); !s) {
        return s;
    }
    const auto pause = std::chrono::milliseconds(timing::characterPollPause(link.lineSpeed()));
    for (int i = 0; i < kFinalAnswerPauses && link.bytesWaiting() == 0; ++i) {
        link.waitForInput(pause);
        control_.host().pump();
    }
    link.flushInput();
    showDone();
    return {};
}

void BlockSender::showDone() {
    control_.site().ProgressChanged(100);
    control_.indicator().show(kPictureActive);
}

}  // namespace comm::heidenhain
