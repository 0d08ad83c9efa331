// A simulated machine control on a Heidenhain or Tavro1 line: the other end of the PC's
// service loop and block transfers.
//
// On its own initiative (as its operator would) it sends request headers: send me a program,
// take a program, send me the directory listing, delete a program; it then receives or sends
// the program block by block. Between such transfers it answers the PC's own headers from its
// memory, or refuses them (NAK, another byte, silence) when told to. Faults are played on
// demand: NAK, DC1, silence and EOT when receiving; wrong check bytes, DC1, silence and EOT when
// sending; wrong header check bytes.
#pragma once

#include <chrono>
#include <climits>
#include <cstddef>
#include <map>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "sim/heidenhain/link/PeerLink.h"

namespace sim {

struct MachineSettings {
    // The PC's HeidenhainMaster: with it "E" means data towards the machine, without it "A".
    bool pcIsMaster = true;
    // Tavro1 with CR LF: blocks carry the program's bytes as they are, CR LF included.
    bool keepLineEnds = false;
    std::size_t pieceLength = 199;
    char fileType = 'N';
    // How long the machine waits for the PC before it gives a transfer up.
    std::chrono::milliseconds answerTimeout{3000};
    // How long the machine holds the PC off with DC1 before it acknowledges.
    std::chrono::milliseconds dc1Hold{50};
    // How long the machine takes to fetch its next block from memory once the PC acknowledged
    // one. Zero answers at once, quicker than any control.
    std::chrono::milliseconds blockPause{0};
    int headerTries = 4;
};

// Faults, by block number within each transfer (0 is the first block).
struct MachineFaults {
    // While the machine receives.
    std::map<std::size_t, int> nakBlock;  // answer NAK this many times before ACK
    std::set<std::size_t> dc1BeforeAck;
    std::optional<std::size_t> silentAtBlock;  // never answer this block
    std::optional<std::size_t> eotAtBlock;     // answer EOT instead of ACK
    // While the machine sends.
    std::set<std::size_t> badCheckOnce;  // the first send of the block has a wrong check byte
    std::optional<std::size_t> eotBeforeBlock;     // give up with EOT instead of this block
    std::optional<std::size_t> silentBeforeBlock;  // stop sending before this block
    bool dc1BetweenBlocks = false;
    // The first this-many sends of each header of the machine carry a wrong check byte.
    int badHeaderChecks = 0;

    // How the machine answers the PC's own request headers (those with a right check byte).
    // Refused with NAK: the first this-many of them (kRefuseAlways: every one).
    static constexpr int kRefuseAlways = INT_MAX;
    int refusePcHeaders = 0;
    // Answered with this byte instead of ACK.
    std::optional<char> pcHeaderAnswer;
    // Not answered at all.
    bool silentToPcHeaders = false;
};

// A request header of the PC, as the machine read it.
struct PcHeader {
    char type = 0;
    std::string name;
    char command = 0;
    bool goodCheck = false;

    bool operator==(const PcHeader&) const = default;
};

struct MachineRecord {
    std::string action;  // "request", "send", "listing", "delete", "serve", "take", "remove"
    std::string name;
    bool ok = false;
    std::string detail;  // why it failed
};

class HeidenhainMachine {
public:
    explicit HeidenhainMachine(PeerLink& link, MachineSettings settings = {});
    ~HeidenhainMachine();
    HeidenhainMachine(const HeidenhainMachine&) = delete;
    HeidenhainMachine& operator=(const HeidenhainMachine&) = delete;

    MachineSettings& settings() { return settings_; }
    MachineFaults& faults() { return faults_; }

    // The machine's program memory: name and text (line ends CR LF).
    std::map<std::string, std::string>& programs() { return programs_; }
    // Directory listings received from the PC, by the name asked for.
    const std::map<std::string, std::string>& listings() const { return listings_; }

    // The machine's operator at work. Each starts one transfer; ignored while one runs.
    void requestFile(const std::string& name);
    void sendFile(const std::string& name);
    void requestListing(const std::string& name, char typeLetter = 'n');
    void deleteOnPc(const std::string& name);
    // Bytes sent as they are (a garbled header, noise).
    void sendRaw(const std::string& bytes);

    bool busy() const { return phase_ != Phase::Idle; }
    const std::vector<MachineRecord>& records() const { return records_; }
    // Everything that arrived from the PC.
    const std::string& heard() const { return heard_; }
    // Bytes that arrived while nothing was expected (outside headers and transfers).
    const std::string& stray() const { return stray_; }
    // Every request header of the PC, in the order of arrival, resent ones included.
    const std::vector<PcHeader>& pcHeaders() const { return pcHeaders_; }

private:
    enum class Phase { Idle, PcHeader, HeaderSent, Receiving, Sending, AwaitingEot };
    enum class RxState { BetweenBlocks, InBlock, CheckByte };

    char toMachine() const { return settings_.pcIsMaster ? 'E' : 'A'; }
    char toPc() const { return settings_.pcIsMaster ? 'A' : 'E'; }

    void onByte(std::uint8_t byte);
    void sendHeader(const std::string& action, const std::string& name, char type, char command);
    void onHeaderAnswer(char byte);
    void onPcHeaderByte(char byte);
    // True when the header is answered otherwise than by serving it (faults).
    bool refusePcHeader(const std::string& name);
    void servePcHeader(char type, const std::string& name, char command);

    void startReceiving(const std::string& action, const std::string& name, bool listing);
    void onReceivingByte(char byte);
    void answerGoodBlock();
    void acceptBlock();

    void startSending(const std::string& action, const std::string& name, const std::string& text);
    void sendCurrentBlock();
    void onSendingByte(char byte);

    void finish(bool ok, const std::string& detail = {});
    void armTimer();
    void cancelTimer();

    PeerLink& link_;
    MachineSettings settings_;
    MachineFaults faults_;
    std::map<std::string, std::string> programs_;
    std::map<std::string, std::string> listings_;
    std::vector<MachineRecord> records_;
    std::string heard_;
    std::string stray_;
    std::vector<PcHeader> pcHeaders_;
    int pcHeadersRefused_ = 0;

    Phase phase_ = Phase::Idle;
    std::optional<PeerLink::TimerId> timer_;
    std::optional<PeerLink::TimerId> holdTimer_;
    MachineRecord current_;

    // A header: the machine's own while it waits for the answer, or the PC's being read.
    std::string header_;
    int headerSends_ = 0;
    Phase afterHeader_ = Phase::Idle;
    std::string pendingText_;

    // Receiving.
    RxState rx_ = RxState::BetweenBlocks;
    char rxCheck_ = 0;
    std::string rxBlock_;
    std::string rxText_;
    bool rxListing_ = false;
    std::map<std::size_t, int> naksGiven_;
    std::set<std::size_t> dc1Given_;

    // Sending.
    std::vector<std::string> txBlocks_;
    std::set<std::size_t> corrupted_;
    int txSends_ = 0;

    std::size_t blockNo_ = 0;
};

}  // namespace sim
