// Whole and partial files to a unit, files from a unit.
#include <algorithm>
#include <cerrno>
#include <chrono>
#include <optional>
#include <system_error>

#include "comm/FerixComm.h"
#include "comm/Messages.h"
#include "comm/ProgramRemoval.h"
#include "comm/TransferReport.h"
#include "comm/dnc/DncFrames.h"
#include "comm/dnc/DncTransfers.h"
#include "comm/dnc/UnitDirectory.h"
#include "comm/files/FileIo.h"
#include "comm/files/ProgramFiles.h"
#include "comm/link/LineTiming.h"

namespace comm::dnc {

namespace {

constexpr std::uint8_t kToUnit = 0;
constexpr std::uint8_t kFromUnit = 1;

ComError toUnitError(const ComError& cause) {
    return ComError{kErrFileToUnit, "FerixComm",
                    messageWithDetail(msg::FileToFerix, cause.description), cause.helpFile,
                    cause.helpContext};
}

// The file and closing-block failures of a receive carry their cause without a blank before
// the parenthesis.
ComError fromUnitStoreError(const ComError& cause) {
    return ComError{kErrFileFromUnit, cause.source,
                    message(msg::FileFromFerix) + "(" + cause.description + ")", cause.helpFile,
                    cause.helpContext};
}

std::uint8_t percent(std::int64_t part, std::int64_t whole) {
    return static_cast<std::uint8_t>(std::clamp<std::int64_t>(100 * part / whole, 0, 100));
}

}  // namespace

Status DncTransfers::failSend(std::uint8_t unit, std::uint8_t status, const ComError& cause) {
    // The unit is told where the block layer still works; the cause is what the caller sees.
    (void)blocks_.SendFinalConfirmation(unit, 0, status);
    return toUnitError(cause);
}

Status DncTransfers::SendFileToUnit(std::uint8_t unit, const std::string& fileName,
                                    std::int32_t offset, std::uint8_t offsetMode,
                                    std::int32_t count) {
    ControlEvents& events = control_.site();
    SerialLink& link = control_.link();
    std::uint8_t status = kStatusComplete;

    const Expected<std::filesystem::path> path = unitFile(control_, unit, fileName);
    TransferReport report(control_, unit, TransferWay::ToUnit, fileName,
                          path ? path.value() : std::filesystem::path());
    const auto failBeforeBytes = [&](std::uint8_t closing, const ComError& cause) {
        Status failed = failSend(unit, closing, cause);
        report.failedBeforeAnyBytes(failed.error().description);
        return failed;
    };
    if (!path) {
        return failBeforeBytes(kStatusFailed, path.error());
    }
    // A program that cannot be read (also one that is not there, or not a regular file beneath
    // the home folder) fails: the unit hears status 3 and the operator the reason, instead of
    // an empty program.
    Expected<std::string> read =
        readProgram(control_.FerixHomeDir(), path.value(), control_.MaxProgramMegabytes());
    if (!read) {
        return failBeforeBytes(kStatusFailed, read.error());
    }
    std::string content = std::move(read.value());
    if (content.empty()) {
        // An empty program goes, as a revision like any other removal; failing to remove it
        // changes nothing for the unit.
        (void)removeUnitProgram(control_, unit, fileName, path.value());
        status = kStatusEmptyFile;
    }

    std::string_view payload = content;
    const bool partial = count > 0;
    if (partial) {
        const auto length = static_cast<std::int64_t>(content.size());
        std::int64_t start = -1;
        if (offsetMode == kOffsetFromStart) {
            start = offset;
        } else if (offsetMode == kOffsetFromEnd) {
            start = length - offset;
        }
        if (start < 0 || start > length) {
            return failBeforeBytes(kStatusOffsetNotSet,
                                   ComError{0, "FerixComm", message(msg::OffsetNotSet), "", 0});
        }
        const std::int64_t end = std::min<std::int64_t>(start + count, length);
        payload =
            payload.substr(static_cast<std::size_t>(start), static_cast<std::size_t>(end - start));
    }

    events.ProgressChanged(0);
    link.setStopRequested(false);
    events.ShowStop(true, kToUnit);

    std::uint8_t block = kFirstBlockNumber;
    std::size_t sent = 0;
    while (sent < payload.size()) {
        control_.indicator().StepIndicator();
        const std::string_view piece = payload.substr(sent, kTransferBlockSize);
        if (Status s = blocks_.SendBlock(unit, block, piece); !s) {
            (void)blocks_.SendFinalConfirmation(unit, 0, kStatusFailed);
            events.ProgressChanged(100);
            events.ShowStop(false, kToUnit);
            const ComError failed = toUnitError(s.error());
            report.failed(payload.substr(0, sent), failed.description);
            return failed;
        }
        sent += piece.size();
        const auto total = static_cast<std::int64_t>(payload.size());
        events.ProgressChanged(
            sent == payload.size() ? 100 : percent(static_cast<std::int64_t>(sent) + 1, total));
        block = nextBlockNumber(block);
        control_.host().pump();
        if (link.StopRequested()) {
            events.ShowStop(false, kToUnit);
            events.ProgressChanged(100);
            // The stop is acted on here; the closing block that tells the unit must not be
            // cut short by it.
            link.setStopRequested(false);
            (void)blocks_.SendFinalConfirmation(unit, 0, kStatusStopped);
            report.stopped(payload.substr(0, sent));
            return {};
        }
    }

    if (payload.empty()) {
        events.ProgressChanged(100);  // nothing to send is all sent: the bar does not stay at 0
    }
    const Status closed =
        blocks_.SendFinalConfirmation(unit, static_cast<std::uint32_t>(sent), status);
    events.ShowStop(false, kToUnit);
    if (!closed) {
        const ComError failed = toUnitError(closed.error());
        report.failed(payload, failed.description);
        return failed;
    }
    report.done(payload);
    if (!partial) {
        control_.host().sleep(std::chrono::milliseconds(timing::kAfterFileSendPause));
        events.FerixMemChanged(unit);
    }
    return {};
}

Expected<bool> DncTransfers::receiveBlocks(std::uint8_t unit, std::int32_t expectedLength,
                                           std::string& data) {
    ControlEvents& events = control_.site();
    SerialLink& link = control_.link();
    const bool reportProgress = expectedLength != 0;
    if (reportProgress) {
        events.ProgressChanged(0);
    }
    link.setStopRequested(false);
    events.ShowStop(true, kFromUnit);

    std::uint8_t block = kFirstBlockNumber;
    data.clear();
    while (true) {
        control_.indicator().StepIndicator();
        Expected<std::string> piece = blocks_.ReceiveBlock(unit, block);
        if (!piece && link.StopRequested()) {
            break;  // a stop while the block was arriving: stopped, not failed
        }
        if (!piece) {
            if (reportProgress) {
                events.ProgressChanged(100);
            }
            events.ShowStop(false, kFromUnit);
            return ComError{kErrFileFromUnit, "FerixComm",
                            messageWithDetail(msg::FileFromFerix, piece.error().description),
                            piece.error().helpFile, piece.error().helpContext};
        }
        if (reportProgress) {
            const auto received = static_cast<std::int64_t>(data.size());
            events.ProgressChanged(received > expectedLength ? 100
                                                             : percent(received, expectedLength));
        }
        data += piece.value();
        if (data.size() > programLimitBytes(control_.MaxProgramMegabytes())) {
            // A unit that never ends its program must not fill the memory of every sub net.
            (void)blocks_.SendFinalConfirmation(unit, static_cast<std::uint32_t>(data.size()),
                                                kStatusFailed);
            if (reportProgress) {
                events.ProgressChanged(100);
            }
            events.ShowStop(false, kFromUnit);
            return ComError{kErrFileFromUnit, "FerixComm",
                            messageWithDetail(msg::FileFromFerix,
                                              "more than the " +
                                                  std::to_string(control_.MaxProgramMegabytes()) +
                                                  " MB a program may have (MaxProgramMegabytes)"),
                            "", 0};
        }
        if (piece.value().size() < kTransferBlockSize) {
            return true;
        }
        block = nextBlockNumber(block);
        control_.host().pump();
        if (link.StopRequested()) {
            break;
        }
    }
    events.ShowStop(false, kFromUnit);
    if (reportProgress) {
        events.ProgressChanged(100);
    }
    link.setStopRequested(false);  // the closing block must reach the unit whole
    (void)blocks_.SendFinalConfirmation(unit, static_cast<std::uint32_t>(data.size()),
                                        kStatusStopped);
    return false;
}

Status DncTransfers::ReceiveFileFromUnit(std::uint8_t unit, const std::string& fileName,
                                         std::int32_t expectedLength) {
    // The target is settled before anything moves: a name that may not become a file here
    // fails at once instead of after the whole file has been received.
    const Expected<std::filesystem::path> path = unitFile(control_, unit, fileName);
    const bool listing = fileName == "$$$$$DIR." + control_.ListExt() ||
                         fileName == "DIR." + control_.SourceTextExt();
    std::optional<TransferReport> report;
    if (!listing) {
        report.emplace(control_, unit, TransferWay::FromUnit, fileName,
                       path ? path.value() : std::filesystem::path());
    }
    if (!path) {
        const ComError failed{kErrFileFromUnit, "FerixComm",
                              messageWithDetail(msg::FileFromFerix, path.error().description), "",
                              0};
        if (report) {
            report->failedBeforeAnyBytes(failed.description);
        }
        return failed;
    }
    std::string data;
    Expected<bool> received = receiveBlocks(unit, expectedLength, data);
    if (!received) {
        if (report) {
            report->failed(data, received.error().description);
        }
        return received.error();
    }
    if (!received.value()) {
        if (report) {
            report->stopped(data);
        }
        return {};  // stopped: the unit was told, nothing is stored
    }
    ControlEvents& events = control_.site();
    std::uint8_t status = kStatusComplete;
    std::optional<ComError> recorded;
    bool stored = true;
    if (Status written = report ? report->store(path.value(), data)
                                : storeProgram(control_.FerixHomeDir(), path.value(), data);
        !written) {
        recorded = fromUnitStoreError(written.error());
        status = kStatusNotWritten;
        stored = false;
    }
    if (Status closed =
            blocks_.SendFinalConfirmation(unit, static_cast<std::uint32_t>(data.size()), status);
        !closed && !recorded) {
        recorded = fromUnitStoreError(closed.error());
    }
    if (!listing && stored && !(report && report->held())) {
        events.FerixDirChanged(unit);
    }
    if (expectedLength != 0) {
        events.ProgressChanged(100);
    }
    events.ShowStop(false, kFromUnit);
    if (report) {
        if (recorded) {
            report->failed(data, recorded->description, stored);
        } else {
            report->done(data);
        }
    }
    if (recorded) {
        return *recorded;
    }
    return {};
}

Expected<std::string> DncTransfers::ReceiveDataFromUnit(std::uint8_t unit,
                                                        std::int32_t expectedLength) {
    std::string data;
    Expected<bool> received = receiveBlocks(unit, expectedLength, data);
    if (!received) {
        return received.error();
    }
    if (!received.value()) {
        return std::string();  // stopped: an unread listing is no listing
    }
    if (Status closed = blocks_.SendFinalConfirmation(unit, static_cast<std::uint32_t>(data.size()),
                                                      kStatusComplete);
        !closed) {
        control_.site().ShowStop(false, kFromUnit);
        return ComError{kErrFileFromUnit, "FerixComm",
                        messageWithDetail(msg::FileFromFerix, closed.error().description),
                        closed.error().helpFile, closed.error().helpContext};
    }
    if (expectedLength != 0) {
        control_.site().ProgressChanged(100);
    }
    control_.site().ShowStop(false, kFromUnit);
    return data;
}

}  // namespace comm::dnc
