#include "comm/plain/PlainReceiver.h"

#include <cerrno>

#include "comm/FerixComm.h"
#include "comm/Messages.h"
#include "comm/TransferReport.h"
#include "comm/files/FileIo.h"
#include "comm/files/ProgramFiles.h"
#include "comm/link/LineTiming.h"

namespace comm::plain {

namespace {

constexpr int kPictureActive = 2;
constexpr std::uint8_t kEndOfFile = 0x1A;
constexpr std::size_t kBytesPerStep = 100;
constexpr std::int32_t kErrWriting = 9;

// The disk took the file but not its contents.
bool isWriteFailure(int error) {
    return error == ENOSPC || error == EDQUOT || error == EIO || error == EFBIG;
}

// A link or a special file where the program should go: the whole reason is told.
bool isRefusal(int error) {
    return error == ELOOP || error == EXDEV || error == EINVAL;
}

}  // namespace

Status PlainReceiver::receive(const std::filesystem::path& path, bool endOfFile) {
    TransferReport report(control_, 1, TransferWay::FromUnit, path.filename().string(), path);
    SerialLink& link = control_.link();
    link.settleInput();
    link.flushOutput();
    link.setStopRequested(false);
    control_.site().ShowStop(true, 1);
    Collected got;
    const Status collected = collect(endOfFile, got);
    control_.site().ShowStop(false, 1);
    control_.indicator().show(kPictureActive);

    if (!collected) {
        const ComError failed{collected.error().number, "FerixComm",
                              messageWithDetail(msg::FileFromFerix, collected.error().description),
                              "", 0};
        report.failed(got.bytes, failed.description);
        return failed;
    }
    if (endOfFile && !got.endOfFileSeen) {
        // Only the operator's stop ends an end-of-file reception without the character.
        const ComError cut{
            kObjectErrorBase + (msg::TransferInterrupted - msg::WriteError), "FerixComm",
            messageWithDetail(msg::FileFromFerix, message(msg::TransferInterrupted)), "", 0};
        report.stopped(got.bytes, cut.description);
        return cut;
    }
    if (got.bytes.empty()) {
        // Nothing arrived: an older program of that name stays, and no empty file is made.
        report.stopped(got.bytes);
        return {};
    }
    if (Status s = report.store(path, got.bytes); !s) {
        const int error = s.error().number;
        const ComError failed{
            isWriteFailure(error) ? kErrWriting : kObjectErrorBase + kErrWriting, "FerixComm",
            messageWithDetail(msg::FileFromFerix,
                              isRefusal(error) ? s.error().description : systemDescription(error)),
            "", 0};
        report.failed(got.bytes, failed.description);
        return failed;
    }
    report.done(got.bytes);
    if (!report.held()) {
        control_.site().FerixDirChanged(1);
    }
    return {};
}

Status PlainReceiver::collect(bool endOfFile, Collected& got) {
    SerialLink& link = control_.link();
    Host& host = control_.host();
    const auto pause = std::chrono::milliseconds(timing::plainReceivePollPause(link.lineSpeed()));
    std::string& bytes = got.bytes;
    while (!link.StopRequested()) {
        while (link.bytesWaiting() == 0) {
            if (link.StopRequested()) {
                return {};
            }
            if (Status s = link.checkDevice(); !s) {
                return s;
            }
            link.waitForInput(pause);
            host.pump();
        }
        while (link.bytesWaiting() > 0) {
            const std::uint8_t byte = link.readByte();
            if (endOfFile && byte == kEndOfFile) {
                got.endOfFileSeen = true;
                return {};
            }
            bytes += static_cast<char>(byte);
            if (bytes.size() > programLimitBytes(control_.MaxProgramMegabytes())) {
                // A machine that never stops sending must not fill the memory of every sub net.
                return ComError{EFBIG, "FerixComm",
                                "more than the " + std::to_string(control_.MaxProgramMegabytes()) +
                                    " MB a program may have (MaxProgramMegabytes)",
                                "", 0};
            }
            if (bytes.size() % kBytesPerStep == 0) {
                control_.indicator().StepIndicator();
                host.pump();
                if (link.StopRequested()) {
                    return {};
                }
            }
        }
    }
    return {};
}

}  // namespace comm::plain
