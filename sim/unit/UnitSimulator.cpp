#include "sim/unit/UnitSimulator.h"

namespace sim::unit {

SimulatedUnit& UnitSimulator::addUnit(std::uint8_t address) {
    auto unit =
        std::make_unique<SimulatedUnit>(address, [this](const UnitEvent& event) { report(event); });
    SimulatedUnit& added = *unit;
    if (talker_ != nullptr && talker_->address() == address) {
        talker_ = nullptr;
    }
    units_[address] = std::move(unit);
    return added;
}

SimulatedUnit* UnitSimulator::unit(std::uint8_t address) {
    const auto it = units_.find(address);
    return it == units_.end() ? nullptr : it->second.get();
}

std::vector<std::uint8_t> UnitSimulator::addresses() const {
    std::vector<std::uint8_t> out;
    for (const auto& [address, unit] : units_) {
        out.push_back(address);
    }
    return out;
}

void UnitSimulator::receive(std::string_view bytes) {
    for (char c : bytes) {
        receive(static_cast<std::uint8_t>(c));
    }
}

void UnitSimulator::receive(std::uint8_t byte) {
    ++bytesReceived_;
    const std::optional<PcFrame> frame = parser_.feed(byte);
    if (!frame) {
        return;
    }
    if (frame->kind == PcFrame::Acknowledge) {
        if (talker_ != nullptr) {
            talker_->onAcknowledge();
            talker_ = nullptr;
        }
        return;
    }
    if (frame->isPoll() && frame->intact) {
        ++polls_[frame->address];
    }
    SimulatedUnit* addressed = unit(frame->address);
    if (addressed != talker_) {
        talker_ = nullptr;
    }
    if (addressed == nullptr) {
        return;
    }
    SimulatedUnit::Reply reply = addressed->onFrame(*frame);
    if (reply.isBlock) {
        talker_ = addressed;
    }
    if (!reply.bytes.empty() && output_) {
        output_(reply.bytes);
    }
}

std::size_t UnitSimulator::pollsOf(std::uint8_t address) const {
    const auto it = polls_.find(address);
    return it == polls_.end() ? 0 : it->second;
}

std::vector<UnitEvent> UnitSimulator::eventsOf(UnitEvent::Kind kind) const {
    std::vector<UnitEvent> out;
    for (const UnitEvent& e : events_) {
        if (e.kind == kind) {
            out.push_back(e);
        }
    }
    return out;
}

void UnitSimulator::report(const UnitEvent& event) {
    if (keepEvents_) {
        events_.push_back(event);
    }
    if (sink_) {
        sink_(event);
    }
}

}  // namespace sim::unit
