#include "sim/virtual/VirtualLine.h"

#include <cerrno>
#include <cstring>

namespace sim {

// The control's end of the line.
class VirtualPort : public comm::SerialPort {
public:
    explicit VirtualPort(VirtualLine& line) : line_(line) {}
    ~VirtualPort() override { close(); }

    comm::Status open(const std::string& device, const comm::LineSettings& settings,
                      const comm::LineControl& control) override {
        if (device != line_.device_ || !line_.devicePresent_) {
            return comm::ComError{ENOENT, "SerialPort",
                                  "Cannot open " + device + ": " + std::strerror(ENOENT), "", 0};
        }
        line_.open_ = true;
        line_.deviceLost_ = false;
        line_.settings_ = settings;
        line_.control_ = control;
        return {};
    }
    void close() override {
        line_.open_ = false;
        line_.receivedByControl_.clear();
    }
    bool isOpen() const override { return line_.open_; }

    comm::Status configure(const comm::LineSettings& settings) override {
        line_.settings_ = settings;
        return {};
    }
    comm::Status applyControl(const comm::LineControl& control) override {
        line_.control_ = control;
        ++line_.applyControlCalls_;
        return {};
    }

    comm::WriteProgress startWrite(std::span<const std::uint8_t> data) override {
        if (!line_.open_) {
            return {comm::WriteProgress::Failed, 0, EBADF};
        }
        if (line_.writeError_ != 0) {
            return {comm::WriteProgress::Failed, 0, line_.writeError_};
        }
        if (line_.deviceLost_) {
            return {comm::WriteProgress::Failed, 0, EIO};
        }
        VirtualHost& host = line_.host_;
        const auto charTime = line_.charTime();
        auto t = std::max(host.nowMicros(), line_.toPeerFreeAt_);
        line_.writeTotal_ = data.size();
        line_.writeDelivered_ = 0;
        const auto generation = line_.toPeerGeneration_;
        for (std::uint8_t byte : data) {
            t += charTime;
            host.at(t, [this, byte, generation] {
                if (generation != line_.toPeerGeneration_ || !line_.open_) {
                    return;
                }
                ++line_.writeDelivered_;
                line_.deliver(true, byte);
            });
        }
        line_.toPeerFreeAt_ = t;
        line_.writeDoneAt_ = t;
        return progress();
    }

    comm::WriteProgress waitWrite(int timeoutMs) override {
        if (line_.writeError_ != 0) {
            return {comm::WriteProgress::Failed, line_.writeDelivered_, line_.writeError_};
        }
        if (line_.deviceLost_) {
            return {comm::WriteProgress::Failed, line_.writeDelivered_, EIO};
        }
        VirtualHost& host = line_.host_;
        const auto limit = host.nowMicros() + std::int64_t{timeoutMs} * 1000;
        host.advanceTo(std::min(limit, line_.writeDoneAt_));
        return progress();
    }

    std::size_t bytesWaiting() override { return line_.receivedByControl_.size(); }
    std::uint8_t readByte() override {
        if (line_.receivedByControl_.empty()) {
            return 0;
        }
        const std::uint8_t byte = line_.receivedByControl_.front();
        line_.receivedByControl_.pop_front();
        return byte;
    }
    void flushInput() override { line_.receivedByControl_.clear(); }
    void flushOutput() override {
        ++line_.toPeerGeneration_;
        line_.toPeerFreeAt_ = line_.host_.nowMicros();
        line_.writeDoneAt_ = line_.toPeerFreeAt_;
    }
    std::size_t outputBufferSize() const override { return 1024; }
    void purgeOutput() override { flushOutput(); }
    int deviceLost() override { return line_.open_ && line_.deviceLost_ ? EIO : 0; }

private:
    comm::WriteProgress progress() const {
        const bool done = line_.host_.nowMicros() >= line_.writeDoneAt_;
        return {done ? comm::WriteProgress::Done : comm::WriteProgress::Pending,
                done ? line_.writeTotal_ : line_.writeDelivered_, 0};
    }

    VirtualLine& line_;
};

VirtualLine::VirtualLine(VirtualHost& host, std::string device)
    : host_(host), device_(std::move(device)) {}

std::unique_ptr<comm::SerialPort> VirtualLine::controlEnd() {
    return std::make_unique<VirtualPort>(*this);
}

VirtualHost::Micros VirtualLine::charTime() const {
    const double micros = settings_.bitsPerCharacter() * 1e6 / settings_.speed;
    return std::max<VirtualHost::Micros>(1, static_cast<VirtualHost::Micros>(micros + 0.5));
}

void VirtualLine::peerSend(std::span<const std::uint8_t> bytes) {
    auto t = std::max(host_.nowMicros(), toControlFreeAt_);
    const auto generation = toControlGeneration_;
    for (std::uint8_t byte : bytes) {
        t += charTime();
        host_.at(t, [this, byte, generation] {
            if (generation != toControlGeneration_ || !open_) {
                return;
            }
            deliver(false, byte);
        });
    }
    toControlFreeAt_ = t;
}

void VirtualLine::peerSend(const std::string& bytes) {
    peerSend({reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()});
}

void VirtualLine::removeDevice() {
    devicePresent_ = false;
    deviceLost_ = open_;
    ++toPeerGeneration_;  // what was still on its way dies with the device
    ++toControlGeneration_;
    receivedByControl_.clear();
}

void VirtualLine::setWireFaults(const WireFaults& faults, std::uint64_t seed) {
    faults_ = faults;
    random_.seed(seed);
}

bool VirtualLine::chance(double probability) {
    return probability > 0 && std::uniform_real_distribution<double>(0, 1)(random_) < probability;
}

void VirtualLine::deliver(bool toPeer, std::uint8_t byte) {
    ++tally_.carried;
    if (peerCut_) {
        ++tally_.cut;
        return;
    }
    int copies = 1;
    if (chance(faults_.drop)) {
        ++tally_.dropped;
        copies = 0;
    } else {
        if (chance(faults_.corrupt)) {
            ++tally_.corrupted;
            byte ^=
                static_cast<std::uint8_t>(1u << std::uniform_int_distribution<int>(0, 7)(random_));
        }
        if (chance(faults_.duplicate)) {
            ++tally_.duplicated;
            copies = 2;
        }
    }
    for (int i = 0; i < copies; ++i) {
        log_.push_back({host_.nowMicros(), toPeer, byte});
        if (toPeer) {
            receivedByPeer_.push_back(byte);
            if (peerReceiver_) {
                peerReceiver_(byte);
            }
        } else {
            receivedByControl_.push_back(byte);
        }
    }
}

std::string VirtualLine::receivedText() const {
    return std::string(receivedByPeer_.begin(), receivedByPeer_.end());
}

}  // namespace sim
