// Numbers of the "Control Properties" texts in the program's string table.
#pragma once

namespace dnc::window::str {

inline constexpr int kControlPropertiesMenu = 1700;
inline constexpr int kControlProperties = 1701;
inline constexpr int kTipControlProperties = 1702;
inline constexpr int kControlPropertiesRunning = 1703;  // also the menu item's tip while it runs
inline constexpr int kControlPropertiesBadPause = 1704;
inline constexpr int kControlPropertiesNotApplied = 1705;
inline constexpr int kControlPropertiesRefused = 1706;

}  // namespace dnc::window::str
