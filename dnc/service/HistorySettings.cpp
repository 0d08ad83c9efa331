#include "dnc/service/HistorySettings.h"

#include "dnc/config/SettingRules.h"
#include "dnc/history/HistoryLocation.h"
#include "dnc/history/ServerLocation.h"

namespace dnc {

namespace {

constexpr std::int64_t kMostDays = 36500;
constexpr std::int64_t kMostMegabytes = 1024 * 1024;
constexpr std::int64_t kDefaultRequestSeconds = 3;
constexpr std::int64_t kMostRequestSeconds = 3600;

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
    if (history::isServerLocation(database.string())) {
        options.spool = history::spoolPath();
    }
    return options;
}

std::chrono::milliseconds requestInterval(const ConfigStore& store) {
    return std::chrono::seconds(store.section("Common").readInt(
        "RequestInterval", kDefaultRequestSeconds, 1, kMostRequestSeconds));
}

std::filesystem::path historyLocation(const ConfigStore& store,
                                      const std::optional<std::string>& given,
                                      const std::optional<std::string>& fallback) {
    if (given && !given->empty()) {
        return history::historyPath(given);
    }
    std::string configured = store.section("Common").readString("HistoryDatabase", "");
    if (!historyLocationHolds(configured)) {
        configured.clear();  // --check-config says so
    }
    if (configured.empty() && fallback && !fallback->empty()) {
        return history::historyPath(fallback);
    }
    return history::historyPath(configured.empty() ? std::nullopt
                                                   : std::optional<std::string>(configured));
}

}  // namespace dnc
