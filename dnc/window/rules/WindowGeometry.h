// The window's stored position and size. They are kept in twips (1/1440 inch), the unit of the
// stored defaults and limits; the window converts with the screen's resolution.
#pragma once

#include <cstdint>

namespace dnc::window {

inline constexpr int kMinWidthPixels = 400;
inline constexpr int kMinHeightPixels = 330;
inline constexpr std::int64_t kMinStoredTwips = 1000;

struct TwipsRect {
    std::int64_t left = 0;
    std::int64_t top = 0;
    std::int64_t width = 0;
    std::int64_t height = 0;
};

// A position below 0 or beyond the screen becomes 0; a width or height below 1000 becomes 1000.
TwipsRect limitStoredGeometry(TwipsRect stored, std::int64_t screenWidth,
                              std::int64_t screenHeight);

struct PixelRect {
    int x = 0;
    int y = 0;
    int width = 0;
    int height = 0;
};

// What the window stores: the position of its outer frame (where a move places the window
// again) and its inner size (what a resize sets again). Storing the inner position would move
// the window by its frame's width and title bar at every opening.
TwipsRect storedWindowGeometry(PixelRect frame, PixelRect inner, double dotsPerInch);
// Where a stored geometry places the window: the frame's position, the inner size.
PixelRect restoredWindowGeometry(TwipsRect stored, double dotsPerInch);

std::int64_t twipsFromPixels(int pixels, double dotsPerInch);
int pixelsFromTwips(std::int64_t twips, double dotsPerInch);

}  // namespace dnc::window
