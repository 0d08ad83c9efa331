#include "dnc/window/rules/QueuedRefreshes.h"

#include <cstddef>

namespace dnc::window {

bool QueuedRefreshes::claim(int unit) {
    return !valid(unit) || !waiting_[static_cast<std::size_t>(unit)].exchange(true);
}

void QueuedRefreshes::starting(int unit) {
    if (valid(unit)) {
        waiting_[static_cast<std::size_t>(unit)] = false;
    }
}

bool QueuedRefreshes::waiting(int unit) const {
    return valid(unit) && waiting_[static_cast<std::size_t>(unit)];
}

}  // namespace dnc::window
