#include "comm/plain/PlainSender.h"

#include <algorithm>
#include <cmath>
#include <string_view>

#include "comm/FerixComm.h"
#include "comm/Messages.h"
#include "comm/TransferReport.h"
#include "comm/files/FileIo.h"
#include "comm/files/ProgramFiles.h"

namespace comm::plain {

namespace {

constexpr int kPictureActive = 2;
constexpr char kEndOfFile = 0x1A;

}  // namespace

Status PlainSender::send(const std::filesystem::path& path, bool endOfFile) {
    TransferReport report(control_, 1, TransferWay::ToUnit, path.filename().string(), path);
    const Expected<std::string> bytes =
        readProgram(control_.FerixHomeDir(), path, control_.MaxProgramMegabytes());
    if (!bytes) {
        report.failedBeforeAnyBytes(bytes.error().description);
        return bytes.error();
    }
    SerialLink& link = control_.link();
    link.flushInput();
    link.flushOutput();
    control_.site().ConfirmPrompt("FerixComm", message(msg::GetFerixReady));
    link.setStopRequested(false);
    control_.site().ShowStop(true, 0);
    const Status sent = sendBytes(bytes.value(), endOfFile);
    control_.site().ShowStop(false, 0);
    control_.indicator().show(kPictureActive);
    link.flushInput();
    const std::string_view handed = std::string_view(bytes.value()).substr(0, handed_);
    if (!sent) {
        report.failed(handed, sent.error().description);
    } else if (stopped_) {
        report.stopped(handed);
    } else {
        report.done(bytes.value());
    }
    return sent;
}

Status PlainSender::sendBytes(const std::string& bytes, bool endOfFile) {
    SerialLink& link = control_.link();
    const std::string_view all(bytes);
    std::size_t pos = 0;
    bool& stopped = stopped_;
    stopped = false;
    handed_ = 0;
    while (pos < all.size()) {
        const double share = static_cast<double>(pos + 1) / all.size();
        control_.site().ProgressChanged(static_cast<std::uint8_t>(std::lround(share * 100)));
        control_.indicator().StepIndicator();
        const std::size_t size = std::max<std::size_t>(link.outputBufferSize(), 1);
        if (Status s = link.WritePort(all.substr(pos, size)); !s) {
            return s;
        }
        pos += size;
        handed_ = std::min(pos, all.size());
        control_.host().pump();
        if (link.StopRequested()) {
            link.flushInput();
            link.purgeOutput();
            stopped = true;
            break;
        }
        link.flushInput();
    }
    if (endOfFile && !stopped) {
        if (Status s = link.WritePort(std::string_view(&kEndOfFile, 1)); !s) {
            return s;
        }
    }
    control_.site().ProgressChanged(100);
    return {};
}

}  // namespace comm::plain
