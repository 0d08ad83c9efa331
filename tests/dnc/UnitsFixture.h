// A ProtDNC control and simulated units on one virtual line.
#pragma once

#include <vector>

#include "comm/dnc/DncService.h"
#include "sim/unit/UnitSimulator.h"
#include "sim/unit/VirtualUnitLine.h"
#include "tests/dnc/DncFixture.h"

class UnitsFixture : public DncFixture {
protected:
    UnitsFixture() : service(control) {
        for (std::uint8_t address : {1, 2, 3}) {
            units.addUnit(address);
        }
        sim::unit::attachToVirtualLine(units, line);
        service.prepare();
    }

    sim::unit::SimulatedUnit& unit(std::uint8_t address) { return *units.unit(address); }

    // The last event of `kind` from `address`; fails the test when there is none.
    sim::unit::UnitEvent last(sim::unit::UnitEvent::Kind kind, std::uint8_t address = 1) const {
        for (auto it = units.events().rbegin(); it != units.events().rend(); ++it) {
            if (it->kind == kind && it->unit == address) {
                return *it;
            }
        }
        ADD_FAILURE() << "no event of kind " << kind << " from unit " << int(address);
        return {};
    }

    // Block codes of the data frames the PC sent to `address`, polls left out.
    std::vector<int> blockCodesTo(std::uint8_t address) const {
        sim::unit::PcFrameParser parser;
        std::vector<int> codes;
        for (std::uint8_t byte : line.receivedByPeer()) {
            const auto frame = parser.feed(byte);
            if (frame && frame->kind == sim::unit::PcFrame::DataBlock &&
                frame->address == address && !frame->isPoll()) {
                codes.push_back(frame->code);
            }
        }
        return codes;
    }

    // Runs the polling loop until `done` holds (checked whenever the control lets the host
    // run) or `limitMicros` of virtual time have passed.
    comm::Status runUntil(const std::function<bool()>& done,
                          sim::VirtualHost::Micros limitMicros = 60'000'000) {
        const auto limit = host.nowMicros() + limitMicros;
        host.setPumpHook([&] {
            if (control.Active() && (done() || host.nowMicros() > limit)) {
                EXPECT_TRUE(control.setActive(false));
            }
            if (onPump) {
                onPump();
            }
        });
        comm::Status result = control.setActive(true);
        host.setPumpHook({});
        return result;
    }

    bool hasEvent(sim::unit::UnitEvent::Kind kind) const { return !units.eventsOf(kind).empty(); }

    sim::unit::UnitSimulator units;
    comm::dnc::DncService service;
    std::function<void()> onPump;
};
