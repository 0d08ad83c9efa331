// One or more simulated Ferix units on one DNC line: the PC's bytes go in, the units' answers
// come out through the output, and everything the units report is kept and handed to the
// event sink. Single-threaded; the line drivers serialize access.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "sim/unit/SimulatedUnit.h"
#include "sim/unit/UnitFrames.h"

namespace sim::unit {

class UnitSimulator {
public:
    using Output = std::function<void(const std::string&)>;
    using EventSink = std::function<void(const UnitEvent&)>;

    void setOutput(Output output) { output_ = std::move(output); }
    void setEventSink(EventSink sink) { sink_ = std::move(sink); }

    // Adds a unit at `address` (replacing one that was there).
    SimulatedUnit& addUnit(std::uint8_t address);
    SimulatedUnit* unit(std::uint8_t address);
    std::vector<std::uint8_t> addresses() const;

    // Bytes from the PC.
    void receive(std::uint8_t byte);
    void receive(std::string_view bytes);

    const std::vector<UnitEvent>& events() const { return events_; }
    // Events of `kind` so far.
    std::vector<UnitEvent> eventsOf(UnitEvent::Kind kind) const;
    std::size_t bytesReceived() const { return bytesReceived_; }
    // Polls the PC sent to `address` so far, whether a unit is there or not.
    std::size_t pollsOf(std::uint8_t address) const;
    // A long session hands its events to the sink only and keeps none.
    void setKeepEvents(bool keep) { keepEvents_ = keep; }

private:
    void report(const UnitEvent& event);

    PcFrameParser parser_;
    std::map<std::uint8_t, std::unique_ptr<SimulatedUnit>> units_;
    SimulatedUnit* talker_ = nullptr;  // sent the last block; the PC's DLE OK is for it
    Output output_;
    EventSink sink_;
    std::vector<UnitEvent> events_;
    std::size_t bytesReceived_ = 0;
    std::map<std::uint8_t, std::size_t> polls_;
    bool keepEvents_ = true;
};

}  // namespace sim::unit
