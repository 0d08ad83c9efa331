// The shares of the window width that the three panes get (PC programs, unit directory, unit
// memory), as stored and as the splitters change them.
#pragma once

namespace dnc::window {

struct PaneShares {
    float left = 0.334F;
    float middle = 0.333F;
    float right = 0.333F;
};

// Stored shares made usable: any share outside 0..1, or left and middle above 1 together, gives
// the defaults; otherwise the right pane takes what the first two leave.
PaneShares validatePaneShares(float left, float middle, float right);

// The shares of three pane widths (all zero gives the defaults).
PaneShares sharesOfWidths(int left, int middle, int right);

}  // namespace dnc::window
