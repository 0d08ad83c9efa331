#include "dnc/window/rules/RevisionRows.h"

#include <ctime>

namespace dnc::window {

namespace {

std::string localTime(std::int64_t timeUs) {
    const std::time_t seconds = static_cast<std::time_t>(timeUs / 1000000);
    std::tm local{};
    localtime_r(&seconds, &local);
    char text[32];
    std::strftime(text, sizeof text, "%Y-%m-%d %H:%M:%S", &local);
    return text;
}

std::string replaced(std::string text, const std::string& mark, const std::string& value) {
    const std::size_t at = text.find(mark);
    if (at != std::string::npos) {
        text.replace(at, mark.size(), value);
    }
    return text;
}

}  // namespace

history::RevisionFilter revisionViewFilter(int subNet, int unit, const std::string& name,
                                           bool pendingOnly) {
    history::RevisionFilter filter;
    filter.subNet = subNet;
    if (pendingOnly) {
        filter.state = revisions::State::Pending;
        return filter;
    }
    if (unit > 0) {
        filter.unit = unit;
    }
    filter.name = name;
    return filter;
}

std::array<std::string, kRevisionColumnCount> revisionRowTexts(const history::RevisionRow& row,
                                                               const StringLookup& strings) {
    return {std::to_string(row.id),
            localTime(row.timeUs),
            std::to_string(row.unit),
            row.name,
            strings(revstr::kFirstState + static_cast<int>(row.state)),
            strings(revstr::kFirstSource + static_cast<int>(row.source)),
            std::to_string(row.size),
            row.user,
            row.note};
}

std::string rowMark(const revisions::SideBySideRow& row) {
    switch (row.kind) {
        case revisions::RowKind::Changed:
            return "~";
        case revisions::RowKind::Removed:
            return "-";
        case revisions::RowKind::Added:
            return "+";
        case revisions::RowKind::Same:
            break;
    }
    return row.endChanged ? "\xC2\xB6" : "";
}

std::string pendingCountText(std::size_t pending, const StringLookup& strings) {
    if (pending == 0) {
        return {};
    }
    return replaced(strings(revstr::kPendingCount), "%1", std::to_string(pending));
}

}  // namespace dnc::window
