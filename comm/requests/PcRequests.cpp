#include "comm/requests/PcRequests.h"

#include <algorithm>
#include <cctype>
#include <cmath>

#include "comm/FerixComm.h"
#include "comm/Messages.h"
#include "comm/dnc/DncService.h"
#include "comm/dnc/DncTransfers.h"
#include "comm/files/FileIo.h"
#include "comm/files/PlainName.h"
#include "comm/heidenhain/AsciiControl.h"
#include "comm/heidenhain/BlockReceiver.h"
#include "comm/heidenhain/BlockSender.h"
#include "comm/heidenhain/UnitOneFile.h"
#include "comm/plain/PlainReceiver.h"
#include "comm/plain/PlainSender.h"

namespace comm {

namespace {

using namespace request;
namespace ascii = heidenhain::ascii;

constexpr std::size_t kDncNameLength = 8;
constexpr int kHeaderTries = 4;
constexpr int kHeaderAnswerLooks = 1000;
constexpr int kHeaderAnswerPause = 10;
constexpr int kDeletePause = 500;
constexpr int kCommandSeconds = 15;
constexpr int kPurgePolls = 5;
constexpr int kPauseStep = 10;
constexpr std::uint8_t kPurgePollAddress = 11;
constexpr double kShortAnswerFreeMemory = 262144;

// "<message 422> (<message n>)"
std::string pcRequestError(int detailMessage) {
    return messageWithDetail(msg::ProcessingPCRequest, message(detailMessage));
}

std::string upper(std::string text) {
    for (char& c : text) {
        c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
    }
    return text;
}

// Marks the control busy for the length of one request.
class BusyScope {
public:
    explicit BusyScope(ctrlFerixComm& control) : control_(control) {
        control_.setTransferBusy(true);
        control_.setOperatorRequest(true);
    }
    ~BusyScope() {
        control_.site().SetBusy(false);
        control_.setOperatorRequest(false);
        control_.setTransferBusy(false);
    }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    ctrlFerixComm& control_;
};

}  // namespace

std::string requestBlock(std::uint8_t action, std::uint8_t direction, std::uint8_t extension,
                         const std::string& name) {
    std::string block;
    block += static_cast<char>(action);
    block += static_cast<char>(direction);
    block += static_cast<char>(extension);
    const std::string field = name.substr(0, kDncNameLength);
    block += std::string(kDncNameLength - field.size(), '/') + field;
    return block;
}

std::string requestHeader(char typeLetter, const std::string& name, char command) {
    std::string header;
    header += static_cast<char>(ascii::SOH);
    header += typeLetter;
    header += name;
    header += command;
    header += static_cast<char>(ascii::ETB);
    std::uint8_t check = 0;
    for (char c : header) {
        check ^= static_cast<std::uint8_t>(c);
    }
    header += static_cast<char>(check);
    return header;
}

int commandProgress(int i, int steps) {
    return static_cast<int>(std::lround(i * 100.0 / steps));
}

void PcRequests::error(bool reqSidePC, const std::string& description, const std::string& helpFile,
                       std::int32_t context) {
    control_.site().OnError(reqSidePC, description, helpFile, context);
}

void PcRequests::pause(int milliseconds) {
    for (int left = milliseconds; left > 0; left -= kPauseStep) {
        control_.host().sleep(std::chrono::milliseconds(std::min(left, kPauseStep)));
        control_.host().pump();
    }
}

void PcRequests::DoPCRequest(std::uint8_t FerixAdr, std::uint8_t Action, std::uint8_t Direction,
                             std::uint8_t Extension, const std::string& FileName,
                             std::int32_t LenOfFile) {
    (void)request(FerixAdr, Action, Direction, Extension, FileName, LenOfFile, Target{});
}

bool PcRequests::request(std::uint8_t FerixAdr, std::uint8_t Action, std::uint8_t Direction,
                         std::uint8_t Extension, const std::string& FileName,
                         std::int32_t LenOfFile, Target target) {
    // Another request is running: this one is dropped without notice.
    if (control_.TransferBusy()) {
        return false;
    }
    BusyScope busy(control_);
    if (!control_.Active()) {
        error(false, pcRequestError(msg::NotActivated));
        return false;
    }
    control_.site().SetBusy(true);
    switch (control_.Protocol()) {
        case ProtDNC:
            return dncRequest(FerixAdr, Action, Direction, Extension, FileName, LenOfFile, target);
        case ProtNone:
        case ProtNoneEOF:
            return plainRequest(Action, Direction, FileName);
        case ProtHeidenhain:
        case ProtTavro1:
            return heidenhainRequest(FerixAdr, Action, Direction, Extension, FileName, LenOfFile,
                                     target);
        case ProtFerix:
        default:
            return false;
    }
}

namespace {

// The unit's name field holds 8 bytes; a letter outside ASCII takes 2 or more of them in UTF-8,
// so a name can be short in letters and still too long: the message then says so.
std::string nameTooLong(const std::string& name) {
    const auto letters = std::count_if(name.begin(), name.end(), [](char c) {
        return (static_cast<unsigned char>(c) & 0xC0) != 0x80;
    });
    std::string text = message(msg::NameTooLong) + " \"" + name + "\"";
    if (static_cast<std::size_t>(letters) != name.size()) {
        text += " (" + std::to_string(name.size()) + " bytes in UTF-8; the unit's names are " +
                std::to_string(kDncNameLength) +
                " bytes, and each letter outside ASCII takes 2 or more)";
    }
    return text;
}

}  // namespace

bool PcRequests::dncRequest(std::uint8_t FerixAdr, std::uint8_t Action, std::uint8_t Direction,
                            std::uint8_t Extension, const std::string& FileName,
                            std::int32_t LenOfFile, Target target) {
    const bool memoryList = Action == kFileTransfer && Extension == kList;
    // Everything that would refuse the request is settled before the unit hears of it: a unit
    // told of a transfer that then never comes would wait for it in vain.
    if (FileName.size() > kDncNameLength) {
        error(true, messageWithDetail(msg::ProcessingPCRequest, nameTooLong(FileName)));
        return false;
    }
    if (Action != kFileTransfer && Action != kDelete && Action != kCommand) {
        error(true, pcRequestError(msg::ActionNotSupported));
        return false;
    }
    std::string localName;
    if (Action == kFileTransfer) {
        switch (Extension) {
            case kSourceText:
                localName = FileName + "." + control_.SourceTextExt();
                break;
            case kWorkText:
                localName = FileName + "." + control_.WorkTextExt();
                break;
            case kList:
                localName = FileName + "." + control_.ListExt();
                break;
            case kNameAsIs:
                localName = FileName;
                break;
            default:
                error(true, pcRequestError(msg::KindNotSupported));
                return false;
        }
        if (Direction != kToUnit && Direction != kFromUnit) {
            error(true, pcRequestError(msg::WrongDirection));
            return false;
        }
        if (const std::string problem = unitFileNameProblem(localName); !problem.empty()) {
            error(true, messageWithDetail(msg::ProcessingPCRequest, problem));
            return false;
        }
    }

    dnc::DncTransfers transfers(control_);
    if (Status sent = transfers.blocks().SendBlock(
            FerixAdr, 0, requestBlock(Action, Direction, Extension, FileName));
        !sent) {
        error(!memoryList, messageWithDetail(msg::CommandToFerix, sent.error().description));
        return false;
    }

    if (Action == kDelete) {
        pause(kDeletePause);
        control_.site().FerixMemChanged(FerixAdr);
        return true;
    }
    if (Action == kCommand) {
        dncAfterCommand(FerixAdr, Extension);
        return true;
    }
    Status moved;
    if (Direction == kFromUnit && target.memory != nullptr) {
        Expected<std::string> data = transfers.ReceiveDataFromUnit(FerixAdr, LenOfFile);
        if (data) {
            *target.memory = data.value();
        } else {
            moved = data.error();
        }
    } else if (Direction == kFromUnit) {
        moved = transfers.ReceiveFileFromUnit(FerixAdr, localName, LenOfFile);
    } else {
        moved = transfers.SendFileToUnit(FerixAdr, localName, 0, 0, 0);
    }
    if (!moved) {
        error(!memoryList, message(msg::ProcessingPCRequest) + ": " + moved.error().description,
              moved.error().helpFile, moved.error().helpContext);
        return false;
    }
    return true;
}

void PcRequests::dncAfterCommand(std::uint8_t FerixAdr, std::uint8_t command) {
    ControlEvents& events = control_.site();
    if ((command >= kSection1 && command <= kJoinSections) || command == kReset) {
        for (int i = 0; i < kCommandSeconds; ++i) {
            events.ProgressChanged(static_cast<std::uint8_t>(commandProgress(i, kCommandSeconds)));
            pause(1000);
        }
    } else if (command == kPurge) {
        dnc::DncService poller(control_);
        poller.prepare();  // builds the poll frame; without it nothing would be polled
        for (int i = 0; i < kPurgePolls; ++i) {
            (void)poller.PollUnit(kPurgePollAddress);
            events.ProgressChanged(static_cast<std::uint8_t>(i * 20));
            pause(1000);
        }
    } else {
        return;  // select, STR, STP, TR: nothing more
    }
    events.ProgressChanged(100);
    events.FerixMemChanged(FerixAdr);
}

bool PcRequests::plainRequest(std::uint8_t Action, std::uint8_t Direction,
                              const std::string& FileName) {
    if (Action != kFileTransfer) {
        error(true, message(msg::ActionNotForProtocol));
        return false;
    }
    if (Direction != kToUnit && Direction != kFromUnit) {
        error(true, pcRequestError(msg::WrongDirection));
        return false;
    }
    const Expected<std::filesystem::path> path = heidenhain::unitOneFile(control_, FileName);
    if (!path) {
        error(true, messageWithDetail(msg::ProcessingPCRequest, path.error().description));
        return false;
    }
    // A plain line has no loop that would notice a device pulled and put back meanwhile.
    if (Status port = control_.link().reopenIfLost(); !port) {
        error(true, messageWithDetail(msg::ProcessingPCRequest, port.error().description));
        return false;
    }
    const bool endOfFile = control_.Protocol() == ProtNoneEOF;
    const Status done = Direction == kToUnit
                            ? plain::PlainSender(control_).send(path.value(), endOfFile)
                            : plain::PlainReceiver(control_).receive(path.value(), endOfFile);
    if (!done) {
        error(true, done.error().description, done.error().helpFile, done.error().helpContext);
        return false;
    }
    return true;
}

PcRequests::HeaderAnswer PcRequests::sendHeader(const std::string& header, bool memoryList) {
    SerialLink& link = control_.link();
    for (int attempt = 0; attempt < kHeaderTries; ++attempt) {
        link.flushInput();
        if (Status written = link.WriteFrames(header); !written) {
            error(!memoryList, written.error().description, written.error().helpFile,
                  written.error().helpContext);
            return HeaderAnswer::Failed;
        }
        int looks = 0;
        while (link.bytesWaiting() == 0 && looks < kHeaderAnswerLooks) {
            control_.host().sleep(std::chrono::milliseconds(kHeaderAnswerPause));
            control_.host().pump();
            if (link.StopRequested()) {
                return HeaderAnswer::Stopped;
            }
            ++looks;
        }
        if (link.bytesWaiting() == 0) {
            error(!memoryList, message(msg::RequestNotAccepted));
            return HeaderAnswer::Failed;
        }
        const std::uint8_t answer = link.readByte();
        if (answer == ascii::ACK) {
            return HeaderAnswer::Accepted;
        }
        if (answer != ascii::NAK) {
            return HeaderAnswer::Refused;
        }
    }
    // Four refusals: the machine did not take the request, which the operator must learn.
    error(!memoryList, message(msg::RequestNotAcknowledged));
    return HeaderAnswer::Failed;
}

bool PcRequests::heidenhainRequest(std::uint8_t FerixAdr, std::uint8_t Action,
                                   std::uint8_t Direction, std::uint8_t Extension,
                                   const std::string& FileName, std::int32_t LenOfFile,
                                   Target target) {
    const bool tavro = control_.Protocol() == ProtTavro1;
    const bool memoryList = Action == kFileTransfer && Extension == kList;
    const char letter =
        control_.HeidenhainFileType().empty() ? 'N' : control_.HeidenhainFileType()[0];
    const char upperLetter = static_cast<char>(std::toupper(static_cast<unsigned char>(letter)));
    const char lowerLetter = static_cast<char>(std::tolower(static_cast<unsigned char>(letter)));

    std::string header;
    if (Action == kFileTransfer) {
        if (Direction != kToUnit && Direction != kFromUnit) {
            error(true,
                  message(msg::ProcessingPCRequest) + "(" + message(msg::WrongDirection) + ")");
            return false;
        }
        const bool master = control_.HeidenhainMaster();
        const bool fetchLetter =
            (Direction == kToUnit && master) || (Direction == kFromUnit && !master);
        header = requestHeader(Extension == kList ? lowerLetter : upperLetter, FileName,
                               fetchLetter ? 'E' : 'A');
    } else if (Action == kDelete && tavro) {
        header = requestHeader(upperLetter, FileName, 'D');
    } else {
        error(true, message(msg::ActionNotForProtocol));
        return false;
    }
    // The file is settled before the machine hears of the request.
    std::filesystem::path path;
    if (Action == kFileTransfer && target.memory == nullptr) {
        const Expected<std::filesystem::path> file = heidenhain::unitOneFile(control_, FileName);
        if (!file) {
            error(true, messageWithDetail(msg::ProcessingPCRequest, file.error().description));
            return false;
        }
        path = file.value();
    } else if (FileName.find_first_of(std::string("\0\x01\x17", 3)) != std::string::npos) {
        // A name may not carry the header's own control characters.
        error(true, messageWithDetail(msg::ProcessingPCRequest, plainNameProblem("\x01")));
        return false;
    }

    ControlEvents& events = control_.site();
    control_.link().setStopRequested(false);
    events.ShowStop(true, Direction);
    const HeaderAnswer answer = sendHeader(header, memoryList);
    if (answer != HeaderAnswer::Accepted) {
        events.ShowStop(false, Direction);
        if (answer == HeaderAnswer::Refused) {
            error(true, message(msg::RequestNotAcknowledged));
        }
        return false;
    }
    if (Action == kDelete) {
        events.ShowStop(false, Direction);
        events.FerixMemChanged(FerixAdr);
        return true;
    }
    Status done;
    bool listingCut = false;
    if (Direction == kToUnit) {
        done = heidenhain::BlockSender(control_).send(path);
        if (done && tavro) {
            pause(static_cast<int>(200000 / std::max(control_.LineSpeed(), 1)) + 200);
            events.FerixMemChanged(1);
        }
    } else if (target.memory != nullptr) {
        Expected<heidenhain::ReceivedProgram> text =
            heidenhain::BlockReceiver(control_).receiveText(LenOfFile);
        if (!text) {
            done = text.error();
        } else if (text.value().stopped) {
            // A listing cut short by the operator is unread, not a machine without programs.
            listingCut = true;
        } else {
            *target.memory = text.value().text;
        }
    } else {
        done = heidenhain::BlockReceiver(control_).receive(path, FileName, LenOfFile);
    }
    if (!done) {
        error(!memoryList, done.error().description, done.error().helpFile,
              done.error().helpContext);
    }
    events.ShowStop(false, Direction);
    return done.ok() && !listingCut;
}

void PcRequests::DoPcRequestFileToFerix(std::uint8_t FerixAdr, const std::string& FileName) {
    switch (control_.Protocol()) {
        case ProtNoneEOF:
        case ProtHeidenhain:
        case ProtNone:
        case ProtTavro1:
            DoPCRequest(FerixAdr, kFileTransfer, kToUnit, kSourceText, FileName);
            return;
        case ProtDNC:
            break;
        case ProtFerix:
        default:
            return;
    }
    const auto dot = FileName.find('.');
    if (dot == std::string::npos || dot == 0 || dot > kDncNameLength ||
        dot + 1 == FileName.size()) {
        return;
    }
    const std::string name = FileName.substr(0, dot);
    const std::string extension = upper(FileName.substr(dot + 1));
    const std::pair<KindExt, std::uint8_t> kinds[] = {
        {KindExt::SourceText, 0}, {KindExt::WorkText, 1},   {KindExt::SourceMacro, 4},
        {KindExt::WorkMacro, 5},  {KindExt::SourceDiag, 6}, {KindExt::WorkDiag, 7}};
    for (const auto& [ext, kind] : kinds) {
        if (extension == control_.ext(ext)) {
            DoPCRequest(FerixAdr, kFileTransfer, kToUnit, kind, name);
            return;
        }
    }
    error(true, pcRequestError(msg::KindNotSupported));
}

MemoryList PcRequests::FerixLst(std::uint8_t FerixAdr) {
    switch (control_.Protocol()) {
        case ProtNoneEOF:
        case ProtHeidenhain:
        case ProtNone:
            return MemoryList::notSupported();
        case ProtDNC:
            return dncMemoryList(FerixAdr);
        case ProtTavro1:
            return tavroMemoryList();
        case ProtFerix:
        default:
            return MemoryList::noValue();
    }
}

MemoryList PcRequests::dncMemoryList(std::uint8_t FerixAdr) {
    MemoryList list;
    const Expected<bool> connected = control_.Connected(FerixAdr);
    if (!connected.ok() || !connected.value()) {
        error(false, messageWithDetail(msg::MemoryListError, message(msg::NotConnected)));
        return list;
    }
    // Listings are fetched into memory: they never touch, and never replace, a program of the
    // unit directory that happens to have the listing's name.
    std::string listing;
    request(FerixAdr, kFileTransfer, kFromUnit, kList, kListingName, 0, Target{&listing});
    if (!isShortAnswer(listing)) {
        return decodeDncListing(listing, control_.Prefix(FerixAdr).value(), control_.ZerosInName());
    }
    list = MemoryList{MemoryList::Kind::List, 0, kShortAnswerFreeMemory, 0, {}};
    request(FerixAdr, kCommand, kToUnit, kStr, "", 0, Target{});
    pause(control_.F4COPYTimeout());
    std::string directory;
    request(FerixAdr, kFileTransfer, kFromUnit, kSourceText, kShortAnswerDirectory, 0,
            Target{&directory});
    addShortAnswerDirectory(directory, list);
    return list;
}

MemoryList PcRequests::tavroMemoryList() {
    MemoryList list{MemoryList::Kind::List, -1, 0, 0, {}};
    std::string listing;
    if (!request(1, kFileTransfer, kFromUnit, kList, kListingName, 0, Target{&listing})) {
        return list;
    }
    return decodeTavroListing(listing);
}

}  // namespace comm
