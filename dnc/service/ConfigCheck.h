// The check mode of the program: the settings file read as the service would read it, every
// problem printed as "FILE:LINE: section/key: message", then the sub nets the service would
// start with their ports and the state of each device. Nothing is written and no line is
// started.
#pragma once

#include <filesystem>
#include <ostream>
#include <vector>

namespace dnc {

// `subNets`: those to list; empty: the sub nets flagged for start-up. Returns the exit
// status: 0 when the file holds no problem, 1 otherwise (also when it cannot be read). The
// state of the devices is shown but does not count: the service waits for a missing port.
int checkConfiguration(const std::filesystem::path& file, const std::vector<int>& subNets,
                       std::ostream& out);

}  // namespace dnc
