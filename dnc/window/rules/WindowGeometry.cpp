#include "dnc/window/rules/WindowGeometry.h"

#include <cmath>
#include <limits>

namespace dnc::window {

namespace {

constexpr double kTwipsPerInch = 1440.0;

double usableDpi(double dotsPerInch) {
    return dotsPerInch > 0.0 ? dotsPerInch : 96.0;
}

}  // namespace

TwipsRect limitStoredGeometry(TwipsRect stored, std::int64_t screenWidth,
                              std::int64_t screenHeight) {
    if (stored.left < 0 || stored.left > screenWidth) {
        stored.left = 0;
    }
    if (stored.top < 0 || stored.top > screenHeight) {
        stored.top = 0;
    }
    if (stored.width < kMinStoredTwips) {
        stored.width = kMinStoredTwips;
    }
    if (stored.height < kMinStoredTwips) {
        stored.height = kMinStoredTwips;
    }
    return stored;
}

std::int64_t twipsFromPixels(int pixels, double dotsPerInch) {
    return std::llround(pixels * kTwipsPerInch / usableDpi(dotsPerInch));
}

int pixelsFromTwips(std::int64_t twips, double dotsPerInch) {
    const double pixels =
        std::round(static_cast<double>(twips) * usableDpi(dotsPerInch) / kTwipsPerInch);
    constexpr double kMax = std::numeric_limits<int>::max() / 2;
    return static_cast<int>(pixels > kMax ? kMax : pixels < -kMax ? -kMax : pixels);
}

TwipsRect storedWindowGeometry(PixelRect frame, PixelRect inner, double dotsPerInch) {
    return {twipsFromPixels(frame.x, dotsPerInch), twipsFromPixels(frame.y, dotsPerInch),
            twipsFromPixels(inner.width, dotsPerInch), twipsFromPixels(inner.height, dotsPerInch)};
}

PixelRect restoredWindowGeometry(TwipsRect stored, double dotsPerInch) {
    return {pixelsFromTwips(stored.left, dotsPerInch), pixelsFromTwips(stored.top, dotsPerInch),
            pixelsFromTwips(stored.width, dotsPerInch),
            pixelsFromTwips(stored.height, dotsPerInch)};
}

}  // namespace dnc::window
