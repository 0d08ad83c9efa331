#include "comm/link/Indicator.h"

namespace comm {

void Indicator::StepIndicator() {
    step_ = step_ < 8 ? step_ + 1 : 1;
    show_(step_);
}

void Indicator::BlinkIndicator() {
    if (blink_ != 1) {
        show_(1);
        blink_ = 1;
    } else {
        show_(2);
        blink_ = 2;
    }
}

}  // namespace comm
