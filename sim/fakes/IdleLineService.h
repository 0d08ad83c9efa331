// A block-protocol service loop that serves nothing: it lets the host's messages run until the
// line is switched off. For tests of what runs around a line rather than on it.
#pragma once

#include <chrono>

#include "comm/FerixComm.h"
#include "comm/LineService.h"

namespace sim {

class IdleLineService : public comm::LineService {
public:
    explicit IdleLineService(comm::ctrlFerixComm& control) : control_(control) {}
    comm::Status run() override {
        while (control_.Active()) {
            control_.host().sleep(std::chrono::milliseconds(5));
            control_.setLoopAtRest(true);  // nothing is ever in the middle of an exchange
            control_.host().pump();
            control_.setLoopAtRest(false);
        }
        return {};
    }

    static void install(comm::ctrlFerixComm& control, comm::ProtocolEnum protocol) {
        control.setServiceFactory(
            protocol, [](comm::ctrlFerixComm& c) { return std::make_unique<IdleLineService>(c); });
    }

private:
    comm::ctrlFerixComm& control_;
};

}  // namespace sim
