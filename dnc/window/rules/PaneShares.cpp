#include "dnc/window/rules/PaneShares.h"

namespace dnc::window {

namespace {

bool outside(float share) {
    // NaN compares false both ways: it is outside too.
    return !(share >= 0.0F && share <= 1.0F);
}

}  // namespace

PaneShares validatePaneShares(float left, float middle, float right) {
    if (outside(left) || outside(middle) || outside(right) || left + middle > 1.0F) {
        return PaneShares{};
    }
    PaneShares shares{left, middle, right};
    if (left + middle + right != 1.0F) {
        shares.right = 1.0F - left - middle;
    }
    if (shares.right < 0.0F) {
        shares.right = 0.0F;  // rounding of a sum just at 1
    }
    return shares;
}

PaneShares sharesOfWidths(int left, int middle, int right) {
    const int total = left + middle + right;
    if (left < 0 || middle < 0 || right < 0 || total <= 0) {
        return PaneShares{};
    }
    const float l = static_cast<float>(left) / static_cast<float>(total);
    const float m = static_cast<float>(middle) / static_cast<float>(total);
    return validatePaneShares(l, m, 1.0F - l - m);
}

}  // namespace dnc::window
