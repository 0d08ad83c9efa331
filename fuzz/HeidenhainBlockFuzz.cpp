// The block receive of the Heidenhain family with any bytes as the machine's transmission, on a
// virtual line: what it stores and answers must be what a decoder written here from the block
// layout (STX text ETB check, DC1 between blocks, ETX at the end, EOT to give up, a refused
// block repeated before the end) expects; a
// failed or stopped receive leaves the old program in place and nothing beside it; every
// receive ends within the time the machine took plus the time-out.
//
// Input: flags (bit 0 Tavro1, else Heidenhain; bit 1 line ends kept with Tavro1; bit 2 the
// memory list's name; bit 3 the operator stops), the expected length in eights of a byte (0:
// unknown), the moment of the stop in 20 ms, then the machine's bytes.
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "comm/FerixComm.h"
#include "comm/heidenhain/BlockReceiver.h"
#include "comm/heidenhain/TransferErrors.h"
#include "comm/link/LineTiming.h"
#include "fuzz/FuzzCheck.h"
#include "fuzz/FuzzScratch.h"
#include "localizing/lookup/ResourceStrings.h"
#include "sim/fakes/RecordingSite.h"
#include "sim/virtual/VirtualHost.h"
#include "sim/virtual/VirtualLine.h"

namespace {

namespace fs = std::filesystem;

constexpr std::uint8_t kStx = 0x02, kEtx = 0x03, kEot = 0x04, kAck = 0x06, kDc1 = 0x11, kNak = 0x15,
                       kEtb = 0x17;
constexpr std::int32_t kSpeed = 9600;
const std::string kOriginal = "%OLD\r\nN10 G00 X0\r\n%\r\n";

// What a reception of these bytes comes to.
struct Expected {
    // AnswerAfterEtx: a control character a machine may answer our EOT with follows the ETX;
    // whether more behind it arrives within the PC's short look depends on timing, so the
    // reception is either complete or refused as MoreAfterEtx.
    // BlockOwed: the ETX came where the repeat of a refused block was due.
    enum End {
        Complete,
        Interrupted,
        StrayByte,
        MoreAfterEtx,
        AnswerAfterEtx,
        BlockOwed,
        Silence
    } end = Silence;
    std::string text;     // the program, as stored when complete
    std::string answers;  // what the PC sends back
};

bool isMachineAnswer(std::uint8_t byte) {
    return byte == kEot || byte == kAck || byte == kNak || byte == kDc1 || byte == kEtx;
}

Expected expectedReception(std::string_view bytes, bool keepLineEnds) {
    Expected out;
    enum { Between, Text, Check } state = Between;
    std::uint8_t check = 0;
    bool owed = false;  // a block was answered NAK and has not come again
    std::string block;
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        const auto byte = static_cast<std::uint8_t>(c);
        switch (state) {
            case Between:
                if (byte == kStx) {
                    state = Text;
                    check = byte;
                    block.clear();
                } else if (byte == kEtx && owed) {
                    out.end = Expected::BlockOwed;
                    return out;
                } else if (byte == kEtx) {
                    // After its ETX a machine at most answers our EOT with a control
                    // character; anything else behind it makes it a damaged STX, and the
                    // program incomplete.
                    if (i + 1 == bytes.size()) {
                        out.end = Expected::Complete;
                    } else if (isMachineAnswer(static_cast<std::uint8_t>(bytes[i + 1]))) {
                        out.end = Expected::AnswerAfterEtx;
                    } else {
                        out.end = Expected::MoreAfterEtx;
                    }
                    out.answers += static_cast<char>(kEot);
                    return out;
                } else if (byte == kEot) {
                    out.end = Expected::Interrupted;
                    return out;
                } else if (byte != kDc1) {
                    out.end = Expected::StrayByte;
                    return out;
                }
                break;
            case Text:
                check ^= byte;
                if (byte == kEtb) {
                    state = Check;
                } else {
                    block += c;
                }
                break;
            case Check:
                state = Between;
                if (byte == check) {
                    out.text += block;
                    if (!keepLineEnds) {
                        out.text += "\r\n";
                    }
                    out.answers += static_cast<char>(kAck);
                    owed = false;
                } else {
                    out.answers += static_cast<char>(kNak);
                    owed = true;
                }
                break;
        }
    }
    out.end = Expected::Silence;
    return out;
}

