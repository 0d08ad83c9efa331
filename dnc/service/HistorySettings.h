// The history recorder as the settings ask for it, section "Common":
//   HistoryKeepPrograms=True   keep each distinct program sent to a unit once, by its hash
//   HistoryKeepDays=N          drop a kept program not sent for N days (0: never)
//   HistoryKeepMegabytes=N     keep at most N MiB of programs, dropping those sent longest
//                              ago first (0: no limit)
#pragma once

#include <filesystem>
#include <functional>
#include <string>

#include "dnc/config/ConfigStore.h"
#include "dnc/history/HistoryRecorder.h"

namespace dnc {

history::RecorderOptions historyRecorderOptions(const ConfigStore& store,
                                                const std::filesystem::path& database,
                                                std::function<void(const std::string&)> report);

}  // namespace dnc
