#include "comm/plain/PlainReceiver.h"

#include <cerrno>

#include "comm/FerixComm.h"
#include "comm/Messages.h"
#include "comm/files/FileIo.h"
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

}  // namespace

Status PlainReceiver::receive(const std::filesystem::path& path, bool endOfFile) {
    SerialLink& link = control_.link();
    link.flushInput();
    link.flushOutput();
    link.setStopRequested(false);
    control_.site().ShowStop(true, 1);
    const Expected<Collected> collected = collect(endOfFile);
    control_.site().ShowStop(false, 1);
    control_.indicator().show(kPictureActive);

    if (!collected) {
        return ComError{collected.error().number, "FerixComm",
                        messageWithDetail(msg::FileFromFerix, collected.error().description), "",
                        0};
    }
    if (endOfFile && !collected.value().endOfFileSeen) {
        return ComError{
            kObjectErrorBase + (msg::TransferInterrupted - msg::WriteError), "FerixComm",
            messageWithDetail(msg::FileFromFerix, message(msg::TransferInterrupted)), "", 0};
    }
    if (Status s = replaceFileAtomically(path, collected.value().bytes); !s) {
        const int error = s.error().number;
        return ComError{isWriteFailure(error) ? kErrWriting : kObjectErrorBase + kErrWriting,
                        "FerixComm",
                        messageWithDetail(msg::FileFromFerix, systemDescription(error)), "", 0};
    }
    control_.site().FerixDirChanged(1);
    return {};
}

Expected<PlainReceiver::Collected> PlainReceiver::collect(bool endOfFile) {
    SerialLink& link = control_.link();
    Host& host = control_.host();
    const auto pause = std::chrono::milliseconds(timing::plainReceivePollPause(link.lineSpeed()));
    Collected got;
    std::string& bytes = got.bytes;
    while (!link.StopRequested()) {
        while (link.bytesWaiting() == 0) {
            if (link.StopRequested()) {
                return got;
            }
            if (Status s = link.checkDevice(); !s) {
                return s.error();
            }
            link.waitForInput(pause);
            host.pump();
        }
        while (link.bytesWaiting() > 0) {
            const std::uint8_t byte = link.readByte();
            if (endOfFile && byte == kEndOfFile) {
                got.endOfFileSeen = true;
                return got;
            }
            bytes += static_cast<char>(byte);
            if (bytes.size() % kBytesPerStep == 0) {
                control_.indicator().StepIndicator();
                host.pump();
                if (link.StopRequested()) {
                    return got;
                }
            }
        }
    }
    return got;
}

}  // namespace comm::plain