std::int32_t errorNumber(Expected::End end) {
    switch (end) {
        case Expected::Interrupted:
            return comm::heidenhain::transferError(comm::msg::TransferInterrupted).number;
        case Expected::StrayByte:
        case Expected::MoreAfterEtx:
        case Expected::AnswerAfterEtx:
            return comm::heidenhain::transferError(comm::msg::EtxNotReceived).number;
        case Expected::BlockOwed:
            return comm::heidenhain::transferError(comm::msg::BlockNotReceived).number;
        default:
            return comm::heidenhain::kReceiveTimeoutNumber;
    }
}

struct Settings {
    bool tavro = false;
    bool keepLineEnds = false;
    bool memoryList = false;
    std::optional<sim::VirtualHost::Micros> stopAt;
    std::int32_t expectedLength = 0;
};

// A control on a virtual line with the machine's bytes on their way, on virtual time.
class Line {
public:
    Line(const Settings& settings, std::string_view bytes)
        : line_(host_, "virtual:1"), control_(host_, site_, line_.controlEnd()) {
        control_.setPortDevices([](int n) { return "virtual:" + std::to_string(n); });
        FUZZ_CHECK(control_.setCommSpeed(std::to_string(kSpeed)));
        FUZZ_CHECK(control_.setProtocol(settings.tavro ? comm::ProtTavro1 : comm::ProtHeidenhain));
        control_.setHeidenhainCRLF(settings.keepLineEnds);
        FUZZ_CHECK(control_.link().open());
        line_.peerSend(std::string(bytes));
        const auto charTime = line_.charTime();
        const sim::VirtualHost::Micros lastByte =
            charTime * static_cast<std::int64_t>(bytes.size());
        // The machine's bytes, an answer per block (at most one per three bytes), the silence of
        // the time-out and the look for trailing bytes after ETX.
        limit_ = lastByte + charTime * static_cast<std::int64_t>(bytes.size() / 3 + 2) +
                 (comm::heidenhain::kReceiveIdlePauses + 2) * 1000 *
                     sim::VirtualHost::Micros{comm::timing::heidenhainPollPause(kSpeed)} +
                 12 * 1000 * sim::VirtualHost::Micros{comm::timing::characterPollPause(kSpeed)};
        if (settings.stopAt) {
            host_.at(*settings.stopAt, [this] {
                stopped_ = true;
                control_.StopTransfer();
            });
        }
        // Past the limit the receive is stopped, so that a fault ends the run as well.
        host_.at(limit_ + 1, [this] {
            overran_ = true;
            control_.StopTransfer();
        });
    }

    comm::ctrlFerixComm& control() { return control_; }
    sim::RecordingSite& site() { return site_; }
    std::string sent() const { return line_.receivedText(); }
    bool stopped() const { return stopped_; }

    // The receive returned on its own, within the limit.
    void checkEnded() const {
        FUZZ_CHECK(!overran_);
        FUZZ_CHECK(host_.nowMicros() <= limit_);
    }

private:
    sim::VirtualHost host_;
    sim::RecordingSite site_;
    sim::VirtualLine line_;
    comm::ctrlFerixComm control_;
    sim::VirtualHost::Micros limit_ = 0;
    bool stopped_ = false;
    bool overran_ = false;
};

