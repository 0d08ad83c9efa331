#pragma once

#include "comm/Export.h"

#include <functional>

#include "comm/Host.h"

namespace comm {

// Wall-clock host. The pump runs whatever the owner of the thread hands in (its message queue).
class FERIXCOMM_API RealHost : public Host {
public:
    explicit RealHost(std::function<void()> pump = {}) : pump_(std::move(pump)) {}

    std::chrono::milliseconds now() override;
    void sleep(std::chrono::milliseconds duration) override;
    void pump() override;

private:
    std::function<void()> pump_;
};

}  // namespace comm
