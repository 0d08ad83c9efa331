#include "comm/link/TelnetCodec.h"

namespace comm::telnet {

namespace {

constexpr std::uint8_t kCr = 13;
constexpr std::uint8_t kNul = 0;

void command(std::vector<std::uint8_t>& wire, std::uint8_t verb, std::uint8_t option) {
    wire.insert(wire.end(), {kIac, verb, option});
}

}  // namespace

bool TelnetCodec::localSupported(std::uint8_t option) {
    return option == kOptionBinary || option == kOptionSuppressGoAhead || option == kOptionComPort;
}

bool TelnetCodec::remoteSupported(std::uint8_t option) {
    return option == kOptionBinary || option == kOptionSuppressGoAhead;
}

void TelnetCodec::start(bool comPort, std::vector<std::uint8_t>& wire) {
    const auto offer = [&](std::array<Option, 256>& side, std::uint8_t verb, std::uint8_t o) {
        if (!side[o].enabled && !side[o].requested) {
            side[o].requested = true;
            command(wire, verb, o);
        }
    };
    offer(local_, kWill, kOptionBinary);
    offer(remote_, kDo, kOptionBinary);
    offer(local_, kWill, kOptionSuppressGoAhead);
    offer(remote_, kDo, kOptionSuppressGoAhead);
    if (comPort) {
        offer(local_, kWill, kOptionComPort);
    }
}

void TelnetCodec::encodeData(std::span<const std::uint8_t> data,
                             std::vector<std::uint8_t>& wire) const {
    const bool binary = sendsBinary();
    for (const std::uint8_t b : data) {
        wire.push_back(b);
        if (b == kIac) {
            wire.push_back(kIac);
        } else if (b == kCr && !binary) {
            wire.push_back(kNul);
        }
    }
}

void TelnetCodec::encodeComPort(ComPortCommand cmd, std::span<const std::uint8_t> value,
                                std::vector<std::uint8_t>& wire) {
    wire.insert(wire.end(), {kIac, kSb, kOptionComPort, static_cast<std::uint8_t>(cmd)});
    for (const std::uint8_t b : value) {
        wire.push_back(b);
        if (b == kIac) {
            wire.push_back(kIac);
        }
    }
    wire.insert(wire.end(), {kIac, kSe});
}

std::optional<std::vector<std::uint8_t>> TelnetCodec::answer(ComPortCommand cmd) const {
    const auto index = static_cast<std::size_t>(cmd);
    return index < answersByCommand_.size() ? answersByCommand_[index] : std::nullopt;
}

std::size_t TelnetCodec::answerCount(ComPortCommand cmd) const {
    const auto index = static_cast<std::size_t>(cmd);
    return index < answerCounts_.size() ? answerCounts_[index] : 0;
}

std::size_t TelnetCodec::dataBeforeAnswer(ComPortCommand cmd) const {
    const auto index = static_cast<std::size_t>(cmd);
    return index < dataBeforeAnswers_.size() ? dataBeforeAnswers_[index] : 0;
}

void TelnetCodec::decode(std::span<const std::uint8_t> wire, std::vector<std::uint8_t>& data,
                         std::vector<std::uint8_t>& replies) {
    for (const std::uint8_t b : wire) {
        switch (state_) {
            case State::Cr:
                // CR NUL stands for a bare CR while the server does not send binary.
                state_ = State::Data;
                if (b == kNul) {
                    break;
                }
                [[fallthrough]];
            case State::Data:
                if (b == kIac) {
                    state_ = State::Iac;
                } else {
                    data.push_back(b);
                    if (b == kCr && !receivesBinary()) {
                        state_ = State::Cr;
                    }
                }
                break;
            case State::Iac:
                state_ = State::Data;
                if (b == kIac) {
                    data.push_back(b);
                } else if (b == kWill || b == kWont || b == kDo || b == kDont) {
                    verb_ = b;
                    state_ = State::Verb;
                } else if (b == kSb) {
                    sub_.clear();
                    subOverflow_ = false;
                    state_ = State::Sub;
                }
                // Other commands (NOP, GA, data mark, ...) carry nothing for a serial line.
                break;
            case State::Verb:
                negotiate(verb_, b, replies);
                state_ = State::Data;
                break;
            case State::Sub:
                if (b == kIac) {
                    state_ = State::SubIac;
                } else if (sub_.size() < kMaxSubnegotiation) {
                    sub_.push_back(b);
                } else {
                    subOverflow_ = true;
                }
                break;
            case State::SubIac:
                if (b == kIac) {
                    if (sub_.size() < kMaxSubnegotiation) {
                        sub_.push_back(b);
                    }
                    state_ = State::Sub;
                } else {
                    // SE ends it; anything else is a broken subnegotiation, ended all the same
                    // so that the data after it is not lost.
                    if (b == kSe && !subOverflow_) {
                        if (const auto answered = subnegotiation()) {
                            ++answerCounts_[*answered];
                            dataBeforeAnswers_[*answered] = data.size();
                        }
                    }
                    state_ = State::Data;
                }
                break;
        }
    }
}

std::optional<std::size_t> TelnetCodec::subnegotiation() {
    if (sub_.size() < 2 || sub_[0] != kOptionComPort) {
        return std::nullopt;
    }
    const std::uint8_t code = sub_[1];
    if (code ==
        kServerCommandOffset + static_cast<std::uint8_t>(ComPortCommand::FlowControlSuspend)) {
        flowSuspended_ = true;
    } else if (code == kServerCommandOffset +
                           static_cast<std::uint8_t>(ComPortCommand::FlowControlResume)) {
        flowSuspended_ = false;
    }
    if (code >= kServerCommandOffset &&
        code - kServerCommandOffset < static_cast<int>(answersByCommand_.size())) {
        const auto index = static_cast<std::size_t>(code - kServerCommandOffset);
        answersByCommand_[index] = std::vector<std::uint8_t>(sub_.begin() + 2, sub_.end());
        ++answers_;
        return index;
    }
    return std::nullopt;
}

// The Q method of RFC 1143 without its queue bits: answer a request only when it changes
// the option's state, so that two sides never loop on each other's answers.
void TelnetCodec::negotiate(std::uint8_t verb, std::uint8_t option,
                            std::vector<std::uint8_t>& replies) {
    const bool local = verb == kDo || verb == kDont;
    const bool enable = verb == kDo || verb == kWill;
    Option& state = local ? local_[option] : remote_[option];
    const bool supported = local ? localSupported(option) : remoteSupported(option);
    const std::uint8_t yes = local ? kWill : kDo;
    const std::uint8_t no = local ? kWont : kDont;
    if (enable) {
        if (state.enabled) {
            return;
        }
        if (!supported) {
            command(replies, no, option);
            return;
        }
        state.enabled = true;
        if (!state.requested) {
            command(replies, yes, option);
        }
        state.requested = false;
        return;
    }
    if (local && option == kOptionComPort && (state.requested || state.enabled)) {
        comPortRefused_ = true;
    }
    if (state.enabled || state.requested) {
        const bool answerNeeded = state.enabled && !state.requested;
        state.enabled = false;
        state.requested = false;
        if (answerNeeded) {
            command(replies, no, option);
        }
    }
}

}  // namespace comm::telnet
