#include "sim/heidenhain/HeidenhainMachine.h"

#include <cctype>

#include "sim/heidenhain/MachineFraming.h"

namespace sim {

using namespace machine;

namespace {

constexpr int kMostBlockSends = 4;
constexpr std::size_t kLongestPcHeader = 2 + 260 + 2;

}  // namespace

HeidenhainMachine::HeidenhainMachine(PeerLink& link, MachineSettings settings)
    : link_(link), settings_(settings) {
    link_.setReceiver([this](std::uint8_t byte) { onByte(byte); });
}

HeidenhainMachine::~HeidenhainMachine() {
    link_.setReceiver({});
    if (timer_) {
        link_.cancel(*timer_);
    }
    if (holdTimer_) {
        link_.cancel(*holdTimer_);
    }
}

void HeidenhainMachine::requestFile(const std::string& name) {
    sendHeader("request", name, settings_.fileType, toMachine());
}

void HeidenhainMachine::sendFile(const std::string& name) {
    if (busy()) {
        return;
    }
    const auto program = programs_.find(name);
    if (program == programs_.end()) {
        records_.push_back({"send", name, false, "no such program in the machine"});
        return;
    }
    pendingText_ = program->second;
    sendHeader("send", name, settings_.fileType, toPc());
}

void HeidenhainMachine::requestListing(const std::string& name, char typeLetter) {
    sendHeader("listing", name, typeLetter, toMachine());
}

void HeidenhainMachine::deleteOnPc(const std::string& name) {
    sendHeader("delete", name, settings_.fileType, 'D');
}

void HeidenhainMachine::sendRaw(const std::string& bytes) {
    link_.send(bytes);
}

void HeidenhainMachine::sendHeader(const std::string& action, const std::string& name, char type,
                                   char command) {
    if (busy()) {
        return;
    }
    current_ = {action, name, false, {}};
    header_ = frameHeader(type, name, command);
    headerSends_ = 0;
    if (action == "request" || action == "listing") {
        afterHeader_ = Phase::Receiving;
    } else if (action == "send") {
        afterHeader_ = Phase::Sending;
    } else {
        afterHeader_ = Phase::Idle;
    }
    phase_ = Phase::HeaderSent;
    std::string frame = header_;
    if (headerSends_++ < faults_.badHeaderChecks) {
        frame.back() = static_cast<char>(frame.back() ^ 0x5A);
    }
    link_.send(frame);
    armTimer();
}

void HeidenhainMachine::onByte(std::uint8_t byte) {
    const char c = static_cast<char>(byte);
    heard_.push_back(c);
    switch (phase_) {
        case Phase::Idle:
            if (c == kSoh) {
                phase_ = Phase::PcHeader;
                header_.assign(1, c);
                armTimer();
            } else {
                stray_.push_back(c);
            }
            return;
        case Phase::PcHeader:
            onPcHeaderByte(c);
            return;
        case Phase::HeaderSent:
            onHeaderAnswer(c);
            return;
        case Phase::Receiving:
            onReceivingByte(c);
            return;
        case Phase::Sending:
            onSendingByte(c);
            return;
        case Phase::AwaitingEot:
            if (c == kEot) {
                finish(true);
            } else {
                finish(false, "ETX answered with byte " + std::to_string(byte));
            }
            return;
    }
}

void HeidenhainMachine::onHeaderAnswer(char byte) {
    if (byte == kNak) {
        if (headerSends_ >= settings_.headerTries) {
            finish(false, "header refused " + std::to_string(headerSends_) + " times");
            return;
        }
        std::string frame = header_;
        if (headerSends_++ < faults_.badHeaderChecks) {
            frame.back() = static_cast<char>(frame.back() ^ 0x5A);
        }
        link_.send(frame);
        armTimer();
        return;
    }
    if (byte != kAck) {
        finish(false,
               "header answered with byte " + std::to_string(static_cast<unsigned char>(byte)));
        return;
    }
    switch (afterHeader_) {
        case Phase::Receiving:
            startReceiving(current_.action, current_.name, current_.action == "listing");
            return;
        case Phase::Sending:
            startSending(current_.action, current_.name, pendingText_);
            return;
        default:
            finish(true);
            return;
    }
}

void HeidenhainMachine::onPcHeaderByte(char byte) {
    header_.push_back(byte);
    const std::size_t n = header_.size();
    if (n >= 3 && header_[n - 2] == kEtb && n >= 4) {
        // SOH type text... ETB check: the check byte has arrived.
        const std::string body = header_.substr(0, n - 1);
        const bool good = blockCheck(body) == header_.back();
        const char type = header_[1];
        const std::string text = header_.substr(2, n - 4);
        phase_ = Phase::Idle;
        cancelTimer();
        const std::string name = text.empty() ? "" : text.substr(0, text.size() - 1);
        pcHeaders_.push_back({type, name, text.empty() ? '\0' : text.back(), good});
        if (!good || text.empty()) {
            link_.send(std::string(1, kNak));
            records_.push_back({"header", text, false, "wrong check byte, answered NAK"});
            return;
        }
        if (!refusePcHeader(name)) {
            servePcHeader(type, name, text.back());
        }
        return;
    }
    if (n > kLongestPcHeader) {
        phase_ = Phase::Idle;
        stray_ += header_;
    }
}

bool HeidenhainMachine::refusePcHeader(const std::string& name) {
    if (faults_.silentToPcHeaders) {
        records_.push_back({"header", name, false, "not answered"});
        return true;
    }
    if (faults_.pcHeaderAnswer) {
        link_.send(std::string(1, *faults_.pcHeaderAnswer));
        records_.push_back({"header", name, false,
                            "answered with byte " + std::to_string(static_cast<unsigned char>(
                                                        *faults_.pcHeaderAnswer))});
        return true;
    }
    if (pcHeadersRefused_ < faults_.refusePcHeaders) {
        ++pcHeadersRefused_;
        link_.send(std::string(1, kNak));
        records_.push_back({"header", name, false, "refused with NAK"});
        return true;
    }
    return false;
}

void HeidenhainMachine::servePcHeader(char type, const std::string& name, char command) {
    if (command == toMachine()) {
        link_.send(std::string(1, kAck));
        startReceiving("take", name, false);
        return;
    }
    if (command == toPc()) {
        link_.send(std::string(1, kAck));
        if (std::islower(static_cast<unsigned char>(type))) {
            std::string listing;
            for (const auto& [program, text] : programs_) {
                listing += program + " " + std::to_string(text.size()) + "\r\n";
            }
            startSending("serve", name, listing);
            return;
        }
        const auto program = programs_.find(name);
        if (program == programs_.end()) {
            link_.send(std::string(1, kEot));
            records_.push_back({"serve", name, false, "no such program in the machine"});
            return;
        }
        startSending("serve", name, program->second);
        return;
    }
    if (command == 'D') {
        link_.send(std::string(1, kAck));
        const bool erased = programs_.erase(name) == 1;
        records_.push_back({"remove", name, erased, erased ? "" : "no such program"});
        return;
    }
    link_.send(std::string(1, kNak));
    records_.push_back({"header", name, false, std::string("unknown command ") + command});
}

void HeidenhainMachine::startReceiving(const std::string& action, const std::string& name,
                                       bool listing) {
    current_ = {action, name, false, {}};
    phase_ = Phase::Receiving;
    rx_ = RxState::BetweenBlocks;
    rxText_.clear();
    rxListing_ = listing;
    naksGiven_.clear();
    dc1Given_.clear();
    blockNo_ = 0;
    armTimer();
}

void HeidenhainMachine::onReceivingByte(char byte) {
    armTimer();
    switch (rx_) {
        case RxState::BetweenBlocks:
            if (holdTimer_) {
                return;  // still holding the PC off: it must not send yet
            }
            if (byte == kStx) {
                rx_ = RxState::InBlock;
                rxCheck_ = byte;
                rxBlock_.clear();
            } else if (byte == kEtx) {
                link_.send(std::string(1, kEot));
                if (rxListing_) {
                    listings_[current_.name] = rxText_;
                } else {
                    programs_[current_.name] = rxText_;
                }
                finish(true);
            } else if (byte == kEot) {
                finish(false, "the PC interrupted the transfer");
            } else if (byte != kDc1) {
                finish(false, "stray byte " + std::to_string(static_cast<unsigned char>(byte)) +
                                  " between blocks");
            }
            return;
        case RxState::InBlock:
            rxCheck_ = static_cast<char>(rxCheck_ ^ byte);
            if (byte == kEtb) {
                rx_ = RxState::CheckByte;
            } else {
                rxBlock_.push_back(byte);
            }
            return;
        case RxState::CheckByte:
            rx_ = RxState::BetweenBlocks;
            if (byte != rxCheck_) {
                link_.send(std::string(1, kNak));
                return;
            }
            answerGoodBlock();
            return;
    }
}

void HeidenhainMachine::answerGoodBlock() {
    const std::size_t n = blockNo_;
    if (faults_.eotAtBlock == n) {
        link_.send(std::string(1, kEot));
        finish(false, "the machine gave up at block " + std::to_string(n));
        return;
    }
    if (faults_.silentAtBlock == n) {
        return;  // the machine's timer ends the transfer
    }
    const auto nak = faults_.nakBlock.find(n);
    if (nak != faults_.nakBlock.end() && naksGiven_[n] < nak->second) {
        ++naksGiven_[n];
        link_.send(std::string(1, kNak));
        return;
    }
    if (faults_.dc1BeforeAck.contains(n) && !dc1Given_.contains(n)) {
        dc1Given_.insert(n);
        link_.send(std::string(1, kDc1));
        holdTimer_ = link_.after(settings_.dc1Hold, [this] {
            holdTimer_.reset();
            acceptBlock();
        });
        return;
    }
    acceptBlock();
}

void HeidenhainMachine::acceptBlock() {
    rxText_ += rxBlock_;
    if (!settings_.keepLineEnds) {
        rxText_ += "\r\n";
    }
    ++blockNo_;
    link_.send(std::string(1, kAck));
}

void HeidenhainMachine::startSending(const std::string& action, const std::string& name,
                                     const std::string& text) {
    current_ = {action, name, false, {}};
    phase_ = Phase::Sending;
    txBlocks_ = programBlocks(text, settings_.keepLineEnds, settings_.pieceLength);
    corrupted_.clear();
    blockNo_ = 0;
    sendCurrentBlock();
}

void HeidenhainMachine::sendCurrentBlock() {
    const std::size_t n = blockNo_;
    if (n == txBlocks_.size()) {
        link_.send(std::string(1, kEtx));
        phase_ = Phase::AwaitingEot;
        armTimer();
        return;
    }
    if (faults_.eotBeforeBlock == n) {
        link_.send(std::string(1, kEot));
        finish(false, "the machine gave up before block " + std::to_string(n));
        return;
    }
    if (faults_.silentBeforeBlock == n) {
        finish(false, "the machine went silent before block " + std::to_string(n));
        return;
    }
    txSends_ = 0;
    std::string frame = frameBlock(txBlocks_[n]);
    if (faults_.badCheckOnce.contains(n) && !corrupted_.contains(n)) {
        corrupted_.insert(n);
        frame.back() = static_cast<char>(frame.back() ^ 0x33);
    }
    if (faults_.dc1BetweenBlocks) {
        frame.insert(frame.begin(), kDc1);
    }
    ++txSends_;
    link_.send(frame);
    armTimer();
}

void HeidenhainMachine::onSendingByte(char byte) {
    if (byte == kAck) {
        ++blockNo_;
        if (settings_.blockPause.count() > 0) {
            holdTimer_ = link_.after(settings_.blockPause, [this] {
                holdTimer_.reset();
                sendCurrentBlock();
            });
        } else {
            sendCurrentBlock();
        }
    } else if (byte == kNak) {
        if (txSends_ >= kMostBlockSends) {
            finish(false, "block " + std::to_string(blockNo_) + " refused 4 times");
            return;
        }
        ++txSends_;
        link_.send(frameBlock(txBlocks_[blockNo_]));
        armTimer();
    } else if (byte == kEot) {
        finish(false, "the PC interrupted the transfer");
    } else if (byte == kDc1) {
        armTimer();
    } else {
        finish(false,
               "block answered with byte " + std::to_string(static_cast<unsigned char>(byte)));
    }
}

void HeidenhainMachine::finish(bool ok, const std::string& detail) {
    if (phase_ == Phase::PcHeader) {
        records_.push_back({"header", "", false, detail});
    } else {
        current_.ok = ok;
        current_.detail = detail;
        records_.push_back(current_);
    }
    phase_ = Phase::Idle;
    cancelTimer();
    if (holdTimer_) {
        link_.cancel(*holdTimer_);
        holdTimer_.reset();
    }
}

void HeidenhainMachine::armTimer() {
    cancelTimer();
    timer_ = link_.after(settings_.answerTimeout, [this] {
        timer_.reset();
        finish(false, "the PC did not answer in time");
    });
}

void HeidenhainMachine::cancelTimer() {
    if (timer_) {
        link_.cancel(*timer_);
        timer_.reset();
    }
}

}  // namespace sim
