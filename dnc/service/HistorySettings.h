// The history recorder as the settings ask for it, section "Common":
//   HistoryKeepPrograms=True   keep each distinct program sent to a unit once, by its hash
//   HistoryKeepDays=N          drop a kept program not sent for N days (0: never)
//   HistoryKeepMegabytes=N     keep at most N MiB of programs, dropping those sent longest
//                              ago first (0: no limit)
//   HistoryDatabase=LOCATION   the history: a file, or a postgresql:// URI of a server that
//                              several PCs share (--history overrides it)
//   PlantSite=NAME             the site every record carries (default: the host name)
//   RequestInterval=SECONDS    how often the decision requests other sites filed for this
//                              one are looked for (default 3)
#pragma once

#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "dnc/config/ConfigStore.h"
#include "dnc/history/HistoryRecorder.h"

namespace dnc {

history::RecorderOptions historyRecorderOptions(const ConfigStore& store,
                                                const std::filesystem::path& database,
                                                std::function<void(const std::string&)> report);

// How often this site's open decision requests are looked for.
std::chrono::milliseconds requestInterval(const ConfigStore& store);

// Where the history is: `given` (--history), else HistoryDatabase= in "Common", else
// `fallback` (--default-history), else the default file.
std::filesystem::path historyLocation(const ConfigStore& store,
                                      const std::optional<std::string>& given,
                                      const std::optional<std::string>& fallback = std::nullopt);

}  // namespace dnc