std::string readFile(const fs::path& path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

const fs::path& unitDirectory() {
    static const fs::path dir = [] {
        const fs::path d = fuzz::scratchDirectory() / "Ferix1";
        fs::create_directories(d);
        return d;
    }();
    return dir;
}

void checkProgress(const std::vector<std::uint8_t>& progress, std::int32_t expectedLength) {
    if (expectedLength <= 0) {
        FUZZ_CHECK(progress.empty());
        return;
    }
    for (std::size_t i = 0; i < progress.size(); ++i) {
        FUZZ_CHECK(progress[i] <= 100);
        FUZZ_CHECK(i == 0 || progress[i] >= progress[i - 1]);
    }
}

// Only the line part: the text as received.
void receiveText(const Settings& settings, std::string_view bytes, const Expected& expected) {
    Line line(settings, bytes);
    const comm::Expected<comm::heidenhain::ReceivedProgram> received =
        comm::heidenhain::BlockReceiver(line.control()).receiveText(settings.expectedLength);
    line.checkEnded();
    checkProgress(line.site().progress, settings.expectedLength);
    if (line.stopped()) {
        return;
    }
    const bool refusedAfterEtx = expected.end == Expected::AnswerAfterEtx && !received.ok();
    if (expected.end == Expected::Complete ||
        (expected.end == Expected::AnswerAfterEtx && !refusedAfterEtx)) {
        FUZZ_CHECK(received.ok());
        FUZZ_CHECK(!received.value().stopped);
        FUZZ_CHECK(received.value().text == expected.text);
    } else {
        FUZZ_CHECK(!received.ok());
        FUZZ_CHECK(received.error().number == errorNumber(expected.end));
    }
    FUZZ_CHECK(line.sent() == expected.answers);
}

// The whole receive: the program put in place of the old one, or the old one kept.
void receiveFile(const Settings& settings, std::string_view bytes, const Expected& expected) {
    const std::string name = settings.memoryList ? std::string(comm::heidenhain::kMemoryListName)
                                                 : std::string("PROG.H");
    const fs::path path = unitDirectory() / name;
    std::error_code ec;
    for (const auto& entry : fs::directory_iterator(unitDirectory(), ec)) {
        fs::remove(entry.path(), ec);
    }
    {
        std::ofstream out(path, std::ios::binary);
        out << kOriginal;
    }

    Line line(settings, bytes);
    const comm::Status status =
        comm::heidenhain::BlockReceiver(line.control()).receive(path, name, 0);
    line.checkEnded();

    const std::string stored = readFile(path);
    const bool complete = expected.end == Expected::Complete ||
                          (expected.end == Expected::AnswerAfterEtx && status.ok());
    if (line.stopped()) {
        FUZZ_CHECK(stored == kOriginal || (complete && stored == expected.text));
    } else if (complete) {
        FUZZ_CHECK(status.ok());
        FUZZ_CHECK(stored == expected.text);
        FUZZ_CHECK(line.site().dirChanged == (settings.memoryList ? std::vector<std::uint8_t>{}
                                                                  : std::vector<std::uint8_t>{1}));
    } else {
        FUZZ_CHECK(!status.ok());
        FUZZ_CHECK(status.error().number == errorNumber(expected.end));
        FUZZ_CHECK(stored == kOriginal);
        FUZZ_CHECK(line.site().dirChanged.empty());
    }
    if (!status.ok()) {
        FUZZ_CHECK(stored == kOriginal);
    }

    // Nothing beside the program: no temporary file of the replacement is left.
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(unitDirectory(), ec)) {
        names.push_back(entry.path().filename().string());
    }
    FUZZ_CHECK(!ec);
    FUZZ_CHECK(names == std::vector<std::string>{name});
}

}  // namespace

extern "C" int LLVMFuzzerInitialize(int*, char***) {
    loc::selectLanguage(loc::kEnglish);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    if (size < 3) {
        return 0;
    }
    Settings settings;
    settings.tavro = (data[0] & 1) != 0;
    settings.keepLineEnds = (data[0] & 2) != 0;
    settings.memoryList = (data[0] & 4) != 0;
    if ((data[0] & 8) != 0) {
        settings.stopAt = sim::VirtualHost::Micros{data[2]} * 20'000;
    }
    settings.expectedLength = data[1] * 8;
    const std::string_view bytes(reinterpret_cast<const char*>(data) + 3, size - 3);
    const Expected expected = expectedReception(bytes, settings.tavro && settings.keepLineEnds);

    receiveText(settings, bytes, expected);
    receiveFile(settings, bytes, expected);
    return 0;
}
