#include "dnc/service/HistorySettings.h"

namespace dnc {

namespace {

constexpr std::int64_t kMostDays = 36500;
constexpr std::int64_t kMostMegabytes = 1024 * 1024;

}  // namespace

history::RecorderOptions historyRecorderOptions(const ConfigStore& store,
                                                const std::filesystem::path& database,
                                                std::function<void(const std::string&)> report) {
    const StoreSection common = store.section("Common");
    history::RecorderOptions options;
    options.database = database;
    options.site = common.readString("PlantSite", "");
    options.keepPrograms = common.readBool("HistoryKeepPrograms", false);
    options.retention.days = static_cast<int>(common.readInt("HistoryKeepDays", 0, 0, kMostDays));
    options.retention.megabytes = common.readInt("HistoryKeepMegabytes", 0, 0, kMostMegabytes);
    options.report = std::move(report);
    return options;
}

}  // namespace dnc
