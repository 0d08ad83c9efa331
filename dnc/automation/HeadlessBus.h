// The headless service with its D-Bus export: the service's events are served from a Qt event
// loop (no display needed), and the network is exported on the session or the system bus.
#pragma once

#include <atomic>

#include "dnc/service/EventLog.h"
#include "dnc/service/HeadlessService.h"

namespace dnc::automation {

enum class BusKind { Session, System };

// Starts the service's sub nets and serves them until `stop` is set; then closes every sub net
// and returns 0. Without a reachable bus the lines are served all the same (the log says why
// nobody can drive them). `argc`/`argv` go to the Qt application object.
int runHeadlessOnBus(HeadlessService& service, EventLog& log, BusKind bus,
                     const std::atomic<bool>& stop, int argc, char** argv);

}  // namespace dnc::automation
