#include "dnc/window/rules/HistoryRows.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <ctime>
#include <fstream>
#include <system_error>

namespace dnc::window {

namespace fs = std::filesystem;

namespace {

std::string withNumber(std::string text, std::size_t number) {
    const auto at = text.find("%1");
    if (at != std::string::npos) {
        text.replace(at, 2, std::to_string(number));
    }
    return text;
}

std::string trimmed(const std::string& text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string::npos) {
        return {};
    }
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

}  // namespace

history::HistoryFilter historyViewFilter(int subNet, int unit, bool allUnits,
                                         const std::string& search, const std::string& site) {
    history::HistoryFilter filter;
    filter.subNet = subNet;
    filter.site = site;
    if (!allUnits && unit > 0) {
        filter.unit = unit;
    }
    filter.nameContains = trimmed(search);
    filter.limit = kHistoryViewLimit;
    return filter;
}

std::string localTimeText(const std::string& storedUtc) {
    std::tm utc{};
    int year = 0;
    int month = 0;
    int consumed = 0;
    // The stored form: YYYY-MM-DDTHH:MM:SS, milliseconds and "Z" after it.
    if (std::sscanf(storedUtc.c_str(), "%4d-%2d-%2dT%2d:%2d:%2d%n", &year, &month, &utc.tm_mday,
                    &utc.tm_hour, &utc.tm_min, &utc.tm_sec, &consumed) != 6 ||
        consumed != 19) {
        return storedUtc;
    }
    utc.tm_year = year - 1900;
    utc.tm_mon = month - 1;
    const std::time_t seconds = timegm(&utc);
    std::tm local{};
    if (seconds == static_cast<std::time_t>(-1) || localtime_r(&seconds, &local) == nullptr) {
        return storedUtc;
    }
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string directionText(history::Direction direction, const StringLookup& strings) {
    switch (direction) {
        case history::Direction::ToUnit:
            return strings(histr::kToUnit);
        case history::Direction::FromUnit:
            return strings(histr::kFromUnit);
        case history::Direction::Include:
            return strings(histr::kInclude);
        case history::Direction::Exclude:
            return strings(histr::kExclude);
    }
    return {};
}

std::string startedByText(history::StartedBy startedBy, const StringLookup& strings) {
    switch (startedBy) {
        case history::StartedBy::Unit:
            return strings(histr::kByUnit);
        case history::StartedBy::Operator:
            return strings(histr::kByOperator);
        case history::StartedBy::Window:
            return strings(histr::kByWindow);
    }
    return {};
}

std::string outcomeText(history::Outcome outcome, const StringLookup& strings) {
    switch (outcome) {
        case history::Outcome::Done:
            return strings(histr::kDone);
        case history::Outcome::Failed:
            return strings(histr::kFailed);
        case history::Outcome::Stopped:
            return strings(histr::kStopped);
    }
    return {};
}

std::string shortHash(const std::string& sha256) {
    return sha256.substr(0, 12);
}

std::array<std::string, kHistoryColumnCount> historyRowTexts(const history::HistoryRow& row,
                                                             const StringLookup& strings) {
    return {localTimeText(row.time),
            row.unit > 0 ? std::to_string(row.unit) : std::string(),
            directionText(row.direction, strings),
            startedByText(row.startedBy, strings),
            row.user,
            row.name,
            row.size ? std::to_string(*row.size) : std::string(),
            outcomeText(row.outcome, strings),
            row.error,
            row.sha256 ? shortHash(*row.sha256) : std::string()};
}

std::string historyCountText(std::size_t rows, const StringLookup& strings) {
    if (rows >= static_cast<std::size_t>(kHistoryViewLimit)) {
        return withNumber(strings(histr::kLimited), rows);
    }
    return withNumber(strings(histr::kCount), rows);
}

std::string keptCopyName(const history::HistoryRow& row) {
    std::string name = row.name;
    // Only the last part of a path; a name of dots alone names no file.
    const auto slash = name.find_last_of("/\\");
    if (slash != std::string::npos) {
        name.erase(0, slash + 1);
    }
    std::string plain;
    for (const char c : name) {
        const auto u = static_cast<unsigned char>(c);
        plain += (u < 0x20 || c == 0x7f) ? '_' : c;
    }
    while (!plain.empty() && plain.front() == '.') {
        plain.erase(0, 1);
    }
    const std::string hash = row.sha256 ? shortHash(*row.sha256) : std::string("program");
    return plain.empty() ? hash : hash + "-" + plain;
}

std::string writeReadOnlyCopy(const fs::path& folder, const std::string& name,
                              const std::string& content) {
    std::error_code ec;
    if (!fs::exists(fs::symlink_status(folder, ec))) {
        fs::create_directories(folder, ec);
        if (ec) {
            return folder.string() + ": " + ec.message();
        }
        fs::permissions(folder, fs::perms::owner_all, ec);
    }
    // In a shared temporary folder only a folder of this user's own is written into.
    struct stat info {};
    if (::lstat(folder.c_str(), &info) != 0 || !S_ISDIR(info.st_mode) ||
        info.st_uid != ::getuid()) {
        return folder.string() + ": not a folder of this user";
    }
    const fs::path target = folder / name;
    const fs::path part = folder / (name + ".part" + std::to_string(::getpid()));
    {
        std::ofstream out(part, std::ios::binary | std::ios::trunc);
        out.write(content.data(), static_cast<std::streamsize>(content.size()));
        out.close();
        if (!out) {
            fs::remove(part, ec);
            return part.string() + ": the copy could not be written";
        }
    }
    fs::permissions(part, fs::perms::owner_read | fs::perms::group_read | fs::perms::others_read,
                    ec);
    // rename() replaces an earlier read-only copy: the folder is writable, the file need not be.
    fs::rename(part, target, ec);
    if (ec) {
        const std::string why = ec.message();
        fs::remove(part, ec);
        return target.string() + ": " + why;
    }
    return {};
}

}  // namespace dnc::window
