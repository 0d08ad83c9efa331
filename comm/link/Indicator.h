// The small activity picture of the control: 1 idle or inactive, 2 active, 1 to 8 the
// animation while blocks move.
#pragma once

#include "comm/Export.h"

#include <functional>

namespace comm {

class FERIXCOMM_API Indicator {
public:
    explicit Indicator(std::function<void(int)> show) : show_(std::move(show)) {}

    void show(int picture) { show_(picture); }
    // Advances the animation by one picture: 1, 2, ... 8, 1, ...
    void StepIndicator();
    // Toggles between pictures 1 and 2.
    void BlinkIndicator();

    int stepCounter() const { return step_; }

private:
    std::function<void(int)> show_;
    int step_ = 0;
    int blink_ = 0;
};

}  // namespace comm
