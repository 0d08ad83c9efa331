#include "comm/heidenhain/HeidenhainService.h"

#include <unistd.h>

#include <cerrno>

#include "comm/FerixComm.h"
#include "comm/Messages.h"
#include "comm/ProgramRemoval.h"
#include "comm/TransferReport.h"
#include "comm/files/FileIo.h"
#include "comm/files/ProgramFiles.h"
#include "comm/heidenhain/AsciiControl.h"
#include "comm/heidenhain/BlockReceiver.h"
#include "comm/heidenhain/BlockSender.h"
#include "comm/heidenhain/DirectoryListing.h"
#include "comm/heidenhain/UnitOneFile.h"
#include "comm/link/LineTiming.h"

namespace comm::heidenhain {

namespace {

// A good header with what the line is set up for.
struct HeaderContext {
    const RequestHeader& header;
    ProtocolEnum protocol;
    bool master;  // HeidenhainMaster

    // "E" from the machine means "send me" when the PC is master, "A" when it is not.
    bool machineWantsData() const { return header.command == (master ? 'E' : 'A'); }
    bool machineOffersData() const { return header.command == (master ? 'A' : 'E'); }
    bool listingType() const {
        return protocol == ProtTavro1 && header.fileType >= 'b' && header.fileType <= 'y';
    }
};

bool asksForListing(const HeaderContext& c) {
    return c.machineWantsData() && c.listingType();
}
bool asksForFile(const HeaderContext& c) {
    return c.machineWantsData() && !c.listingType();
}
bool offersFile(const HeaderContext& c) {
    return c.machineOffersData();
}
bool asksToDelete(const HeaderContext& c) {
    return c.header.command == 'D' && c.protocol == ProtTavro1;
}

struct HeaderRoute {
    bool (*matches)(const HeaderContext&);
    void (HeidenhainService::*serve)(const RequestHeader&);
};

// Header                                                  Action of the PC
// "E" (master) or "A" (not master), Tavro1, type b to y   send the directory listing
// the same, other types or ProtHeidenhain                 send the file
// "A" (master) or "E" (not master)                        receive the file
// "D", Tavro1                                             delete the file
// anything else                                           nothing
constexpr HeaderRoute kRoutes[] = {
    {asksForListing, &HeidenhainService::serveListing},
    {asksForFile, &HeidenhainService::serveFile},
    {offersFile, &HeidenhainService::takeFile},
    {asksToDelete, &HeidenhainService::deleteFile},
};

}  // namespace

void HeidenhainService::prepare() {
    headers_.reset();
    idleTurns_ = 0;
    machineMemoryChanged_ = false;
}

Status HeidenhainService::run() {
    SerialLink& link = control_.link();
    if (control_.Protocol() == ProtTavro1) {
        control_.site().FerixMemChanged(1);
    }
    while (true) {
        while (link.bytesWaiting() > 0) {
            if (Status s = takeByte(link.readByte()); !s) {
                return s;
            }
        }
        control_.setLoopAtRest(true);
        control_.host().pump();
        control_.setLoopAtRest(false);
        if (!control_.Active()) {
            return {};
        }
        // The machine speaks first on this line: a device that went away would otherwise
        // leave the loop waiting on a dead port for ever.
        if (Status s = link.checkDevice(); !s) {
            return s;
        }
        if (++idleTurns_ > kIdleTurnsBeforeBlink) {
            onIdleTurns();
        }
        link.waitForInput(std::chrono::milliseconds(timing::kHeidenhainLoopPause));
    }
}

Status HeidenhainService::takeByte(std::uint8_t byte) {
    control_.setTransferBusy(true);
    idleTurns_ = 0;
    const std::optional<RequestHeader> header = headers_.feed(byte);
    if (!header) {
        return {};
    }
    SerialLink& link = control_.link();
    if (!header->checkOk) {
        Status s = link.WritePort(ascii::single(ascii::NAK));
        control_.setTransferBusy(false);
        return s;
    }
    if (Status s = link.WritePort(ascii::single(ascii::ACK)); !s) {
        control_.setTransferBusy(false);
        return s;
    }
    link.setStopRequested(false);
    dispatch(*header);
    control_.setTransferBusy(false);
    return {};
}

void HeidenhainService::dispatch(const RequestHeader& header) {
    const HeaderContext context{header, control_.Protocol(), control_.HeidenhainMaster()};
    for (const HeaderRoute& route : kRoutes) {
        if (route.matches(context)) {
            (this->*route.serve)(header);
            return;
        }
    }
}

void HeidenhainService::onIdleTurns() {
    control_.indicator().BlinkIndicator();
    control_.setTransferBusy(false);
    if (machineMemoryChanged_ && control_.Protocol() == ProtTavro1) {
        control_.site().FerixMemChanged(1);
    }
    machineMemoryChanged_ = false;
    idleTurns_ = 0;
}

void HeidenhainService::serveListing(const RequestHeader& header) {
    const Expected<std::string> listing = directoryListing(unitOneDirectory(control_), header.name);
    if (!listing) {
        control_.site().OnError(
            false, messageWithDetail(msg::ListingFileError, listing.error().description), "", 0);
        // The machine waits for blocks: tell it that none will come.
        (void)control_.link().WritePort(ascii::single(ascii::EOT));
        return;
    }
    control_.site().ShowStop(true, 0);
    const Status sent = BlockSender(control_).sendText(listing.value());
    control_.site().ShowStop(false, 0);
    if (!sent) {
        reportSendFailure(sent.error());
    }
}

void HeidenhainService::serveFile(const RequestHeader& header) {
    const Expected<std::filesystem::path> path = unitOneFile(control_, header.name);
    Expected<std::string> text =
        path ? readProgram(control_.FerixHomeDir(), path.value(), control_.MaxProgramMegabytes())
             : Expected<std::string>(path.error());
    if (!text) {
        // Nothing will be sent: the machine is told at once instead of waiting for its time-out.
        (void)control_.link().WritePort(ascii::single(ascii::EOT));
        TransferReport(control_, 1, TransferWay::ToUnit, header.name,
                       path ? path.value() : std::filesystem::path())
            .failedBeforeAnyBytes(text.error().description);
        reportSendFailure(text.error());
        return;
    }
    control_.site().ShowStop(true, 0);
    const Status sent = BlockSender(control_).sendProgram(path.value(), text.value());
    if (sent) {
        machineMemoryChanged_ = true;
    }
    control_.site().ShowStop(false, 0);
    if (!sent) {
        reportSendFailure(sent.error());
    }
}

void HeidenhainService::takeFile(const RequestHeader& header) {
    const Expected<std::filesystem::path> path = unitOneFile(control_, header.name);
    control_.site().ShowStop(true, 1);
    Status received;
    if (path) {
        received = BlockReceiver(control_).receive(path.value(), header.name, 0);
    } else {
        // The program is taken from the line so that the machine is not left hanging, and
        // dropped: its name would lead outside the directory.
        reportReceiveFailure(path.error());
        TransferReport report(control_, 1, TransferWay::FromUnit, header.name, {});
        BlockReceiver receiver(control_);
        const Expected<ReceivedProgram> dropped = receiver.receiveText(0);
        if (!dropped) {
            report.failed(receiver.arrived(), path.error().description);
            received = dropped.error();
        } else {
            report.failed(dropped.value().text, path.error().description);
        }
    }
    control_.site().ShowStop(false, 1);
    if (!received) {
        reportReceiveFailure(received.error());
    }
}

void HeidenhainService::deleteFile(const RequestHeader& header) {
    const Expected<std::filesystem::path> path = unitOneFile(control_, header.name);
    if (!path) {
        control_.site().OnError(
            false, message(msg::ProcessingRequest) + ": " + path.error().description, "", 0);
        return;
    }
    // The machine has its acknowledgement already and hears no more: with the programs
    // protected the file stays and the removal waits for approval.
    if (const Status removed = removeUnitProgram(control_, 1, header.name, path.value());
        !removed && removed.error().number != ENOENT) {
        control_.site().OnError(
            false, message(msg::ProcessingRequest) + ": " + removed.error().description, "", 0);
        return;
    }
    control_.site().FerixDirChanged(1);
}

void HeidenhainService::reportSendFailure(const ComError& error) {
    control_.site().OnError(false, message(msg::FileToFerix) + ": " + error.description,
                            error.helpFile, error.helpContext);
}

void HeidenhainService::reportReceiveFailure(const ComError& error) {
    control_.site().OnError(false, message(msg::FileFromFerix) + ": " + error.description,
                            error.helpFile, error.helpContext);
}

std::unique_ptr<LineService> makeHeidenhainService(ctrlFerixComm& control) {
    return std::make_unique<HeidenhainService>(control);
}

}  // namespace comm::heidenhain
