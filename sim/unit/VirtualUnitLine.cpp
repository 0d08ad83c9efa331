#include "sim/unit/VirtualUnitLine.h"

namespace sim::unit {

void attachToVirtualLine(UnitSimulator& units, VirtualLine& line) {
    line.setPeerReceiver([&units](std::uint8_t byte) { units.receive(byte); });
    units.setOutput([&line](const std::string& bytes) { line.peerSend(bytes); });
}

}  // namespace sim::unit
