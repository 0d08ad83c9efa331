// The History view's rules that need no window: which rows it asks for, the texts of a row
// (local time, the direction, starter and outcome in the program's language) and the name of
// the read-only copy of a kept program.
#pragma once

#include <array>
#include <filesystem>
#include <string>

#include "dnc/history/HistoryStore.h"
#include "dnc/window/rules/UnitSelector.h"

namespace dnc::window {

// The most rows one query brings, so that a large history never holds the window up.
inline constexpr int kHistoryViewLimit = 1000;

// The view's columns, in order.
enum class HistoryColumn {
    Time,
    Unit,
    Direction,
    StartedBy,
    User,
    Name,
    Size,
    Outcome,
    Error,
    Sha256
};
inline constexpr std::size_t kHistoryColumnCount = 10;

// The string numbers of the view's texts.
namespace histr {
inline constexpr int kMenuItem = 1450;
inline constexpr int kTitle = 1451;
inline constexpr int kAllUnits = 1452;
inline constexpr int kSearch = 1453;
// The columns' titles, in column order.
inline constexpr std::array<int, kHistoryColumnCount> kColumnTitles{1454, 1455, 1456, 1457, 1484,
                                                                    1458, 1459, 1460, 1461, 1462};
inline constexpr int kToUnit = 1463;
inline constexpr int kFromUnit = 1464;
inline constexpr int kInclude = 1465;
inline constexpr int kExclude = 1466;
inline constexpr int kByUnit = 1467;
inline constexpr int kByOperator = 1468;
inline constexpr int kByWindow = 1469;
inline constexpr int kDone = 1470;
inline constexpr int kFailed = 1471;
inline constexpr int kStopped = 1472;
inline constexpr int kCount = 1473;
inline constexpr int kLimited = 1474;
inline constexpr int kCannotRead = 1475;
inline constexpr int kNoHistory = 1476;
inline constexpr int kNotKept = 1477;
inline constexpr int kCannotWrite = 1478;
inline constexpr int kRefresh = 1479;
inline constexpr int kClose = 1480;
inline constexpr int kReading = 1481;
inline constexpr int kOpenTip = 1482;
inline constexpr int kSearchTip = 1483;
}  // namespace histr

// The rows of the sub net, of `unit` unless `allUnits` (or no unit is selected), whose name
// contains `search` (surrounding blanks ignored), newest first, at most the view's limit. On a
// history that several sites share, sub net numbers repeat from site to site: `site` (empty:
// any) keeps the rows to this site's own.
history::HistoryFilter historyViewFilter(int subNet, int unit, bool allUnits,
                                         const std::string& search, const std::string& site = {});

// "2026-03-04T05:06:07.089Z" as local time "2026-03-04 06:06:07"; a text that is no stored
// time is shown as it stands.
std::string localTimeText(const std::string& storedUtc);

std::string directionText(history::Direction direction, const StringLookup& strings);
std::string startedByText(history::StartedBy startedBy, const StringLookup& strings);
std::string outcomeText(history::Outcome outcome, const StringLookup& strings);

// The first 12 digits of the hash, enough to tell programs apart at a glance.
std::string shortHash(const std::string& sha256);

// A row's texts, in column order.
std::array<std::string, kHistoryColumnCount> historyRowTexts(const history::HistoryRow& row,
                                                             const StringLookup& strings);

// "N transfers" or, when the limit cut the list, the note that older ones are not shown.
std::string historyCountText(std::size_t rows, const StringLookup& strings);

// The file name of a kept program's read-only copy: the short hash and the program's own
// name reduced to a plain file name (no folders, nothing hidden), so that a name from the
// line never reaches outside the copies' folder.
std::string keptCopyName(const history::HistoryRow& row);

// Writes the program as a read-only file `name` in `folder` (made, for this user only, when
// missing), replacing an earlier copy only once the new one is complete. Empty on success,
// else the reason.
std::string writeReadOnlyCopy(const std::filesystem::path& folder, const std::string& name,
                              const std::string& content);

}  // namespace dnc::window
