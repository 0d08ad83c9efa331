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
    const std::string bytes = collect(endOfFile);
    control_.site().ShowStop(false, 1);
    control_.indicator().show(kPictureActive);

    if (Status s = replaceFileAtomically(path, bytes); !s) {
        const int error = s.error().number;
        return ComError{isWriteFailure(error) ? kErrWriting : kObjectErrorBase + kErrWriting,
                        "FerixComm",
                        messageWithDetail(msg::FileFromFerix, systemDescription(error)), "", 0};
    }
    control_.site().FerixDirChanged(1);
    return {};
}

std::string PlainReceiver::collect(bool endOfFile) {
    SerialLink& link = control_.link();
    Host& host = control_.host();
    const auto pause = std::chrono::milliseconds(timing::plainReceivePollPause(link.lineSpeed()));
    std::string bytes;
    while (!link.StopRequested()) {
        while (link.bytesWaiting() == 0) {
            if (link.StopRequested()) {
                return bytes;
            }
            host.sleep(pause);
            host.pump();
        }
        while (link.bytesWaiting() > 0) {
            const std::uint8_t byte = link.readByte();
            if (endOfFile && byte == kEndOfFile) {
                return bytes;
            }
            bytes += static_cast<char>(byte);
            if (bytes.size() % kBytesPerStep == 0) {
                control_.indicator().StepIndicator();
                host.pump();
                if (link.StopRequested()) {
                    return bytes;
                }
            }
        }
    }
    return bytes;
}

}  // namespace comm::plain
